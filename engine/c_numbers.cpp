#include "engine/c_numbers.h"

#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdio>

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
    size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // from_chars takes no sign of its own here, so "+-1" reads as 0 as atof does.
    if (i >= text.size() || text[i] == '-' || text[i] == '+') {
        return 0.0;
    }
    double value = 0.0;
    auto result = std::from_chars(text.data() + i, text.data() + text.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large for a double reads as infinity, too small as zero, as strtod gives.
        bool tiny = false;
        for (const char* p = text.data() + i; p < result.ptr; ++p) {
            if (*p == 'e' || *p == 'E') {
                tiny = p + 1 < result.ptr && p[1] == '-';
                break;
            }
        }
        value = tiny ? 0.0 : __builtin_inf();
    } else if (result.ec != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
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
