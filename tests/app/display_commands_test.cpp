#include "app/display_commands.h"

#include "tests/app/shell_fixture.h"

namespace {

using shell_testing::PictureBytes;
using shell_testing::Settle;
using shell_testing::ShellTest;
using shell_testing::ShowsPicture;
using shell_testing::WaitUntil;

// ---- Preset sizes --------------------------------------------------------------------------

struct Preset {
    unsigned id;
    int width, height;
};

const Preset kPresets[] = {
    {res::ID_SIZE_QCIF, 176, 144},    {res::ID_SIZE_176X120, 176, 120},
    {res::ID_SIZE_CIF, 352, 288},     {res::ID_SIZE_256X224, 256, 224},
    {res::ID_SIZE_320X240, 320, 240}, {res::ID_SIZE_352X240, 352, 240},
    {res::ID_SIZE_720X480, 720, 480},
};

void PrintTo(const Preset& p, std::ostream* os) {
    *os << p.width << "x" << p.height;
}

class PresetTest : public ShellTest, public ::testing::WithParamInterface<Preset> {
protected:
    // The check marks of the seven presets, in table order.
    std::vector<bool> Marks() {
        std::vector<bool> marks;
        for (const Preset& p : kPresets) {
            marks.push_back(Action(p.id)->isChecked());
        }
        return marks;
    }
    std::vector<bool> OnlyMarked(unsigned id) {
        std::vector<bool> marks;
        for (const Preset& p : kPresets) {
            marks.push_back(p.id == id);
        }
        return marks;
    }
};

TEST_P(PresetTest, WithoutAFileResizesThePlaceholderAndStoresTheSize) {
    const Preset& p = GetParam();
    ASSERT_TRUE(StartSized(100, 50));
    EXPECT_EQ(Marks(), std::vector<bool>(7, false));
    Frame()->frameCounter = 7;
    Command(p.id);
    EXPECT_EQ(Engine().defaultWidth, p.width);
    EXPECT_EQ(Engine().defaultHeight, p.height);
    EXPECT_EQ(Engine().bitmapInfo.biWidth, p.width);
    EXPECT_EQ(Engine().bitmapInfo.biHeight, p.height);
    EXPECT_EQ(ReadSetting("width").toInt(), p.width);
    EXPECT_EQ(ReadSetting("height").toInt(), p.height);
    EXPECT_EQ(Frame()->frameCounter.load(), 7);
    EXPECT_EQ(Marks(), OnlyMarked(p.id));
    // The window fits the picture with margins of 10.
    EXPECT_EQ(View()->size(), QSize(p.width + 10, p.height + 10));
    EXPECT_EQ(Engine().hScrollShown + Engine().vScrollShown, 0);
    EXPECT_TRUE(ShowsPicture(Shown(), Engine(), 1, 0, 0, p.width, p.height, 5, 5));
}

TEST_P(PresetTest, WithAFileShowsFrameOneAgain) {
    const Preset& p = GetParam();
    const size_t bytes = testing_support::RawFrameBytes(720, 480) * 3;
    std::vector<uint8_t> data(bytes);
    for (size_t i = 0; i < bytes; ++i) {
        data[i] = uint8_t((i * 7 + i / 1000) & 0xff);
    }
    testing_support::WriteBytes(dir.File("big.yuv"), data);
    ASSERT_TRUE(StartSized(p.width, p.height));
    ASSERT_TRUE(Open(dir.File("big.yuv")));
    const std::vector<uint8_t> first = PictureBytes(Engine());
    Command(res::ID_SEQ_STEP_FORWARD);
    ASSERT_EQ(Frame()->frameCounter.load(), 2);
    ASSERT_NE(PictureBytes(Engine()), first);
    // The preset already in force still goes back to frame 1 and shows it.
    Command(p.id);
    EXPECT_EQ(Frame()->frameCounter.load(), 1);
    EXPECT_EQ(Engine().leftFile->GetPosition(), uint64_t(Engine().frameBytes));
    EXPECT_EQ(PictureBytes(Engine()), first);
    EXPECT_TRUE(ShowsPicture(Shown(), Engine(), 1, 0, 0, p.width, p.height, 5, 5));
    EXPECT_EQ(Engine().readyToPlay, 1);
}

INSTANTIATE_TEST_SUITE_P(Sizes, PresetTest, ::testing::ValuesIn(kPresets), [](const auto& info) {
    return std::to_string(info.param.width) + "x" + std::to_string(info.param.height);
});

TEST_F(ShellTest, PresetAtFrame37GoesBackToFrameOne) {
    const std::string a = RawFile("a.yuv", 176, 144, 40);
    ASSERT_TRUE(StartSized(176, 144));
    ASSERT_TRUE(Open(a));
    for (int i = 1; i < 37; ++i) {
        Frame()->OnCommand(res::ID_SEQ_STEP_FORWARD);
    }
    ASSERT_EQ(Frame()->frameCounter.load(), 37);
    Command(res::ID_SIZE_QCIF);
    EXPECT_EQ(Frame()->frameCounter.load(), 1);
    EXPECT_EQ(Engine().leftFile->GetPosition(), uint64_t(Engine().frameBytes));
    EXPECT_EQ(Frame()->CounterText(), "0001");
}

TEST_F(ShellTest, KorvaFileKeepsItsOwnSizeUnderAPreset) {
    const testing_support::KorvaLayout layout = testing_support::KorvaProgressive(64, 48);
    std::vector<uint8_t> bytes = testing_support::KorvaHeaderBytes(layout);
    const size_t frame = 64 * 48 + 2 * 32 * 24;
    for (int i = 0; i < 3; ++i) {
        const auto f = testing_support::PatternFrame(frame, i);
        bytes.insert(bytes.end(), f.begin(), f.end());
    }
    testing_support::WriteBytes(dir.File("k.yuv"), bytes);
    ASSERT_TRUE(StartSized(176, 144));
    ASSERT_TRUE(Open(dir.File("k.yuv")));
    ASSERT_EQ(Engine().isKorva, 1);
    ASSERT_EQ(Engine().width, 64);
    const uint64_t dataStart = Engine().dataStart;
    const std::vector<uint8_t> first = PictureBytes(Engine());
    Command(res::ID_SEQ_STEP_FORWARD);
    Command(res::ID_SIZE_CIF);
    EXPECT_EQ(Engine().width, 64);
    EXPECT_EQ(Engine().height, 48);
    EXPECT_EQ(ReadSetting("width").toInt(), 64);
    EXPECT_EQ(ReadSetting("height").toInt(), 48);
    EXPECT_TRUE(Action(res::ID_SIZE_CIF)->isChecked());
    EXPECT_FALSE(Action(res::ID_SIZE_QCIF)->isChecked());
    EXPECT_EQ(Frame()->frameCounter.load(), 1);
    EXPECT_EQ(Engine().leftFile->GetPosition(), dataStart + uint64_t(Engine().frameBytes));
    EXPECT_EQ(PictureBytes(Engine()), first);
}

// The right file shares the left one's layout, header included: it restarts at dataStart.
TEST_F(ShellTest, KorvaRightFileRestartsAtTheFirstFrame) {
    auto korva = [&](const std::string& name, uint32_t seed) {
        std::vector<uint8_t> bytes =
            testing_support::KorvaHeaderBytes(testing_support::KorvaProgressive(64, 48));
        for (int i = 0; i < 3; ++i) {
            const auto f = testing_support::PatternFrame(64 * 48 * 3 / 2, i, seed);
            bytes.insert(bytes.end(), f.begin(), f.end());
        }
        testing_support::WriteBytes(dir.File(name), bytes);
        return dir.File(name);
    };
    const std::string k1 = korva("k1.yuv", 1), k2 = korva("k2.yuv", 2), k3 = korva("k3.yuv", 3);
    ASSERT_TRUE(StartSized(176, 144));
    ASSERT_TRUE(Open(k1));
    const uint64_t first = Engine().dataStart;
    ASSERT_GT(first, 0u);
    DualOpen(k2);
    EXPECT_EQ(Engine().rightFile->GetPosition(), first + uint64_t(Engine().frameBytes));
    Command(res::ID_SEQ_STEP_FORWARD);
    ASSERT_TRUE(Open(k3));
    EXPECT_EQ(Engine().rightFile->GetPosition(), first + uint64_t(Engine().frameBytes));
    Command(res::ID_SEQ_STEP_FORWARD);
    Command(res::ID_SIZE_CIF);
    EXPECT_EQ(Engine().rightFile->GetPosition(), first + uint64_t(Engine().frameBytes));
    EXPECT_EQ(Frame()->windowTitle(), "k3.yuv  /  k2.yuv");
}

// ---- Zoom ----------------------------------------------------------------------------------

TEST_F(ShellTest, ZoomMarginsAre15On10Off) {
    const std::string a = RawFile("a.yuv", 176, 144, 2);
    ASSERT_TRUE(StartSized(176, 144));
    ASSERT_TRUE(Open(a));
    const int bars = Frame()->height() - View()->height();
    EXPECT_EQ(View()->size(), QSize(176 + 10, 144 + 10));
    EXPECT_EQ(Frame()->size(), QSize(176 + 10, 144 + 10 + bars));
    Command(res::ID_SEQ_ZOOM);
    EXPECT_TRUE(Action(res::ID_SEQ_ZOOM)->isChecked());
    EXPECT_EQ(View()->size(), QSize(352 + 15, 288 + 10));
    EXPECT_EQ(Engine().hScrollShown + Engine().vScrollShown, 0);
    EXPECT_TRUE(ShowsPicture(Shown(), Engine(), 2, 0, 0, 176, 144, 5, 5));
    Command(res::ID_SEQ_ZOOM);
    EXPECT_EQ(View()->size(), QSize(176 + 10, 144 + 10));
    EXPECT_TRUE(ShowsPicture(Shown(), Engine(), 1, 0, 0, 176, 144, 5, 5));
    // Zoom changes neither buffers nor frame.
    EXPECT_EQ(Engine().bitmapInfo.biWidth, 176);
    EXPECT_EQ(Frame()->frameCounter.load(), 1);
}

TEST_F(ShellTest, ZoomWithoutAFileDoublesThePlaceholder) {
    ASSERT_TRUE(StartSized(100, 60));
    Command(res::ID_SEQ_ZOOM);
    EXPECT_EQ(View()->size(), QSize(200 + 15, 120 + 10));
    EXPECT_TRUE(ShowsPicture(Shown(), Engine(), 2, 0, 0, 100, 60, 5, 5));
}

TEST_F(ShellTest, ZoomOfADualDisplayFitsBothPictures) {
    ASSERT_TRUE(StartSized(96, 64));
    ASSERT_TRUE(Open(RawFile("a.yuv", 96, 64, 2, 1)));
    DualOpen(RawFile("b.yuv", 96, 64, 2, 2));
    Command(res::ID_SEQ_ZOOM);
    EXPECT_EQ(View()->size(), QSize(2 * 2 * 96 + 15, 2 * 64 + 10));
    EXPECT_TRUE(ShowsPicture(Shown(), Engine(), 2, 0, 0, 192, 64, 5, 5));
}

// ---- View toggles --------------------------------------------------------------------------

struct ToggleCase {
    const char* name;
    std::vector<unsigned> before;  // commands that set up the starting state
    unsigned command;
    int showY, showUV;
};

void PrintTo(const ToggleCase& c, std::ostream* os) {
    *os << c.name;
}

class ViewToggles : public ShellTest, public ::testing::WithParamInterface<ToggleCase> {};

TEST_P(ViewToggles, StateTableAndThePictureFollowingIt) {
    const ToggleCase& c = GetParam();
    ASSERT_TRUE(StartSized(32, 16));
    ASSERT_TRUE(Open(RawFile("a.yuv", 32, 16, 2)));
    // The picture of each state, made by the same toggles from the start.
    std::map<std::pair<int, int>, std::vector<uint8_t>> pictures;
    pictures[{1, 1}] = PictureBytes(Engine());
    Command(res::ID_VIEW_UV);
    pictures[{1, 0}] = PictureBytes(Engine());
    Command(res::ID_VIEW_UV);
    Command(res::ID_VIEW_Y);
    pictures[{0, 1}] = PictureBytes(Engine());
    Command(res::ID_VIEW_Y);
    ASSERT_EQ(PictureBytes(Engine()), pictures[std::make_pair(1, 1)]);
    ASSERT_NE(pictures[std::make_pair(1, 0)], pictures[std::make_pair(0, 1)]);

    for (unsigned id : c.before) {
        Command(id);
    }
    Command(c.command);
    EXPECT_EQ(Engine().showY, c.showY);
    EXPECT_EQ(Engine().showUV, c.showUV);
    EXPECT_EQ(Action(res::ID_VIEW_Y)->isChecked(), c.showY == 1);
    EXPECT_EQ(Action(res::ID_VIEW_UV)->isChecked(), c.showUV == 1);
    EXPECT_EQ(PictureBytes(Engine()), pictures[std::make_pair(c.showY, c.showUV)]);
    EXPECT_TRUE(ShowsPicture(Shown(), Engine(), 1, 0, 0, 32, 16, 5, 5));
    EXPECT_EQ(Frame()->frameCounter.load(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ViewToggles,
    ::testing::Values(
        ToggleCase{"BothThenY", {}, res::ID_VIEW_Y, 0, 1},
        ToggleCase{"BothThenUV", {}, res::ID_VIEW_UV, 1, 0},
        ToggleCase{"LumaOnlyThenY", {res::ID_VIEW_UV}, res::ID_VIEW_Y, 0, 1},
        ToggleCase{"LumaOnlyThenUV", {res::ID_VIEW_UV}, res::ID_VIEW_UV, 1, 1},
        ToggleCase{"ChromaOnlyThenY", {res::ID_VIEW_Y}, res::ID_VIEW_Y, 1, 1},
        ToggleCase{"ChromaOnlyThenUV", {res::ID_VIEW_Y}, res::ID_VIEW_UV, 1, 0},
        ToggleCase{"LumaOnlyYThenUV", {res::ID_VIEW_UV, res::ID_VIEW_Y}, res::ID_VIEW_UV, 1, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ShellTest, TogglesWithoutAFileChangeOnlyTheFlags) {
    ASSERT_TRUE(StartSized(32, 16));
    const std::vector<uint8_t> placeholder = PictureBytes(Engine());
    Command(res::ID_VIEW_Y);
    Command(res::ID_VIEW_DELTA);
    EXPECT_EQ(Engine().showY, 0);
    EXPECT_EQ(Engine().deltaMode, 1);
    EXPECT_EQ(PictureBytes(Engine()), placeholder);
}

TEST_F(ShellTest, DeltaModeWithoutASecondSequenceOnlyTogglesTheMark) {
    ASSERT_TRUE(StartSized(32, 16));
    ASSERT_TRUE(Open(RawFile("a.yuv", 32, 16, 2)));
    const std::vector<uint8_t> picture = PictureBytes(Engine());
    Command(res::ID_VIEW_DELTA);
    EXPECT_TRUE(Action(res::ID_VIEW_DELTA)->isChecked());
    EXPECT_EQ(PictureBytes(Engine()), picture);
    // It takes effect once a second sequence is opened.
    DualOpen(RawFile("b.yuv", 32, 16, 2, 2));
    const std::vector<uint8_t> delta = PictureBytes(Engine());
    Command(res::ID_VIEW_DELTA);
    EXPECT_FALSE(Action(res::ID_VIEW_DELTA)->isChecked());
    EXPECT_NE(PictureBytes(Engine()), delta);
    // The left half is the same in both.
    for (int row = 0; row < 16; ++row) {
        const size_t start = size_t(row) * 64 * 3;
        EXPECT_TRUE(std::equal(delta.begin() + long(start), delta.begin() + long(start + 32 * 3),
                               Engine().rgbBuffer.data() + start));
    }
    EXPECT_TRUE(ShowsPicture(Shown(), Engine(), 1, 0, 0, 64, 16, 5, 5));
}

TEST_F(ShellTest, ToggleDuringPlaybackConvertsAWholeFrame) {
    ASSERT_TRUE(StartSized(64, 48));
    ASSERT_TRUE(Open(RawFile("a.yuv", 64, 48, 8)));
    Frame()->frameRate = 300.0;
    Command(res::ID_SEQ_PLAY);
    for (int i = 0; i < 20; ++i) {
        Command(i % 2 == 0 ? res::ID_VIEW_Y : res::ID_VIEW_UV);
    }
    Command(res::ID_SEQ_STOP);
    ASSERT_TRUE(WaitUntil([&] { return Engine().readyToPlay == 1; }));
    EXPECT_TRUE(Engine().showY == 1 || Engine().showUV == 1);
}

// ---- Dual Scroll ---------------------------------------------------------------------------

TEST_F(ShellTest, DualScrollWithoutDualOrBarOnlyTogglesTheMark) {
    ASSERT_TRUE(StartSized(176, 144));
    ASSERT_TRUE(Open(RawFile("a.yuv", 176, 144, 2, 1)));
    Command(res::ID_VIEW_DUAL_SCROLL);
    EXPECT_FALSE(Action(res::ID_VIEW_DUAL_SCROLL)->isChecked());
    EXPECT_EQ(Engine().dualScroll, 0);
    DualOpen(RawFile("b.yuv", 176, 144, 2, 2));
    ASSERT_EQ(Engine().hScrollShown, 0);
    Command(res::ID_VIEW_DUAL_SCROLL);
    EXPECT_TRUE(Action(res::ID_VIEW_DUAL_SCROLL)->isChecked());
    EXPECT_EQ(View()->scrollX, 0);
}

TEST_F(ShellTest, DualScrollWithABarRestartsAtPositionZeroWithTheOtherRange) {
    ASSERT_TRUE(StartSized(176, 144));
    ASSERT_TRUE(Open(RawFile("a.yuv", 176, 144, 2, 1)));
    DualOpen(RawFile("b.yuv", 176, 144, 2, 2));
    SetViewArea(300, 200);
    ASSERT_EQ(Engine().hScrollShown, 1);
    QScrollBar* bar = View()->horizontalScrollBar();
    // Dual scroll: maximum z x W = 176, page cx / 2 - 2 = 148; limit 176 - 147.
    EXPECT_EQ(bar->maximum(), 29);
    EXPECT_EQ(bar->pageStep(), 148);
    View()->OnHScroll(SB_RIGHT, 0);
    EXPECT_EQ(View()->scrollX, 29);
    Command(res::ID_VIEW_DUAL_SCROLL);
    // One picture 2 x W wide: maximum 352, page cx - 4 = 296; limit 352 - 295.
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(View()->scrollX, 0);
    EXPECT_EQ(bar->maximum(), 57);
    EXPECT_EQ(bar->pageStep(), 296);
    EXPECT_TRUE(ShowsPicture(Shown(), Engine(), 1, 0, 0, 300 - 5, 144, 5, 5));
}

// ---- Dialogs -------------------------------------------------------------------------------

struct DialogCase {
    const char* name;
    const char* text;
    bool accepted;
    double value;        // when accepted
    const char* stored;  // when accepted
};

void PrintTo(const DialogCase& c, std::ostream* os) {
    *os << c.name;
}

// Types the text into the dialog's edit control, presses OK and, if the text was refused (the
// dialog stays open), Cancel.
class DialogTest : public ShellTest {
protected:
    void Run(unsigned command, int editId, const QString& text, QString* shownText,
             bool* stayedOpen) {
        WhenDialogOpens([=](QDialog* dialog) {
            auto* edit = dialog->findChild<QLineEdit*>(QString::number(editId));
            ASSERT_NE(edit, nullptr);
            *shownText = edit->text();
            edit->setText(text);
            Click(dialog, res::IDOK);
            *stayedOpen = dialog->isVisible();
            if (*stayedOpen) {
                Click(dialog, res::IDCANCEL);
            }
        });
        Command(command);
    }
};

class FrameRateDialog : public DialogTest, public ::testing::WithParamInterface<DialogCase> {};

TEST_P(FrameRateDialog, AcceptsZeroTo501) {
    const DialogCase& c = GetParam();
    WriteSetting("framerate", "12.5");
    ASSERT_TRUE(StartSized(32, 16));
    QString shown;
    bool stayedOpen = false;
    Run(res::ID_SEQ_FRAME_RATE, res::IDC_FRAME_RATE, c.text, &shown, &stayedOpen);
    EXPECT_EQ(shown, "12.5");
    EXPECT_EQ(stayedOpen, !c.accepted);
    if (c.accepted) {
        EXPECT_DOUBLE_EQ(Frame()->frameRate.load(), c.value);
        EXPECT_EQ(ReadSetting("framerate").toString(), c.stored);
        EXPECT_TRUE(messages.empty());
    } else {
        EXPECT_DOUBLE_EQ(Frame()->frameRate.load(), 12.5);
        EXPECT_EQ(ReadSetting("framerate").toString(), "12.5");
        EXPECT_EQ(messages.size(), 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, FrameRateDialog,
    ::testing::Values(DialogCase{"Zero", "0", true, 0.0, "0.000000"},
                      DialogCase{"Upper", "501", true, 501.0, "501.000000"},
                      DialogCase{"Typical", "25", true, 25.0, "25.000000"},
                      DialogCase{"AboveStartUpLimit", "500.5", true, 500.5, "500.500000"},
                      DialogCase{"Blanks", " 29.97 ", true, 29.97, "29.970000"},
                      DialogCase{"JustAbove", "501.5", false, 0, ""},
                      DialogCase{"Negative", "-1", false, 0, ""},
                      DialogCase{"Letters", "abc", false, 0, ""},
                      DialogCase{"TrailingText", "25fps", false, 0, ""},
                      DialogCase{"Empty", "", false, 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

class DeltaScaleDialog : public DialogTest, public ::testing::WithParamInterface<DialogCase> {};

TEST_P(DeltaScaleDialog, AcceptsAnyNumber) {
    const DialogCase& c = GetParam();
    ASSERT_TRUE(StartSized(32, 16));
    QString shown;
    bool stayedOpen = false;
    Run(res::ID_SEQ_DELTA_SCALE, res::IDC_DELTA_SCALE, c.text, &shown, &stayedOpen);
    EXPECT_EQ(shown, "1");
    EXPECT_EQ(stayedOpen, !c.accepted);
    if (c.accepted) {
        EXPECT_DOUBLE_EQ(Frame()->deltaScale.load(), c.value);
        EXPECT_EQ(ReadSetting("deltascale").toString(), c.stored);
    } else {
        EXPECT_DOUBLE_EQ(Frame()->deltaScale.load(), 1.0);
        EXPECT_FALSE(ReadSetting("deltascale").isValid());
        EXPECT_EQ(messages.size(), 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(Values, DeltaScaleDialog,
                         ::testing::Values(DialogCase{"Negative", "-2.5", true, -2.5, "-2.500000"},
                                           DialogCase{"Zero", "0", true, 0.0, "0.000000"},
                                           DialogCase{"Large", "1e3", true, 1000.0, "1000.000000"},
                                           DialogCase{"Plus", "+4", true, 4.0, "4.000000"},
                                           DialogCase{"Letters", "abc", false, 0, ""},
                                           DialogCase{"TwoSigns", "+-5", false, 0, ""},
                                           DialogCase{"Infinite", "inf", false, 0, ""},
                                           DialogCase{"Empty", "", false, 0, ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DialogTest, DeltaScaleCancelStillRedrawsInDeltaMode) {
    ASSERT_TRUE(StartSized(32, 16));
    ASSERT_TRUE(Open(RawFile("a.yuv", 32, 16, 2, 1)));
    DualOpen(RawFile("b.yuv", 32, 16, 2, 2));
    Command(res::ID_VIEW_DELTA);
    const std::vector<uint8_t> scaleOne = PictureBytes(Engine());
    Frame()->deltaScale = 4.0;
    ASSERT_EQ(PictureBytes(Engine()), scaleOne);
    WhenDialogOpens([](QDialog* dialog) { Click(dialog, res::IDCANCEL); });
    Command(res::ID_SEQ_DELTA_SCALE);
    EXPECT_NE(PictureBytes(Engine()), scaleOne);
    EXPECT_TRUE(ShowsPicture(Shown(), Engine(), 1, 0, 0, 64, 16, 5, 5));
    EXPECT_FALSE(ReadSetting("deltascale").isValid());
    EXPECT_DOUBLE_EQ(Frame()->deltaScale.load(), 4.0);
}

TEST_F(DialogTest, FrameRateDialogDuringPlaybackSetsTheRate) {
    ASSERT_TRUE(StartSized(32, 16));
    ASSERT_TRUE(Open(RawFile("a.yuv", 32, 16, 500)));
    Frame()->frameRate = 100.0;
    Command(res::ID_SEQ_PLAY);
    QString shown;
    bool stayedOpen = false;
    Run(res::ID_SEQ_FRAME_RATE, res::IDC_FRAME_RATE, "250", &shown, &stayedOpen);
    EXPECT_EQ(shown, "100");
    EXPECT_DOUBLE_EQ(Frame()->frameRate.load(), 250.0);
    EXPECT_EQ(Engine().playing, 1);
    Command(res::ID_SEQ_STOP);
    ASSERT_TRUE(WaitUntil([&] { return Engine().readyToPlay == 1; }));
}

TEST(DialogRules, ParseDouble) {
    struct {
        const char* text;
        bool ok;
        double value;
    } const cases[] = {{"1", true, 1},    {" 2.5 ", true, 2.5}, {".5", true, 0.5},
                       {"-0", true, 0},   {"1e2", true, 100},   {"+1", true, 1},
                       {"1e", false, 0},  {"0x10", false, 0},   {"nan", false, 0},
                       {"1,5", false, 0}, {"++1", false, 0},    {"+-1", false, 0},
                       {"1 2", false, 0}, {"", false, 0},       {" ", false, 0}};
    for (const auto& c : cases) {
        double v = -99;
        EXPECT_EQ(dialog_rules::ParseDouble(c.text, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_DOUBLE_EQ(v, c.value) << c.text;
        }
    }
    EXPECT_EQ(dialog_rules::FormatDouble(29.97), "29.97");
    EXPECT_EQ(dialog_rules::FormatDouble(10.0), "10");
}

}  // namespace
