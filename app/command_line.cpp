#include "app/command_line.h"

#include <cmath>

#include "engine/c_numbers.h"

void CPixloomCommandLineInfo::ParseParam(const std::string& param, bool isFlag, bool isLast) {
    if (isFlag) {
        return;
    }
    const int i = paramCount;
    if (paramCount < 1000000) {
        ++paramCount;
    }
    switch (i) {
        case 0:
            if (isLast) {
                file1 = param;
            } else {
                width = engine::CAtoi(param);
            }
            break;
        case 1:
            height = engine::CAtoi(param);
            break;
        case 2:
            frameRate = engine::CAtof(param);
            break;
        case 3:
            file1 = param;
            break;
        case 4:
            file2 = param;
            break;
        default:
            break;
    }
}

void CPixloomCommandLineInfo::ParseCommandLine(const std::vector<std::string>& words) {
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        // Only "-" marks a flag: on this system "/" begins every absolute path.
        const bool isFlag = !w.empty() && w[0] == '-';
        ParseParam(isFlag ? w.substr(1) : w, isFlag, i + 1 == words.size());
    }
}

namespace settings_rules {

double FrameRateFromText(const std::string& text) {
    if (text.empty()) {
        return 10.0;
    }
    const double rate = engine::CAtof(text);
    return (rate > 0.0 && rate < 500.0) ? rate : 10.0;
}

double DeltaScaleFromText(const std::string& text) {
    return text.empty() ? 1.0 : engine::CAtof(text);
}

double FrameRateFromCommandLine(double rate) {
    return (std::isnan(rate) || rate < 0.0) ? 10.0 : rate;
}

void CheckDefaultSize(int& width, int& height) {
    if (width <= 0 || height <= 0) {
        width = 176;
        height = 144;
    }
}

}  // namespace settings_rules
