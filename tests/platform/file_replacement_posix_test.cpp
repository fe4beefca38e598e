// The safe replacement of a file's bytes: links, permissions, refusals, the rewrite in place, no
// temporary file left. Kills, refused calls and power cuts at each step are fault_sweep.py's.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_replacement.h"
#include "tests/support/scratch_directory.h"

namespace qelo::platform {
namespace {

using qelo::test::PathText;
using qelo::test::ReadBytes;
using qelo::test::ScratchDirectory;
using qelo::test::WriteBytes;
namespace fs = std::filesystem;

std::string Blanks(std::size_t size) { return std::string(size, ' '); }

struct stat Status(const fs::path& path) {
  struct stat status {};
  ::stat(path.c_str(), &status);
  return status;
}

class FileReplacementTest : public ::testing::Test {
 protected:
  // One replacement by a fresh object, as a run's first write: the old bytes followed by `tail`,
  // or `bytes` in their place when given.
  static bool Put(const fs::path& path, const std::string& tail, const char* bytes = nullptr) {
    FileReplacement file(PathText(path), Blanks);
    return file.Replace(
        [&](std::string_view old) { return bytes ? std::string(bytes) : std::string(old) + tail; });
  }

  // A write that grows the file past a file-size limit of its own size, as a full disk refuses
  // it half way.
  bool PutBeyondSizeLimit() {
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = fs::file_size(file_);
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool written = Put(file_, std::string(100, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);
    return written;
  }

  ScratchDirectory scratch_;
  fs::path file_ = scratch_.File("qeloweather.ini");
};

TEST_F(FileReplacementTest, NewFileTakesTheUsersDefaultPermissionsAndAReplacementKeepsThem) {
  const mode_t mask = ::umask(027);
  ASSERT_TRUE(Put(file_, "a=1\n"));
  ::umask(mask);
  EXPECT_EQ((Status(file_).st_mode & 07777), 0640u);
  ASSERT_TRUE(Put(file_, "b=2\n"));
  EXPECT_EQ(ReadBytes(file_), "a=1\nb=2\n");
  EXPECT_EQ((Status(file_).st_mode & 07777), 0640u);
  EXPECT_EQ(scratch_.Names(), std::vector<std::string>{"qeloweather.ini"});
}

TEST_F(FileReplacementTest, SymbolicLinksAreWrittenThroughToTheirTargets) {
  WriteBytes(scratch_.File("real.ini"), "a=1\n");
  fs::create_symlink("real.ini", file_);
  fs::create_symlink("made.ini", scratch_.File("dangling.ini"));
  ASSERT_TRUE(Put(file_, "b=2\n"));
  ASSERT_TRUE(Put(scratch_.File("dangling.ini"), "c=3\n"));
  EXPECT_TRUE(fs::is_symlink(file_));
  EXPECT_EQ(ReadBytes(scratch_.File("real.ini")), "a=1\nb=2\n");
  EXPECT_EQ(ReadBytes(scratch_.File("made.ini")), "c=3\n");
}

// What a run's first write finds out about the path holds until the flush; a refused write and
// the flush make the next write look again.
TEST_F(FileReplacementTest, TheLinkIsFollowedAsTheFirstWriteFoundItUntilTheFlush) {
  FileReplacement file(PathText(file_), Blanks);
  const auto append = [](std::string_view old) { return std::string(old) + "x"; };
  fs::create_symlink("first.ini", file_);
  ASSERT_TRUE(file.Replace(append));
  fs::remove(file_);
  fs::create_symlink("second.ini", file_);
  ASSERT_TRUE(file.Replace(append));
  file.Flush();
  ASSERT_TRUE(file.Replace(append));
  EXPECT_EQ(ReadBytes(scratch_.File("first.ini")), "xx");
  EXPECT_EQ(ReadBytes(scratch_.File("second.ini")), "x");
  ::chmod(scratch_.Path().c_str(), 0555);
  EXPECT_FALSE(Put(scratch_.File("new.ini"), "x"));
  ::chmod(scratch_.Path().c_str(), 0755);
  EXPECT_TRUE(Put(scratch_.File("new.ini"), "x"));
}

// A relative path, a missing folder or a folder as the file is refused; a flush of a missing file
// does nothing.
TEST_F(FileReplacementTest, RelativeOrMissingFolderOrAFolderAsTheFileIsRefused) {
  const fs::path cwd = fs::current_path();
  fs::current_path(scratch_.Path());
  EXPECT_FALSE(Put("qeloweather.ini", "x"));
  fs::current_path(cwd);
  EXPECT_TRUE(scratch_.Names().empty());
  EXPECT_FALSE(Put(scratch_.File("absent") / "qeloweather.ini", "x"));
  fs::create_directory(file_);
  EXPECT_FALSE(Put(file_, "x"));
  FileReplacement(PathText(scratch_.File("missing.ini")), Blanks).Flush();  // does nothing
  EXPECT_EQ(scratch_.Names(), std::vector<std::string>{"qeloweather.ini"});
}

// A directory that refuses new names (here its owner write bit is clear, which counts for root
// too) cannot take a replacement; a file in it that may be written is rewritten in place.
class ReadOnlyDirectoryTest : public FileReplacementTest {
 protected:
  void SetUp() override {
    WriteBytes(file_, "; kept\nab\n");
    ::chmod(file_.c_str(), 0640);
    inode_ = Status(file_).st_ino;
    ::chmod(scratch_.Path().c_str(), 0555);
  }
  void TearDown() override { ::chmod(scratch_.Path().c_str(), 0755); }

  ino_t inode_ = 0;
};

TEST_F(ReadOnlyDirectoryTest, WritableFileIsRewrittenInPlaceGrowingAndShrinking) {
  ASSERT_TRUE(Put(file_, "cdef\n"));
  EXPECT_EQ(ReadBytes(file_), "; kept\nab\ncdef\n");
  ASSERT_TRUE(Put(file_, "", "; kept\nz\n"));
  EXPECT_EQ(ReadBytes(file_), "; kept\nz\n");
  ASSERT_TRUE(Put(file_, "", "; kept\ny\n"));
  EXPECT_EQ(ReadBytes(file_), "; kept\ny\n");
  EXPECT_EQ(Status(file_).st_ino, inode_);
  EXPECT_EQ((Status(file_).st_mode & 07777), 0640u);
  EXPECT_EQ(scratch_.Names(), std::vector<std::string>{"qeloweather.ini"});
}

// A read-only file is refused, also for root; a file-size limit, like a full disk, refuses the
// write half way. The file keeps every byte and no temporary file stays, whether the folder
// takes a replacement or not.
TEST_F(ReadOnlyDirectoryTest, ReadOnlyFileAndFullDiskLeaveTheFileUnchanged) {
  for (const mode_t folder : {0555, 0755}) {
    ::chmod(scratch_.Path().c_str(), folder);
    EXPECT_FALSE(PutBeyondSizeLimit()) << folder;
    ::chmod(file_.c_str(), 0440);
    EXPECT_FALSE(Put(file_, "x")) << folder;
    ::chmod(file_.c_str(), 0640);
    EXPECT_EQ(ReadBytes(file_), "; kept\nab\n") << folder;
    EXPECT_EQ(scratch_.Names(), std::vector<std::string>{"qeloweather.ini"});
  }
}

}  // namespace
}  // namespace qelo::platform
