// Fuzz target: the command-line parser on arbitrary words (the input split at blanks and line
// ends), checked against the positional rules word by word.
#include <cstdint>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "engine/c_numbers.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

bool SameDouble(double a, double b) {
    return a == b || (a != a && b != b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (size_t i = 0; i < size; ++i) {
        const char ch = char(data[i]);
        if (ch == ' ' || ch == '\n' || ch == '\t') {
            if (inWord) {
                words.push_back(word);
                word.clear();
            }
            inWord = false;
        } else {
            word.push_back(ch);
            inWord = true;
        }
    }
    if (inWord) {
        words.push_back(word);
    }

    CPixloomCommandLineInfo info;
    info.ParseCommandLine(words);

    // The positional words in order; a word beginning with "-" is a flag and takes no place.
    std::vector<std::string> positional;
    for (const std::string& w : words) {
        if (w.empty() || w[0] != '-') {
            positional.push_back(w);
        }
    }
    Require(info.paramCount == int(positional.size()));
    const bool lastIsPositional =
        !words.empty() && (words.back().empty() || words.back()[0] != '-');
    const bool loneFile = positional.size() == 1 && lastIsPositional;
    Require(info.width == (positional.empty() || loneFile ? 0 : engine::CAtoi(positional[0])));
    Require(info.height == (positional.size() < 2 ? 0 : engine::CAtoi(positional[1])));
    if (positional.size() >= 3) {
        Require(SameDouble(info.frameRate, engine::CAtof(positional[2])));
    }
    std::string file1 = loneFile ? positional[0] : "";
    if (positional.size() >= 4) {
        file1 = positional[3];
    }
    Require(info.file1 == file1);
    Require(info.file2 == (positional.size() >= 5 ? positional[4] : ""));

    // What the new-document step makes of it.
    int w = info.paramCount >= 2 ? info.width : 176;
    int h = info.paramCount >= 2 ? info.height : 144;
    settings_rules::CheckDefaultSize(w, h);
    Require(w > 0 && h > 0);
    if (info.paramCount >= 3) {
        const double rate = settings_rules::FrameRateFromCommandLine(info.frameRate);
        Require(rate >= 0.0);
    }
    return 0;
}
