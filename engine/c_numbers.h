// The C library's atoi and atof rules, independent of the process locale and free of undefined
// behaviour: leading white space, an optional sign, then as much of a number as fits; text
// without a number gives 0. Integers saturate at the int range instead of overflowing.
#pragma once

#include <string>
#include <string_view>

namespace engine {

int CAtoi(std::string_view text);
double CAtof(std::string_view text);
// "%lf": fixed notation with six decimals, "." as the decimal point.
std::string FormatLf(double value);

}  // namespace engine
