// The parsed command line: up to five positional words (width, height, frame rate, file 1,
// file 2); a lone last word is a file name; flags are ignored and not counted.
#pragma once

#include <string>
#include <vector>

class CPixloomCommandLineInfo {
public:
    // Called once for every word after the program name, in order. isFlag: the word began with
    // "-" (passed without it); isLast: the last word of the whole command line.
    void ParseParam(const std::string& param, bool isFlag, bool isLast);
    // Runs ParseParam over argv[1..] as the framework does.
    void ParseCommandLine(const std::vector<std::string>& words);

    int paramCount = 0;
    int width = 0;
    int height = 0;
    double frameRate = 0.0;
    std::string file1;
    std::string file2;
};

// The per-user settings' checks, shared by the shell and its tests.
namespace settings_rules {
// "framerate": empty text gives 10.0; otherwise atof, and anything not in (0, 500) gives 10.0.
double FrameRateFromText(const std::string& text);
// "deltascale": empty text gives 1.0; otherwise atof, no range check.
double DeltaScaleFromText(const std::string& text);
// A frame rate from the command line: below 0 or not a number gives 10.0; 0 is kept.
double FrameRateFromCommandLine(double rate);
// The default frame size: either side 0 or less gives 176 x 144.
void CheckDefaultSize(int& width, int& height);
}  // namespace settings_rules
