#include "app/failure_report.h"

#include <new>
#include <utility>

#include "core/failure.h"
#include "core/messages.h"
#include "core/text.h"
#include "platform/process.h"

namespace qelo {
namespace {

std::u16string MessageOf(std::exception_ptr failure) {
  try {
    std::rethrow_exception(std::move(failure));
  } catch (const Failure& known) {
    return known.Message();
  } catch (const std::bad_alloc&) {
    return messages::kOutOfMemory;
  } catch (const std::exception& other) {
    return FromUtf8(other.what());
  } catch (...) {
    return messages::kUnknownFailure;
  }
}

std::u16string WithFullStop(std::u16string message) {
  if (!message.empty() && message.back() > u'.') message += u'.';
  return message;
}

std::u16string ApplicationTitle(const std::u16string& executablePath) {
  const std::size_t lastSeparator = executablePath.rfind(platform::kPathSeparator);
  std::u16string name = lastSeparator == std::u16string::npos
                            ? executablePath
                            : executablePath.substr(lastSeparator + 1);
  name = name.substr(0, name.find(u'.'));
  if (name.size() <= 1) return name;
  return name.front() + platform::LowerCase(name.substr(1));
}

}  // namespace

FailureReport ReportOf(std::exception_ptr failure, const std::u16string& executablePath) {
  return {WithFullStop(MessageOf(std::move(failure))), ApplicationTitle(executablePath)};
}

}  // namespace qelo
