#include "app/application.h"

#include <utility>

#include "platform/message_loop.h"

namespace qelo {

TApplication::TApplication(std::function<std::u16string()> cityArgument)
    : services_(std::move(cityArgument)) {}

void TApplication::CreateForm(const platform::DateTimeFormat& dateTimeFormat,
                              std::uint32_t watchdogInterval) {
  mainForm_ = std::make_unique<TFrmMain>(services_, dateTimeFormat, watchdogInterval);
  mainFormWindow_ = std::make_unique<platform::FormWindow>(
      TFrmMain::kCaption, TFrmMain::kClientWidth, TFrmMain::kClientHeight);
}

void TApplication::Run() { platform::RunMessageLoop(); }

}  // namespace qelo
