// WriteProfileEntry on Windows: the encoding of a new file, existing files, refusals.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/private_profile_win32.h"
#include "platform/text_win32.h"
#include "tests/support/private_profile_reader_win32.h"
#include "tests/support/scratch_directory.h"

namespace qelo::platform {
namespace {

using namespace qelo::test;

class PrivateProfileWindowsTest : public ::testing::Test {
 protected:
  std::u16string Path() const { return PathText(file_); }
  ScratchDirectory scratch_;
  std::filesystem::path file_ = scratch_.File("qeloweather.ini");
};

TEST_F(PrivateProfileWindowsTest, NewFileHoldsChineseTextAndTheDegreeMark) {
  ASSERT_TRUE(WriteProfileEntry(u"qelo", u"城市", u"福州", Path()));
  ASSERT_TRUE(WriteProfileEntry(u"qelo", u"今天度数", u"29\u00B0C~22\u00B0C", Path()));
  ASSERT_TRUE(WriteProfileEntry(u"qelo", u"今天情况", u"", Path()));
  FlushPrivateProfile(Path());
  EXPECT_EQ(ReadBytes(file_).substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(ReadProfileString(u"qelo", u"城市", Path()), u"福州");
  EXPECT_EQ(ReadProfileString(u"qelo", u"今天度数", Path()), u"29\u00B0C~22\u00B0C");
  EXPECT_EQ(ReadProfileString(u"qelo", u"今天情况", Path()), u"");
}

TEST_F(PrivateProfileWindowsTest, ExistingFileKeepsForeignLinesAndGetsValuesInPlace) {
  WriteBytes(file_, Utf16File(u"[host]\r\n城市=上海\r\n[qelo]\r\n城市=北京\r\n皮肤=蓝色\r\n"
                              u"; comment\r\nver=0.9\r\n[tail]\r\nx=1\r\n"));
  ASSERT_TRUE(WriteProfileEntry(u"qelo", u"城市", u"福州", Path()));
  ASSERT_TRUE(WriteProfileEntry(u"qelo", u"ver", u"1.0", Path()));
  FlushPrivateProfile(Path());
  EXPECT_EQ(ReadProfileString(u"host", u"城市", Path()), u"上海");
  EXPECT_EQ(ReadProfileString(u"qelo", u"城市", Path()), u"福州");
  EXPECT_EQ(ReadProfileString(u"qelo", u"皮肤", Path()), u"蓝色");
  EXPECT_EQ(ReadProfileString(u"tail", u"x", Path()), u"1");
  const std::u16string text = Utf16Text(ReadBytes(file_));
  EXPECT_NE(text.find(u"; comment"), std::u16string::npos);
  EXPECT_LT(text.find(u"城市=福州"), text.find(u"皮肤=蓝色"));
  EXPECT_LT(text.find(u"皮肤=蓝色"), text.find(u"ver=1.0"));
}

TEST_F(PrivateProfileWindowsTest, ExistingAnsiFileKeepsItsEncoding) {
  WriteBytes(file_, "[qelo]\r\nver=0.9\r\n");
  ASSERT_TRUE(WriteProfileEntry(u"qelo", u"ver", u"1.0", Path()));
  FlushPrivateProfile(Path());
  EXPECT_EQ(ReadBytes(file_).substr(0, 6), "[qelo]");
  EXPECT_EQ(ReadProfileString(u"qelo", u"ver", Path()), u"1.0");
}

TEST_F(PrivateProfileWindowsTest, ReadOnlyFileIsRefused) {
  const std::string before = Utf16File(u"[qelo]\r\nver=0.9\r\n");
  WriteBytes(file_, before);
  SetFileAttributesW(Wide(Path()), FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(WriteProfileEntry(u"qelo", u"ver", u"1.0", Path()));
  SetFileAttributesW(Wide(Path()), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadBytes(file_), before);
}

// A missing folder, and a path of 292 characters, which the service refuses although a file may
// be created there: a first write that fails leaves no file behind.
TEST_F(PrivateProfileWindowsTest, RefusedFirstWriteLeavesNoFile) {
  const std::filesystem::path missing = scratch_.File("absent") / "qeloweather.ini";
  EXPECT_FALSE(WriteProfileEntry(u"qelo", u"ver", u"1.0", PathText(missing)));
  std::filesystem::path folder = scratch_.Path();
  std::size_t left = 276 - PathText(folder).size();
  for (; left > 61; left -= 51) folder /= std::string(50, 'd');
  folder /= std::string(left - 1, 'd');
  const std::filesystem::path file = folder / "qeloweather.ini";
  ASSERT_TRUE(std::filesystem::create_directories(folder));
  ASSERT_EQ(PathText(file).size(), 292u);
  EXPECT_FALSE(WriteProfileEntry(u"qelo", u"ver", u"1.0", PathText(file)));
  EXPECT_FALSE(std::filesystem::exists(file));
}

}  // namespace
}  // namespace qelo::platform
