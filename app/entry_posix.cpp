#include "app/application.h"
#include "platform/clock.h"

int main() {
  qelo::TApplication application;
  const qelo::platform::DateTimeFormat dateTimeFormat = qelo::platform::ReadDateTimeFormat();
  application.CreateForm(dateTimeFormat);
  application.Run();
  return 0;
}
