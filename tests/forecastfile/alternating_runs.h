#pragma once
// The two value sets that the kill child writes in turn.

#include "tests/forecastfile/fixed_run.h"

namespace qelo::test {

inline RunValues AlternatingRun(unsigned round) {
  RunValues values = FixedRun();
  if (round % 2 == 1) {
    for (std::size_t i = 4; i < values.size(); ++i) values[i] += u" 第二组";
    values[0] = u"2014/9/17 9:10:11";
  }
  return values;
}

}  // namespace qelo::test
