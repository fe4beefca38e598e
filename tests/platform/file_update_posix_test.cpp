// One update of a file: links, owners and permissions, odd files, refusals, the rewrite in place,
// no temporary file left. Kills, refused calls and power cuts at each step are fault_sweep.py's;
// runs that overlap are e2e/overlap_test.sh's.
#include <grp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/file_update_posix.h"
#include "tests/support/scratch_directory.h"

namespace qelo::platform {
namespace {

using namespace qelo::test;
namespace fs = std::filesystem;

constexpr std::size_t kCap = 16 << 20;
constexpr uid_t kNobody = 65534;

struct stat Status(const fs::path& path) {
  struct stat status {};
  ::lstat(path.c_str(), &status);
  return status;
}

// One update: the old bytes followed by `tail`, or `bytes` in their place when given.
bool Put(const fs::path& path, const std::string& tail, const char* bytes = nullptr) {
  const std::optional<FileSnapshot> old = ReadForUpdate(PathText(path), kCap);
  return old && CommitUpdate(*old, bytes ? std::string(bytes) : old->bytes + tail);
}

// `action` in a child process of user `uid`, primary group `gid` and the further `groups`;
// its result as the child's exit code.
bool AsUser(uid_t uid, gid_t gid, std::vector<gid_t> groups, const std::function<bool()>& action) {
  const pid_t child = ::fork();
  if (child == 0) {
    const bool dropped =
        ::setgroups(groups.size(), groups.data()) == 0 && ::setgid(gid) == 0 && ::setuid(uid) == 0;
    ::_exit(dropped && action() ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// An update that grows the file past a file-size limit of its own size, as a full disk refuses
// it half way.
bool PutBeyondSizeLimit(const fs::path& path) {
  rlimit old{};
  ::getrlimit(RLIMIT_FSIZE, &old);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = fs::file_size(path);
  ::setrlimit(RLIMIT_FSIZE, &small);
  const bool written = Put(path, std::string(100, 'x'));
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previousHandler);
  return written;
}

class FileUpdateTest : public ::testing::Test {
 protected:
  ScratchDirectory scratch_;
  fs::path file_ = scratch_.File("qeloweather.ini");
};

TEST_F(FileUpdateTest, NewFileTakesTheUsersDefaultPermissionsAndAReplacementKeepsThem) {
  const mode_t mask = ::umask(027);
  ASSERT_TRUE(Put(file_, "a=1\n"));
  ::umask(mask);
  EXPECT_EQ((Status(file_).st_mode & 07777), 0640u);
  ASSERT_TRUE(Put(file_, "b=2\n"));
  EXPECT_EQ(ReadBytes(file_), "a=1\nb=2\n");
  EXPECT_EQ((Status(file_).st_mode & 07777), 0640u);
  EXPECT_EQ(scratch_.Names(), std::vector<std::string>{"qeloweather.ini"});
}

TEST_F(FileUpdateTest, SymbolicLinksAreWrittenThroughToTheirTargets) {
  WriteBytes(scratch_.File("real.ini"), "a=1\n");
  fs::create_symlink("real.ini", file_);
  fs::create_symlink("made.ini", scratch_.File("dangling.ini"));
  ASSERT_TRUE(Put(file_, "b=2\n"));
  ASSERT_TRUE(Put(scratch_.File("dangling.ini"), "c=3\n"));
  EXPECT_TRUE(fs::is_symlink(file_));
  EXPECT_EQ(ReadBytes(scratch_.File("real.ini")), "a=1\nb=2\n");
  EXPECT_EQ(ReadBytes(scratch_.File("made.ini")), "c=3\n");
}

TEST_F(FileUpdateTest, RelativeOrMissingFolderIsRefusedAndAFileLeftByAKilledRunGoes) {
  const fs::path cwd = fs::current_path();
  fs::current_path(scratch_.Path());
  EXPECT_FALSE(Put("qeloweather.ini", "x"));
  fs::current_path(cwd);
  EXPECT_TRUE(scratch_.Names().empty());
  EXPECT_FALSE(Put(scratch_.File("absent") / "qeloweather.ini", "x"));
  WriteBytes(scratch_.File(".qeloweather.ini.new"), "half");
  EXPECT_TRUE(Put(file_, "x"));
  EXPECT_EQ(ReadBytes(file_), "x");
  EXPECT_EQ(scratch_.Names(), std::vector<std::string>{"qeloweather.ini"});
}

// Whatever lies at the path, the answer is sound and quick: anything but a regular file of at
// most 16 MiB without holes is refused unopened and unchanged; a file with a second name, or of
// another owner, keeps its inode, names, owner, group and permissions.
TEST_F(FileUpdateTest, OddFilesGetSoundAnswers) {
  constexpr uid_t kOwner = 61001, kGroupMember = 61002;
  constexpr gid_t kShared = 61000, kOwn = 61003;
  const std::string cap(kCap, '\n');
  // A file "a=1\n" made `size` bytes long: a hole after the text.
  const auto sized = [](off_t size) {
    return [=](const fs::path& p) {
      WriteBytes(p, "a=1\n");
      fs::resize_file(p, size);
    };
  };
  // A file "a=1\n" of `owner` and the shared group with `mode`.
  const auto owned = [](uid_t owner, mode_t mode) {
    return [=](const fs::path& p) {
      WriteBytes(p, "a=1\n");
      ::chown(p.c_str(), owner, kShared);
      ::chmod(p.c_str(), mode);
    };
  };
  const struct Case {
    const char* name;
    std::function<void(const fs::path&)> make;
    enum { kRefused, kReplaced, kInPlace } answer;
    uid_t writer = 0;
    std::vector<gid_t> groups = {kShared};  // the writer's further groups
  } cases[] = {
      {"Fifo", [](const fs::path& p) { ::mkfifo(p.c_str(), 0666); }, Case::kRefused},
      {"Folder", [](const fs::path& p) { fs::create_directory(p); }, Case::kRefused},
      {"Socket",
       [](const fs::path& p) {
         sockaddr_un address{};
         address.sun_family = AF_UNIX;
         std::strncpy(address.sun_path, p.c_str(), sizeof address.sun_path - 1);
         const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
         ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
         ::close(fd);
       },
       Case::kRefused},
      {"DeviceBehindALink", [](const fs::path& p) { fs::create_symlink("/dev/null", p); },
       Case::kRefused},
      {"SparseBeyondTheCap", sized(256 << 20), Case::kRefused},
      {"Hole", sized(1 << 20), Case::kRefused},
      {"OneByteBeyondTheCap", [&](const fs::path& p) { WriteBytes(p, cap + "a"); }, Case::kRefused},
      {"AtTheCap", [&](const fs::path& p) { WriteBytes(p, cap); }, Case::kReplaced},
      {"SecondName",
       [](const fs::path& p) {
         WriteBytes(p, "a=1\n");
         fs::create_hard_link(p, p.parent_path() / "second.ini");
       },
       Case::kInPlace},
      {"AnotherOwnersFileWrittenByRoot", owned(kOwner, 0664), Case::kReplaced},
      {"SharedThroughAGroup", owned(kOwner, 0664), Case::kInPlace, kGroupMember},
      {"OwnFileOfASharedGroup", owned(kGroupMember, 0640), Case::kReplaced, kGroupMember},
      {"FolderRefusingNewNames", owned(kNobody, 0664), Case::kInPlace, kNobody, {}},
  };
  if (::geteuid() != 0) GTEST_SKIP() << "needs root for other owners";
  ::chown(scratch_.Path().c_str(), 0, kShared);
  ::chmod(scratch_.Path().c_str(), 0775);
  for (const Case& c : cases) {
    const fs::path path = scratch_.File(std::string(c.name) + ".ini");
    c.make(path);
    const struct stat before = Status(path);
    const bool small = S_ISREG(before.st_mode) && before.st_size < (1 << 20);
    const std::string bytes = small ? ReadBytes(path) : "";
    const auto start = std::chrono::steady_clock::now();
    const bool written = c.writer == 0
                             ? Put(path, "b=2\n")
                             : AsUser(c.writer, kOwn, c.groups, [&] { return Put(path, "b=2\n"); });
    EXPECT_EQ(written, c.answer != Case::kRefused) << c.name;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << c.name;
    const struct stat after = Status(path);
    EXPECT_EQ(after.st_mode, before.st_mode) << c.name;
    EXPECT_EQ(after.st_uid, before.st_uid) << c.name;
    EXPECT_EQ(after.st_gid, before.st_gid) << c.name;
    EXPECT_EQ(after.st_blocks > 0, before.st_blocks > 0) << c.name;
    if (c.answer != Case::kReplaced) {
      EXPECT_EQ(after.st_ino, before.st_ino) << c.name;
    }
    if (c.answer == Case::kRefused) {
      EXPECT_EQ(after.st_size, before.st_size) << c.name;
      EXPECT_EQ(small ? ReadBytes(path) : "", bytes) << c.name;
    }
  }
  EXPECT_EQ(ReadBytes(scratch_.File("second.ini")), "a=1\nb=2\n");
  EXPECT_EQ(ReadBytes(scratch_.File("FolderRefusingNewNames.ini")), "a=1\nb=2\n");
}

// A file with a second name is rewritten in place, growing and shrinking, padding and all gone.
TEST_F(FileUpdateTest, InPlaceRewriteGrowsAndShrinks) {
  WriteBytes(file_, "; kept\nab\n");
  fs::create_hard_link(file_, scratch_.File("second.ini"));
  const ino_t inode = Status(file_).st_ino;
  ASSERT_TRUE(Put(file_, "cdef\n"));
  EXPECT_EQ(ReadBytes(file_), "; kept\nab\ncdef\n");
  ASSERT_TRUE(Put(file_, "", "; kept\nz"));
  EXPECT_EQ(ReadBytes(file_), "; kept\nz");
  EXPECT_EQ(ReadBytes(scratch_.File("second.ini")), "; kept\nz");
  EXPECT_EQ(Status(file_).st_ino, inode);
  EXPECT_EQ(scratch_.Names(), (std::vector<std::string>{"qeloweather.ini", "second.ini"}));
}

// A read-only file is refused, also for root; a file-size limit, like a full disk, refuses the
// write half way. The file keeps every byte and no temporary file stays, whether it is replaced
// or rewritten in place.
TEST_F(FileUpdateTest, ReadOnlyFileAndFullDiskLeaveTheFileUnchanged) {
  WriteBytes(file_, "; kept\nab\n");
  ::chmod(file_.c_str(), 0640);
  for (const bool inPlace : {false, true}) {
    if (inPlace) fs::create_hard_link(file_, scratch_.File("second.ini"));
    EXPECT_FALSE(PutBeyondSizeLimit(file_)) << inPlace;
    ::chmod(file_.c_str(), 0440);
    EXPECT_FALSE(Put(file_, "x")) << inPlace;
    ::chmod(file_.c_str(), 0640);
    EXPECT_EQ(ReadBytes(file_), "; kept\nab\n") << inPlace;
  }
  EXPECT_EQ(scratch_.Names(), (std::vector<std::string>{"qeloweather.ini", "second.ini"}));
}

}  // namespace
}  // namespace qelo::platform
