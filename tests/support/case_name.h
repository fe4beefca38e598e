#pragma once
// The name of each case of a parameterized test: its `name` field, which ctest then lists.

#include <string>

namespace qelo::test {

inline constexpr auto CaseName = [](const auto& info) { return std::string(info.param.name); };

}  // namespace qelo::test
