// The resources of the built program: version record and icon (the manifest is read back from
// the release archive by tests/release/check_archive.py).

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The program's path as Wine or Windows sees it: the build passes the path it knows.
std::wstring ProgramPath() {
  std::wstring path;
  for (const char* c = QELOWEATHER_PROGRAM; *c; ++c) path.push_back(*c == '/' ? L'\\' : *c);
  return path.rfind(L"\\", 0) == 0 ? L"Z:" + path : path;
}

class ProgramResources : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExW(ProgramPath().c_str(), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr) << "cannot load the program's resources";
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }
  std::string Resource(LPCWSTR type, LPCWSTR name) {
    HRSRC found = FindResourceW(module_, name, type);
    if (!found) return {};
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(module_, found)));
    return std::string(bytes, SizeofResource(module_, found));
  }
  HMODULE module_ = nullptr;
};

TEST_F(ProgramResources, VersionRecordHoldsVersion1000AndNoStrings) {
  const std::wstring path = ProgramPath();
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
  ASSERT_GT(size, 0u);
  std::vector<char> data(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);
  void* translations = nullptr;
  EXPECT_FALSE(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &translations, &length) &&
               length > 0);
  const std::u16string strings = u"StringFileInfo";
  const std::string needle(reinterpret_cast<const char*>(strings.data()), strings.size() * 2);
  EXPECT_EQ(std::string(data.begin(), data.end()).find(needle), std::string::npos);
}

TEST_F(ProgramResources, IconHasFiveSizesOf32BitsPerPixel) {
  const std::string group = Resource(RT_GROUP_ICON, L"MAINICON");
  ASSERT_GE(group.size(), 6u);
  const auto* header = reinterpret_cast<const WORD*>(group.data());
  ASSERT_EQ(header[2], 5);  // idCount
  std::vector<int> sizes;
  for (int i = 0; i < 5; ++i) {
    // Each 14-byte entry: width, height, colours, reserved, planes, bit count, bytes, id.
    const auto* entry = reinterpret_cast<const BYTE*>(group.data() + 6 + 14 * i);
    sizes.push_back(entry[0] == 0 ? 256 : entry[0]);
    EXPECT_EQ(entry[1], entry[0]);
    EXPECT_EQ(*reinterpret_cast<const WORD*>(entry + 6), 32);
  }
  EXPECT_EQ(sizes, (std::vector<int>{16, 32, 48, 64, 128}));
}

}  // namespace
