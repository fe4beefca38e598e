#include "app/application.h"

#include "platform/message_loop.h"

namespace qelo {

void TApplication::CreateForm(const platform::DateTimeFormat& dateTimeFormat,
                              std::uint32_t watchdogInterval) {
  mainForm_ = std::make_unique<TFrmMain>(services_, dateTimeFormat, watchdogInterval);
  mainFormWindow_ = std::make_unique<platform::FormWindow>(
      TFrmMain::kCaption, TFrmMain::kClientWidth, TFrmMain::kClientHeight);
}

void TApplication::Run() { platform::RunMessageLoop(); }

}  // namespace qelo
