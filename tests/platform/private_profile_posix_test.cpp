// The POSIX private-profile service on the file system: links, permissions, refusals and
// temporary files.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/private_profile.h"
#include "tests/support/scratch_directory.h"

namespace qelo::platform {
namespace {

using qelo::test::PathText;
using qelo::test::ReadBytes;
using qelo::test::ScratchDirectory;
using qelo::test::WriteBytes;

class PrivateProfileTest : public ::testing::Test {
 protected:
  bool Write(const std::filesystem::path& path, const std::u16string& key,
             const std::u16string& value) {
    return WriteProfileEntry(u"qelo", key, value, PathText(path));
  }

  mode_t Mode(const std::filesystem::path& path) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status.st_mode & 07777;
  }

  // A write that grows the file past a file-size limit of `limit` bytes, as a full disk refuses
  // it half way.
  bool WriteBeyondSizeLimit(std::size_t limit) {
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = limit;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool written = Write(file_, u"城市", u"福州" + std::u16string(100, u'x'));
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);
    return written;
  }

  ScratchDirectory scratch_;
  std::filesystem::path file_ = scratch_.File("qeloweather.ini");
};

TEST_F(PrivateProfileTest, NewFileIsUtf8WithTheUsersDefaultPermissions) {
  const mode_t mask = ::umask(022);
  ASSERT_TRUE(Write(file_, u"城市", u"福州"));
  ::umask(mask);
  EXPECT_EQ(ReadBytes(file_), "[qelo]\n城市=福州\n");
  EXPECT_EQ(Mode(file_), 0644u);
  EXPECT_EQ(scratch_.Names(), std::vector<std::string>{"qeloweather.ini"});
}

TEST_F(PrivateProfileTest, ReplacingKeepsThePermissionBits) {
  WriteBytes(file_, "[qelo]\n城市=北京\n");
  ::chmod(file_.c_str(), 0640);
  ASSERT_TRUE(Write(file_, u"城市", u"福州"));
  EXPECT_EQ(Mode(file_), 0640u);
}

TEST_F(PrivateProfileTest, SymbolicLinkIsWrittenThroughToItsTarget) {
  const std::filesystem::path target = scratch_.File("real.ini");
  WriteBytes(target, "[qelo]\n城市=北京\n");
  std::filesystem::create_symlink("real.ini", file_);
  ASSERT_TRUE(Write(file_, u"城市", u"福州"));
  EXPECT_TRUE(std::filesystem::is_symlink(file_));
  EXPECT_EQ(ReadBytes(target), "[qelo]\n城市=福州\n");
}

TEST_F(PrivateProfileTest, DanglingSymbolicLinkCreatesItsTarget) {
  std::filesystem::create_symlink("made.ini", file_);
  ASSERT_TRUE(Write(file_, u"ver", u"1.0"));
  EXPECT_TRUE(std::filesystem::is_symlink(file_));
  EXPECT_EQ(ReadBytes(scratch_.File("made.ini")), "[qelo]\nver=1.0\n");
}

// What a run's first write finds out about the path holds until the run's flush: the next run
// follows the link as it is then.
TEST_F(PrivateProfileTest, EachRunFollowsTheLinkAsItIsThen) {
  std::filesystem::create_symlink("first.ini", file_);
  ASSERT_TRUE(Write(file_, u"ver", u"1.0"));
  ASSERT_TRUE(Write(file_, u"城市", u"福州"));
  FlushPrivateProfile(PathText(file_));
  std::filesystem::remove(file_);
  std::filesystem::create_symlink("second.ini", file_);
  ASSERT_TRUE(Write(file_, u"ver", u"2.0"));
  FlushPrivateProfile(PathText(file_));
  EXPECT_EQ(ReadBytes(scratch_.File("first.ini")), "[qelo]\nver=1.0\n城市=福州\n");
  EXPECT_EQ(ReadBytes(scratch_.File("second.ini")), "[qelo]\nver=2.0\n");
}

// Nor does a refusal stay: the write after it looks at the directory afresh.
TEST_F(PrivateProfileTest, AWriteAfterARefusalLooksAgain) {
  ::chmod(scratch_.Path().c_str(), 0555);
  EXPECT_FALSE(Write(file_, u"ver", u"1.0"));
  ::chmod(scratch_.Path().c_str(), 0755);
  ASSERT_TRUE(Write(file_, u"ver", u"1.0"));
  EXPECT_EQ(ReadBytes(file_), "[qelo]\nver=1.0\n");
}

TEST_F(PrivateProfileTest, ReadOnlyFileIsRefusedAlsoForRoot) {
  WriteBytes(file_, "[qelo]\n城市=北京\n");
  ::chmod(file_.c_str(), 0444);
  EXPECT_FALSE(Write(file_, u"城市", u"福州"));
  EXPECT_EQ(ReadBytes(file_), "[qelo]\n城市=北京\n");
  EXPECT_EQ(scratch_.Names(), std::vector<std::string>{"qeloweather.ini"});
}

ino_t Inode(const std::filesystem::path& path) {
  struct stat status {};
  ::stat(path.c_str(), &status);
  return status.st_ino;
}

// A directory that refuses new names (here its owner write bit is clear, which counts for root
// too) cannot take a replacement; a file in it that may be written is rewritten in place.
class ReadOnlyDirectoryTest : public PrivateProfileTest {
 protected:
  void SetUp() override {
    WriteBytes(file_, "; kept\n[qelo]\n城市=北京\nver=0.9\n[other]\nkeep=1\n");
    ::chmod(file_.c_str(), 0640);
    inode_ = Inode(file_);
    ::chmod(scratch_.Path().c_str(), 0555);
  }
  void TearDown() override { ::chmod(scratch_.Path().c_str(), 0755); }

  ino_t inode_ = 0;
};

TEST_F(ReadOnlyDirectoryTest, WritableFileIsRewrittenInPlaceWithItsOtherLinesKept) {
  ASSERT_TRUE(Write(file_, u"城市", u"平潭海峡大桥"));
  ASSERT_TRUE(Write(file_, u"ver", u"1.0"));
  ASSERT_TRUE(Write(file_, u"今天", u"9日（今天）"));
  ASSERT_TRUE(Write(file_, u"城市", u"福州"));  // shorter than before: the file shrinks
  EXPECT_EQ(ReadBytes(file_),
            "; kept\n[qelo]\n城市=福州\nver=1.0\n今天=9日（今天）\n[other]\nkeep=1\n");
  EXPECT_EQ(Inode(file_), inode_);
  EXPECT_EQ(Mode(file_), 0640u);
  EXPECT_EQ(scratch_.Names(), std::vector<std::string>{"qeloweather.ini"});
}

TEST_F(ReadOnlyDirectoryTest, NewFileAndReadOnlyFileAreStillRefused) {
  EXPECT_FALSE(Write(scratch_.File("new.ini"), u"城市", u"福州"));
  ::chmod(file_.c_str(), 0440);
  EXPECT_FALSE(Write(file_, u"城市", u"福州"));
  EXPECT_EQ(ReadBytes(file_), "; kept\n[qelo]\n城市=北京\nver=0.9\n[other]\nkeep=1\n");
  EXPECT_EQ(scratch_.Names(), std::vector<std::string>{"qeloweather.ini"});
}

// The room for the new bytes is reserved before a byte changes: a file-size limit, like a full
// disk, refuses the write and leaves the file as it was.
TEST_F(ReadOnlyDirectoryTest, FullDiskLeavesTheFileUnchanged) {
  const std::string before = ReadBytes(file_);
  EXPECT_FALSE(WriteBeyondSizeLimit(before.size()));
  EXPECT_EQ(ReadBytes(file_), before);
}

TEST_F(PrivateProfileTest, MissingDirectoryOrADirectoryAsTheFileIsRefused) {
  EXPECT_FALSE(Write(scratch_.File("absent") / "qeloweather.ini", u"ver", u"1.0"));
  std::filesystem::create_directory(file_);
  EXPECT_FALSE(Write(file_, u"ver", u"1.0"));
}

// A file-size limit makes writing the temporary file fail half way, as a full disk does.
TEST_F(PrivateProfileTest, FullDiskLeavesTheFileAndNoTemporaryFile) {
  const std::string before = "[qelo]\n城市=北京\n";
  WriteBytes(file_, before);
  EXPECT_FALSE(WriteBeyondSizeLimit(before.size()));
  EXPECT_EQ(ReadBytes(file_), before);
  EXPECT_EQ(scratch_.Names(), std::vector<std::string>{"qeloweather.ini"});
}

TEST_F(PrivateProfileTest, SignalMaskIsRestoredAfterAWrite) {
  sigset_t before;
  sigset_t after;
  pthread_sigmask(SIG_SETMASK, nullptr, &before);
  ASSERT_TRUE(Write(file_, u"ver", u"1.0"));
  pthread_sigmask(SIG_SETMASK, nullptr, &after);
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    EXPECT_EQ(sigismember(&after, signal), sigismember(&before, signal)) << signal;
  }
}

TEST_F(PrivateProfileTest, FlushOfAMissingFileDoesNothing) {
  FlushPrivateProfile(PathText(file_));
  EXPECT_TRUE(scratch_.Names().empty());
}

}  // namespace
}  // namespace qelo::platform
