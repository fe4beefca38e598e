#include "forecastfile/ini_writer.h"

#include "core/failure.h"
#include "core/messages.h"

namespace qelo {

void IniWriter::Refused() const { throw Failure(messages::kUnableToWriteTo + path_); }

}  // namespace qelo
