# Turns cities.tsv (UTF-8, one "name<TAB>code" row per line, in table order) into the C++
# source of the city table. Run as:
#   cmake -DINPUT=cities.tsv -DOUTPUT=city_table.cpp -P generate_city_table.cmake

if(NOT INPUT OR NOT OUTPUT)
  message(FATAL_ERROR "generate_city_table.cmake needs -DINPUT=... and -DOUTPUT=...")
endif()

file(READ "${INPUT}" table_text)
string(REPLACE "\r" "" table_text "${table_text}")
# Protect list separators before the text is split into a list of lines.
if(table_text MATCHES "[;\\\\\"]")
  message(FATAL_ERROR "${INPUT}: semicolons, backslashes and double quotes are not allowed")
endif()
string(REGEX REPLACE "\n$" "" table_text "${table_text}")
string(REPLACE "\n" ";" lines "${table_text}")

set(rows "    {u\"\", u\"\"},  // no row 0\n")
set(row 0)
foreach(line IN LISTS lines)
  math(EXPR row "${row} + 1")
  if(NOT line MATCHES "^([^\t ]+)\t(101[0-9][0-9][0-9][0-9][0-9][0-9])$")
    message(FATAL_ERROR "${INPUT}:${row}: expected a name, one tab and a nine-digit code 101...")
  endif()
  string(APPEND rows "    {u\"${CMAKE_MATCH_1}\", u\"${CMAKE_MATCH_2}\"},\n")
endforeach()

set(source "// Generated from citydir/cities.tsv by citydir/generate_city_table.cmake. Do not edit.
#include \"citydir/unit_china_weather.h\"

namespace qelo::UnitChinaWeather {

static_assert(CityCount == ${row}, \"cities.tsv and CityCount disagree on the number of rows\");

// A name of more than nine characters does not compile.
const CityRow CityRows[CityCount + 1] = {
${rows}};

}  // namespace qelo::UnitChinaWeather
")

file(WRITE "${OUTPUT}" "${source}")
