#include "app/command_line.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

struct CommandLineCase {
    const char* name;
    std::vector<std::string> words;
    int paramCount;
    int width;
    int height;
    double frameRate;  // checked when paramCount >= 3
    std::string file1;
    std::string file2;
};

void PrintTo(const CommandLineCase& c, std::ostream* os) {
    *os << c.name;
}

class CommandLineTable : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTable, ParsesPositionalWords) {
    const CommandLineCase& c = GetParam();
    CPixloomCommandLineInfo info;
    info.ParseCommandLine(c.words);
    EXPECT_EQ(info.paramCount, c.paramCount);
    EXPECT_EQ(info.width, c.width);
    EXPECT_EQ(info.height, c.height);
    if (c.paramCount >= 3) {
        EXPECT_DOUBLE_EQ(info.frameRate, c.frameRate);
    }
    EXPECT_EQ(info.file1, c.file1);
    EXPECT_EQ(info.file2, c.file2);
}

const std::string kLeft = "/data/left.yuv";
const std::string kRight = "/data/right.yuv";

INSTANTIATE_TEST_SUITE_P(
    Forms, CommandLineTable,
    ::testing::Values(
        CommandLineCase{"NoWords", {}, 0, 0, 0, 0, "", ""},
        CommandLineCase{"LoneFile", {kLeft}, 1, 0, 0, 0, kLeft, ""},
        CommandLineCase{"LoneNumberIsAFile", {"352"}, 1, 0, 0, 0, "352", ""},
        CommandLineCase{"FileBeforeFlagIsAWidth", {"clip.yuv", "-x"}, 1, 0, 0, 0, "", ""},
        CommandLineCase{"Size", {"352", "288"}, 2, 352, 288, 0, "", ""},
        CommandLineCase{"SizeAndRate", {"352", "288", "25"}, 3, 352, 288, 25.0, "", ""},
        CommandLineCase{"OneFile", {"352", "288", "25", kLeft}, 4, 352, 288, 25.0, kLeft, ""},
        CommandLineCase{
            "TwoFiles", {"352", "288", "25", kLeft, kRight}, 5, 352, 288, 25.0, kLeft, kRight},
        CommandLineCase{"SixthWordCountedAndIgnored",
                        {"352", "288", "25", kLeft, kRight, "extra"},
                        6,
                        352,
                        288,
                        25.0,
                        kLeft,
                        kRight},
        CommandLineCase{"FlagsTakeNoPlace",
                        {"-a", "352", "-b", "288", "--c", "25", kLeft, "-", kRight, "-last"},
                        5,
                        352,
                        288,
                        25.0,
                        kLeft,
                        kRight},
        // "-5" begins with the flag character, so it is a flag, not a frame rate.
        CommandLineCase{"NegativeNumberIsAFlag", {"352", "288", "-5"}, 2, 352, 288, 0, "", ""},
        CommandLineCase{"SlashBeginsAPathNotAFlag", {"/x"}, 1, 0, 0, 0, "/x", ""},
        CommandLineCase{
            "NumbersAsAtoiReadsThem", {" 352px", "+288", "12.5fps"}, 3, 352, 288, 12.5, "", ""},
        CommandLineCase{"NotANumberIsZero", {"wide", "high", "fast"}, 3, 0, 0, 0.0, "", ""},
        CommandLineCase{"HugeNumbersSaturate",
                        {"99999999999", " -99999999999"},
                        2,
                        std::numeric_limits<int>::max(),
                        std::numeric_limits<int>::min(),
                        0,
                        "",
                        ""},
        CommandLineCase{"EmptyWordsArePositional", {"", ""}, 2, 0, 0, 0, "", ""},
        CommandLineCase{"EmptyLoneWordIsAFile", {""}, 1, 0, 0, 0, "", ""}),
    [](const ::testing::TestParamInfo<CommandLineCase>& info) { return info.param.name; });

TEST(CommandLine, ParseParamByPosition) {
    CPixloomCommandLineInfo info;
    info.ParseParam("ignored", true, false);
    EXPECT_EQ(info.paramCount, 0);
    info.ParseParam("640", false, false);
    info.ParseParam("480", false, false);
    info.ParseParam("7", false, false);
    info.ParseParam("a.yuv", false, false);
    info.ParseParam("b.yuv", false, false);
    info.ParseParam("c.yuv", false, true);
    EXPECT_EQ(info.paramCount, 6);
    EXPECT_EQ(info.width, 640);
    EXPECT_EQ(info.height, 480);
    EXPECT_DOUBLE_EQ(info.frameRate, 7.0);
    EXPECT_EQ(info.file1, "a.yuv");
    EXPECT_EQ(info.file2, "b.yuv");
}

TEST(CommandLine, FirstWordThatIsLastIsAFileWhateverItLooksLike) {
    CPixloomCommandLineInfo info;
    info.ParseParam("176", false, true);
    EXPECT_EQ(info.file1, "176");
    EXPECT_EQ(info.width, 0);
}

TEST(CommandLine, ManyWordsKeepCounting) {
    std::vector<std::string> words(100000, "w");
    CPixloomCommandLineInfo info;
    info.ParseCommandLine(words);
    EXPECT_EQ(info.paramCount, 100000);
    EXPECT_EQ(info.file1, "w");
    EXPECT_EQ(info.file2, "w");
}

struct TextCase {
    const char* name;
    std::string text;
    double value;
};

void PrintTo(const TextCase& c, std::ostream* os) {
    *os << c.name;
}

class FrameRateText : public ::testing::TestWithParam<TextCase> {};

TEST_P(FrameRateText, ChecksTheStoredRate) {
    EXPECT_DOUBLE_EQ(settings_rules::FrameRateFromText(GetParam().text), GetParam().value);
}

// 400 zeros after the point: far below the smallest double, so atof gives 0.
const std::string kUnderflow = "0." + std::string(400, '0') + "1";

INSTANTIATE_TEST_SUITE_P(
    Settings, FrameRateText,
    ::testing::Values(TextCase{"Empty", "", 10.0}, TextCase{"Zero", "0", 10.0},
                      TextCase{"FiveHundred", "500", 10.0}, TextCase{"AboveRange", "750", 10.0},
                      TextCase{"JustBelowRange", "499.9", 499.9},
                      TextCase{"AsWritten", "25.000000", 25.0}, TextCase{"Small", "0.5", 0.5},
                      TextCase{"Negative", "-3", 10.0}, TextCase{"NotANumber", "abc", 10.0},
                      TextCase{"Nan", "nan", 10.0}, TextCase{"Infinity", "inf", 10.0},
                      TextCase{"TrailingText", "30fps", 30.0},
                      TextCase{"LeadingBlanks", " \t 12", 12.0},
                      TextCase{"Hexadecimal", "0x1p4", 16.0},
                      TextCase{"UnderflowIsZero", kUnderflow, 10.0},
                      TextCase{"TinyExponentIsZero", "1e-400", 10.0}),
    [](const ::testing::TestParamInfo<TextCase>& info) { return info.param.name; });

class DeltaScaleText : public ::testing::TestWithParam<TextCase> {};

TEST_P(DeltaScaleText, HasNoRangeCheck) {
    EXPECT_DOUBLE_EQ(settings_rules::DeltaScaleFromText(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, DeltaScaleText,
    ::testing::Values(TextCase{"Empty", "", 1.0}, TextCase{"AsWritten", "2.500000", 2.5},
                      TextCase{"Negative", "-4", -4.0}, TextCase{"Zero", "0", 0.0},
                      TextCase{"NotANumberIsZero", "x", 0.0}, TextCase{"LargeKept", "1e30", 1e30},
                      TextCase{"Hexadecimal", "0x1p-1", 0.5},
                      TextCase{"UnderflowIsZeroNotInfinity", kUnderflow, 0.0},
                      TextCase{"PartialExponent", "3e", 3.0}),
    [](const ::testing::TestParamInfo<TextCase>& info) { return info.param.name; });

TEST(Settings, DeltaScaleOverflowAndNan) {
    EXPECT_EQ(settings_rules::DeltaScaleFromText("1e999"), std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(settings_rules::DeltaScaleFromText("nan")));
}

TEST(Settings, FrameRateFromCommandLine) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double in, out;
    } rows[] = {{-5.0, 10.0}, {-0.001, 10.0}, {-inf, 10.0}, {nan, 10.0},
                {0.0, 0.0},   {25.0, 25.0},   {0.05, 0.05}, {750.0, 750.0}};
    for (const auto& r : rows) {
        EXPECT_EQ(settings_rules::FrameRateFromCommandLine(r.in), r.out) << r.in;
    }
    EXPECT_EQ(settings_rules::FrameRateFromCommandLine(inf), inf);
}

TEST(Settings, DefaultSize) {
    const struct {
        int w, h, outW, outH;
    } rows[] = {
        {352, 288, 352, 288}, {1, 1, 1, 1},          {0, 144, 176, 144}, {176, 0, 176, 144},
        {-1, 288, 176, 144},  {352, -288, 176, 144}, {0, 0, 176, 144},   {100000, 5, 100000, 5},
    };
    for (const auto& r : rows) {
        int w = r.w, h = r.h;
        settings_rules::CheckDefaultSize(w, h);
        EXPECT_EQ(w, r.outW) << r.w << " x " << r.h;
        EXPECT_EQ(h, r.outH) << r.w << " x " << r.h;
    }
}

// Numbers read the same under a locale whose decimal point is a comma.
TEST(Settings, NumbersIgnoreTheProcessLocale) {
    const char* names[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"};
    const char* chosen = nullptr;
    for (const char* n : names) {
        if (std::setlocale(LC_NUMERIC, n) != nullptr) {
            chosen = n;
            break;
        }
    }
    if (chosen == nullptr) {
        GTEST_SKIP() << "no locale with a decimal comma installed";
    }
    const double rate = settings_rules::FrameRateFromText("12.5");
    const double scale = settings_rules::DeltaScaleFromText("0,5");
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(rate, 12.5);
    EXPECT_EQ(scale, 0.0);
}

}  // namespace
