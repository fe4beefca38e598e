// The program's hidden windows as the system sees them.

#include "platform/gui.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace qelo::platform {
namespace {

std::wstring Caption(HWND window) {
  wchar_t text[64] = {};
  GetWindowTextW(window, text, 64);
  return text;
}

TEST(HiddenWindows, ApplicationWindowIsAHiddenToolWindowWithoutCaption) {
  const NativeWindow application = CreateApplicationWindow();
  const auto window = static_cast<HWND>(application.Get());
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_TRUE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  EXPECT_EQ(Caption(window), L"");
  // Logging off may go ahead.
  EXPECT_EQ(SendMessageW(window, WM_QUERYENDSESSION, 0, 0), TRUE);
}

TEST(HiddenWindowsDeathTest, EndOfTheSessionEndsTheProgramAtOnceWithZero) {
  EXPECT_EXIT(
      {
        const NativeWindow application = CreateApplicationWindow();
        SendMessageW(static_cast<HWND>(application.Get()), WM_ENDSESSION, TRUE, 0);
        std::exit(3);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(HiddenWindows, FormWindowIsCreatedHiddenWithItsCaptionAndClientSize) {
  const NativeWindow form = CreateFormWindow(u"FrmMain", 635, 336);
  const auto window = static_cast<HWND>(form.Get());
  ASSERT_NE(window, nullptr);
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  EXPECT_EQ(std::wstring(className), L"TFrmMain");
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_FALSE(GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE);
  EXPECT_EQ(Caption(window), L"FrmMain");
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right - client.left, 635);
  EXPECT_EQ(client.bottom - client.top, 336);
}

}  // namespace
}  // namespace qelo::platform
