// The program's hidden windows as the system sees them.

#include "platform/application_window.h"

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
  ApplicationWindow application;
  const auto window = static_cast<HWND>(ApplicationWindow::Handle());
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
        ApplicationWindow application;
        SendMessageW(static_cast<HWND>(ApplicationWindow::Handle()), WM_ENDSESSION, TRUE, 0);
        std::exit(3);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(HiddenWindows, FormWindowIsCreatedHiddenWithItsCaptionAndClientSize) {
  const FormWindow form(u"FrmMain", 635, 336);
  HWND window = nullptr;  // this thread's window of the main window's class
  do {
    window = FindWindowExW(nullptr, window, L"TFrmMain", nullptr);
  } while (window != nullptr && GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId());
  ASSERT_NE(window, nullptr);
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
