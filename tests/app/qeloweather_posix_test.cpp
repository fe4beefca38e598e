// The built programs as a host starts them: exit codes, what they print, what they leave
// beside themselves, and how they end. A fetch only ever happens inside a network namespace of
// its own (unshare), where nothing can leave the machine.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A fresh directory with a copy of a program: the forecast file would go beside it.
class ProgramCopy {
 public:
  explicit ProgramCopy(const fs::path& program) {
    std::string pattern = (fs::temp_directory_path() / "qeloweather-XXXXXX").string();
    directory_ = mkdtemp(pattern.data());
    path_ = directory_ / program.filename();
    fs::copy_file(program, path_);
  }
  ~ProgramCopy() { fs::remove_all(directory_); }
  const fs::path& Path() const { return path_; }
  const fs::path& Directory() const { return directory_; }
  bool HasForecastFile() const { return fs::exists(directory_ / "qeloweather.ini"); }

 private:
  fs::path directory_;
  fs::path path_;
};

class Child {
 public:
  explicit Child(const std::vector<std::string>& argv) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(pipeEnds[1], STDERR_FILENO);
      const int null = open("/dev/null", O_RDWR);
      dup2(null, STDIN_FILENO);
      dup2(null, STDOUT_FILENO);
      std::vector<char*> args;
      for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
      args.push_back(nullptr);
      execvp(args[0], args.data());
      _exit(127);
    }
    close(pipeEnds[1]);
    stderr_ = pipeEnds[0];
    started_ = Clock::now();
  }
  ~Child() {
    if (pid_ > 0 && !status_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (stderr_ >= 0) close(stderr_);
  }

  pid_t Pid() const { return pid_; }
  // The host stops reading standard error.
  void CloseStderr() {
    close(stderr_);
    stderr_ = -1;
  }

  // The wait status once the child has ended, or nothing when it is still running after
  // `limit`.
  std::optional<int> WaitForExit(std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (!status_) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = status;
        ended_ = Clock::now();
        break;
      }
      if (Clock::now() >= deadline) break;
      ReadStderr(10ms);
    }
    if (status_) ReadStderr(0ms);
    return status_;
  }

  // Reads standard error until it holds `text` or `limit` has passed.
  bool WaitForStderr(const std::string& text, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (errors_.find(text) == std::string::npos) {
      if (Clock::now() >= deadline) return false;
      ReadStderr(20ms);
    }
    return true;
  }

  const std::string& Stderr() const { return errors_; }
  std::chrono::milliseconds Lifetime() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(ended_ - started_);
  }

 private:
  void ReadStderr(std::chrono::milliseconds wait) {
    if (stderr_ < 0) {
      std::this_thread::sleep_for(wait);
      return;
    }
    pollfd descriptor{stderr_, POLLIN, 0};
    if (poll(&descriptor, 1, static_cast<int>(wait.count())) <= 0) return;
    char buffer[4096];
    const ssize_t n = read(stderr_, buffer, sizeof buffer);
    if (n > 0) errors_.append(buffer, static_cast<std::size_t>(n));
  }

  pid_t pid_ = -1;
  int stderr_ = -1;
  std::string errors_;
  std::optional<int> status_;
  Clock::time_point started_, ended_;
};

bool ExitedWithZero(const std::optional<int>& status) {
  return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}

// A user and network namespace of the test's own: only a loopback device that is down, so a
// name cannot resolve and no packet leaves the machine.
const std::vector<std::string> kIsolated = {"unshare", "--user", "--map-root-user", "--net"};

bool CanIsolate() {
  static const bool available =
      std::system("unshare --user --map-root-user --net --mount true >/dev/null 2>&1") == 0;
  return available;
}

std::vector<std::string> Isolated(std::vector<std::string> command) {
  command.insert(command.begin(), kIsolated.begin(), kIsolated.end());
  return command;
}

TEST(QeloweatherProgram, EndsAtOnceWithoutFetchOrFile) {
  for (const auto& arguments :
       std::vector<std::vector<std::string>>{{}, {""}, {"火星"}, {"福 州"}, {"火星", "福州"}}) {
    SCOPED_TRACE(arguments.empty() ? "(none)" : arguments.front());
    const ProgramCopy program(QELOWEATHER_PROGRAM);
    std::vector<std::string> argv{program.Path().string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    Child child(argv);
    const auto status = child.WaitForExit(5s);
    EXPECT_TRUE(ExitedWithZero(status));
    EXPECT_LT(child.Lifetime(), 2s);
    EXPECT_EQ(child.Stderr(), "");
    EXPECT_FALSE(program.HasForecastFile());
  }
}

TEST(QeloweatherProgram, FailedFetchIsReportedAndTheWatchdogEndsTheProgram) {
  if (!CanIsolate()) GTEST_SKIP() << "unshare of user and network namespaces is not allowed here";
  const ProgramCopy program(QELOWEATHER_SHORT_WATCHDOG_PROGRAM);
  Child child(Isolated({program.Path().string(), "福州"}));
  const auto status = child.WaitForExit(20s);
  EXPECT_TRUE(ExitedWithZero(status));
  // The name cannot resolve; the resolver's answer decides the code.
  EXPECT_EQ(child.Stderr().rfind("qeloweather_short_watchdog: Socket Error # 1100", 0), 0u)
      << child.Stderr();
  EXPECT_EQ(child.Stderr().back(), '\n');
  EXPECT_GE(child.Lifetime(), 1400ms);  // the variant's watchdog fires after 1500 ms
  EXPECT_LT(child.Lifetime(), 10s);
  EXPECT_FALSE(program.HasForecastFile());
}

TEST(QeloweatherProgram, ReportToAClosedStandardErrorIsLostAndTheProgramStillEndsWithZero) {
  if (!CanIsolate()) GTEST_SKIP() << "unshare of user and network namespaces is not allowed here";
  const ProgramCopy program(QELOWEATHER_SHORT_WATCHDOG_PROGRAM);
  Child child(Isolated({program.Path().string(), "福州"}));
  child.CloseStderr();
  EXPECT_TRUE(ExitedWithZero(child.WaitForExit(20s)));
}

TEST(QeloweatherProgram, EndSignalEndsAProgramWaitingForItsWatchdogAtOnceWithZero) {
  if (!CanIsolate()) GTEST_SKIP() << "unshare of user and network namespaces is not allowed here";
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    const ProgramCopy program(QELOWEATHER_PROGRAM);
    Child child(Isolated({program.Path().string(), "福州"}));
    ASSERT_TRUE(child.WaitForStderr("\n", 10s)) << "no failure report";
    // The shipped program now waits 300000 ms for its watchdog.
    EXPECT_FALSE(child.WaitForExit(300ms));
    kill(child.Pid(), signal);
    const auto status = child.WaitForExit(2s);
    EXPECT_TRUE(ExitedWithZero(status));
  }
}

TEST(QeloweatherProgram, EndSignalEndsAProgramWhoseFetchBlocks) {
  if (!CanIsolate()) GTEST_SKIP() << "unshare of user, network and mount namespaces is not allowed";
  if (std::system("command -v ip >/dev/null") != 0) GTEST_SKIP() << "no ip command (iproute2)";
  const ProgramCopy program(QELOWEATHER_PROGRAM);
  // Inside the namespace the site's name stands in /etc/hosts for an address routed into the
  // loopback device and answered by nobody, so the connect waits.
  const fs::path hosts = program.Directory() / "hosts";
  std::ofstream(hosts) << "10.77.0.1 www.weather.com.cn\n";
  const std::string script =
      "ip link set lo up && ip route add 10.77.0.0/24 dev lo && mount --bind \"$0\" /etc/hosts "
      "&& exec \"$1\" 福州";
  Child child(Isolated({"--mount", "sh", "-c", script, hosts.string(), program.Path().string()}));
  // The shell hands over to the program with exec: the same process.
  const auto deadline = Clock::now() + 5s;
  const fs::path childProgram = "/proc/" + std::to_string(child.Pid()) + "/exe";
  std::error_code ended;
  while (fs::read_symlink(childProgram, ended) != program.Path()) {
    ASSERT_LT(Clock::now(), deadline) << child.Stderr();
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_FALSE(child.WaitForExit(500ms)) << child.Stderr();
  kill(child.Pid(), SIGTERM);
  EXPECT_TRUE(ExitedWithZero(child.WaitForExit(2s)));
  EXPECT_EQ(child.Stderr(), "");  // ended inside the fetch, before any report
  EXPECT_FALSE(program.HasForecastFile());
}

}  // namespace
