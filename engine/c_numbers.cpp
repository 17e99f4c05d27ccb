#include "engine/c_numbers.h"

#include <climits>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace engine {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

int CAtoi(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value <= int64_t(INT_MAX) + 1) {
            value = value * 10 + (text[i] - '0');
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

double CAtof(std::string_view text) {
    // strtod in the "C" locale, whatever the process locale: hexadecimal forms, inf, nan,
    // overflow to infinity and underflow toward zero all as atof gives them.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    const std::string copy(text.substr(0, text.find('\0')));
    return cLocale != locale_t(0) ? strtod_l(copy.c_str(), nullptr, cLocale)
                                  : std::strtod(copy.c_str(), nullptr);
}

std::string FormatLf(double value) {
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%f", value);
    // snprintf follows the C locale ("C" unless someone changed LC_NUMERIC); keep "." always.
    for (char* p = buffer; *p; ++p) {
        if (*p == ',') {
            *p = '.';
        }
    }
    return buffer;
}

}  // namespace engine
