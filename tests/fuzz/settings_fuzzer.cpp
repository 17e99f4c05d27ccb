// Fuzz target: the settings checks and the number readers on arbitrary text, each compared with
// the C library's strtol and strtod in the "C" locale (the atoi and atof rules).
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/command_line.h"
#include "engine/c_numbers.h"
#include "engine/korva_header.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

bool SameDouble(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

// atoi without its undefined overflow: strtol, saturated at the int range.
int ReferenceAtoi(const std::string& text) {
    errno = 0;
    const long v = std::strtol(text.c_str(), nullptr, 10);
    if (v > INT_MAX) {
        return INT_MAX;
    }
    if (v < INT_MIN) {
        return INT_MIN;
    }
    return int(v);
}

double ReferenceAtof(const std::string& text) {
    return std::strtod(text.c_str(), nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    const int i = engine::CAtoi(text);
    Require(i == ReferenceAtoi(text));
    const double f = engine::CAtof(text);
    Require(SameDouble(f, ReferenceAtof(text)));

    const double rate = settings_rules::FrameRateFromText(text);
    Require(rate > 0.0 && rate < 500.0);
    Require(text.empty() ? rate == 10.0 : (f > 0.0 && f < 500.0 ? rate == f : rate == 10.0));
    const double scale = settings_rules::DeltaScaleFromText(text);
    Require(text.empty() ? scale == 1.0 : SameDouble(scale, f));
    const double commandLineRate = settings_rules::FrameRateFromCommandLine(f);
    Require(commandLineRate >= 0.0 && (f >= 0.0 ? commandLineRate == f : commandLineRate == 10.0));

    int w = i, h = engine::CAtoi(text.substr(size / 2));
    settings_rules::CheckDefaultSize(w, h);
    Require(w > 0 && h > 0);

    // The same text as a KORVA record: the field readers stay inside the record.
    char record[engine::kKorvaRecordSize] = {};
    for (size_t k = 0; k < size && k < sizeof record; ++k) {
        record[k] = char(data[k]);
    }
    engine::KorvaHeader header;
    header.ParseMainRecord1(record);
    header.ParseMainRecord2(record);
    header.ParseComponentRecordA(0, record);
    header.ParseComponentRecordB(2, record);
    const std::string_view name = engine::KorvaFirstWord(header.components[2].name, 5);
    Require(name.size() <= 5);
    const std::string field(record + 7, 5);
    Require(header.componentCount == ReferenceAtoi(field.c_str()));
    return 0;
}
