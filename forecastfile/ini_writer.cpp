#include "forecastfile/ini_writer.h"

#include "core/failure.h"
#include "core/messages.h"

namespace qelo {

// The failed run then waits for its watchdog: it must not keep other runs waiting too.
void IniWriter::Refuse() {
  lock_ = {};
  throw Failure(messages::kUnableToWriteTo + path_);
}

}  // namespace qelo
