#include <windows.h>

#include "app/application.h"
#include "platform/clock.h"

// The show mode of the starter is not looked at: no window of the program is ever shown.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  qelo::TApplication application;
  const qelo::platform::DateTimeFormat dateTimeFormat = qelo::platform::ReadDateTimeFormat();
  application.CreateForm(dateTimeFormat);
  application.Run();
  return 0;
}
