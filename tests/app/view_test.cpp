#include "app/view.h"

#include <QStyle>

#include "tests/app/shell_fixture.h"

namespace {

using shell_testing::PictureBytes;
using shell_testing::Settle;
using shell_testing::ShellTest;
using shell_testing::ShowsBackground;
using shell_testing::ShowsPicture;

class ViewTest : public ShellTest {
protected:
    // One sequence, or two side by side, of w x h; zoom as asked.
    void Load(int w, int h, bool dual = false, bool zoom = false) {
        ASSERT_TRUE(StartSized(w, h));
        ASSERT_TRUE(Open(RawFile("a.yuv", w, h, 3, 1)));
        if (dual) {
            DualOpen(RawFile("b.yuv", w, h, 3, 2));
        }
        if (zoom) {
            Command(res::ID_SEQ_ZOOM);
        }
    }
    int BarExtent() const {
        return View()->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, View());
    }
    QScrollBar* HBar() const { return View()->horizontalScrollBar(); }
    QScrollBar* VBar() const { return View()->verticalScrollBar(); }
    int ClientWidth() const { return View()->viewport()->width(); }
    int ClientHeight() const { return View()->viewport()->height(); }
};

// ---- Drawing -------------------------------------------------------------------------------

TEST_F(ViewTest, WholePictureAtFiveFiveWithoutBars) {
    Load(176, 144);
    ASSERT_EQ(View()->viewport()->size(), QSize(186, 154));
    EXPECT_EQ(Engine().hScrollShown, 0);
    EXPECT_EQ(Engine().vScrollShown, 0);
    EXPECT_EQ(View()->scrollX, 0);
    EXPECT_EQ(View()->scrollY, 0);
    for (const QImage& image : {Shown(), Grab()}) {
        EXPECT_TRUE(ShowsPicture(image, Engine(), 1, 0, 0, 176, 144, 5, 5));
        EXPECT_TRUE(ShowsBackground(image, QRect(0, 0, 186, 5)));
        EXPECT_TRUE(ShowsBackground(image, QRect(0, 0, 5, 154)));
        EXPECT_TRUE(ShowsBackground(image, QRect(181, 0, 5, 154)));
        EXPECT_TRUE(ShowsBackground(image, QRect(0, 149, 186, 5)));
    }
}

TEST_F(ViewTest, EveryFrameIsDrawnAsItIsShown) {
    Load(176, 144);
    const std::vector<uint8_t> first = PictureBytes(Engine());
    Command(res::ID_SEQ_STEP_FORWARD);
    ASSERT_NE(PictureBytes(Engine()), first);
    EXPECT_TRUE(ShowsPicture(Shown(), Engine(), 1, 0, 0, 176, 144, 5, 5));
    EXPECT_EQ(Frame()->CounterText(), "0002");
}

TEST_F(ViewTest, ZoomDrawsEachPixelTwoByTwo) {
    Load(176, 144, false, true);
    ASSERT_EQ(View()->viewport()->size(), QSize(367, 298));
    EXPECT_TRUE(ShowsPicture(Grab(), Engine(), 2, 0, 0, 176, 144, 5, 5));
    EXPECT_TRUE(ShowsBackground(Grab(), QRect(357, 0, 10, 298)));
}

// With zoom, 176 wide and a client 359 wide: no bar (spare width 2), yet only
// 359 / 2 - 5 = 174 columns are drawn.
TEST_F(ViewTest, BarsFollowMarginFiveDrawingMarginTen) {
    Load(176, 144, false, true);
    SetViewArea(359, 298);
    EXPECT_EQ(Engine().hScrollShown, 0);
    EXPECT_EQ(Engine().vScrollShown, 0);
    ASSERT_EQ(ClientWidth(), 359);
    const QImage image = Grab();
    EXPECT_TRUE(ShowsPicture(image, Engine(), 2, 0, 0, 174, 144, 5, 5));
    EXPECT_TRUE(ShowsBackground(image, QRect(5 + 348, 0, 359 - 353, 298)));
}

TEST_F(ViewTest, ZoomedScrollPositionSevenIsThreePictureColumns) {
    Load(176, 144, false, true);
    SetViewArea(300, 298);
    ASSERT_EQ(Engine().hScrollShown, 1);
    // Single sequence with dual scroll set: maximum z x W = 352, page cx - 4 = 296.
    EXPECT_EQ(HBar()->pageStep(), 296);
    EXPECT_EQ(HBar()->maximum(), 352 - 295);
    View()->OnHScroll(SB_THUMBPOSITION, 7);
    EXPECT_EQ(HBar()->value(), 7);
    EXPECT_EQ(View()->scrollX, 3);
    const int vw = 300 / 2 - 5;
    const int vh = ClientHeight() / 2 - 5;
    EXPECT_TRUE(ShowsPicture(Shown(), Engine(), 2, 3, 0, vw, vh, 5, 5));
}

TEST_F(ViewTest, DualScrollDrawsTwoHalvesFromTheSameColumn) {
    Load(176, 144, true);
    SetViewArea(300, 200);
    ASSERT_EQ(Engine().hScrollShown, 1);
    ASSERT_EQ(Engine().vScrollShown, 0);
    // Maximum z x W = 176, page cx / 2 - 2 = 148.
    EXPECT_EQ(HBar()->pageStep(), 148);
    EXPECT_EQ(HBar()->maximum(), 176 - 147);
    View()->OnHScroll(SB_THUMBPOSITION, 20);
    EXPECT_EQ(View()->scrollX, 20);
    const int half = (300 - 5) / 2;
    const QImage image = Shown();
    EXPECT_TRUE(ShowsPicture(image, Engine(), 1, 20, 0, half, 144, 5, 5));
    EXPECT_TRUE(ShowsPicture(image, Engine(), 1, 176 + 20, 0, half, 144, 5 + half, 5));
    EXPECT_TRUE(ShowsPicture(Grab(), Engine(), 1, 176 + 20, 0, half, 144, 5 + half, 5));
}

TEST_F(ViewTest, DualScrollZoomedHalves) {
    Load(176, 144, true, true);
    SetViewArea(400, 310);
    ASSERT_EQ(Engine().hScrollShown, 1);
    // Maximum z x W = 352, page cx / 2 - 4 = 196.
    EXPECT_EQ(HBar()->pageStep(), 196);
    EXPECT_EQ(HBar()->maximum(), 352 - 195);
    View()->OnHScroll(SB_THUMBPOSITION, 7);
    EXPECT_EQ(View()->scrollX, 3);
    const int half = (400 / 2 - 5) / 2;
    const int vh = ClientHeight() >= 298 ? 144 : ClientHeight() / 2 - 5;
    const QImage image = Shown();
    EXPECT_TRUE(ShowsPicture(image, Engine(), 2, 3, 0, half, vh, 5, 5));
    EXPECT_TRUE(ShowsPicture(image, Engine(), 2, 176 + 3, 0, half, vh, 5 + 2 * half, 5));
}

TEST_F(ViewTest, DualWithoutDualScrollScrollsAcrossBothHalves) {
    Load(176, 144, true);
    Command(res::ID_VIEW_DUAL_SCROLL);
    SetViewArea(300, 200);
    // Maximum d x z x W = 352, page cx - 4 = 296.
    EXPECT_EQ(HBar()->pageStep(), 296);
    EXPECT_EQ(HBar()->maximum(), 352 - 295);
    View()->OnHScroll(SB_RIGHT, 0);
    EXPECT_EQ(View()->scrollX, 57);
    // The far right: the last drawn column is the picture's last.
    EXPECT_TRUE(ShowsPicture(Shown(), Engine(), 1, 57, 0, 295, 144, 5, 5));

    Command(res::ID_SEQ_ZOOM);
    SetViewArea(300, 200);
    // Zoomed: maximum 704, page cx - 10.
    EXPECT_EQ(HBar()->pageStep(), 290);
    EXPECT_EQ(HBar()->maximum(), 704 - 289);
    EXPECT_EQ(HBar()->value(), 0);
}

TEST_F(ViewTest, OnlyTheOverflowingSideGetsABarStartingAtZero) {
    Load(720, 480);
    SetViewArea(200, 490);
    EXPECT_EQ(Engine().hScrollShown, 1);
    EXPECT_EQ(Engine().vScrollShown, 0);
    View()->OnHScroll(SB_THUMBPOSITION, 30);
    ASSERT_EQ(View()->scrollX, 30);
    SetViewArea(730, 490 + BarExtent());
    EXPECT_EQ(Engine().hScrollShown, 0);
    EXPECT_EQ(View()->scrollX, 0);
    SetViewArea(200, 490);
    EXPECT_EQ(Engine().hScrollShown, 1);
    EXPECT_EQ(HBar()->value(), 0);
    EXPECT_EQ(View()->scrollX, 0);
}

TEST_F(ViewTest, BothBarsDisappearTogether) {
    Load(176, 144);
    SetViewArea(160, 120);
    ASSERT_EQ(Engine().hScrollShown, 1);
    ASSERT_EQ(Engine().vScrollShown, 1);
    View()->OnHScroll(SB_RIGHT, 0);
    View()->OnVScroll(SB_BOTTOM, 0);
    // Short of fitting by 3 pixels each way while the bars are shown: without them it fits.
    const int bar = BarExtent();
    SetViewArea(176 + 5 - 3 + bar, 144 + 5 - 3 + bar);
    EXPECT_EQ(Engine().hScrollShown, 0);
    EXPECT_EQ(Engine().vScrollShown, 0);
    EXPECT_EQ(View()->scrollX, 0);
    EXPECT_EQ(View()->scrollY, 0);
    EXPECT_TRUE(ShowsPicture(Grab(), Engine(), 1, 0, 0, 176, 144, 5, 5));
}

TEST_F(ViewTest, OneSideShortByMoreThanABarKeepsBoth) {
    Load(176, 144);
    SetViewArea(160, 120);
    ASSERT_EQ(Engine().hScrollShown + Engine().vScrollShown, 2);
    const int bar = BarExtent();
    SetViewArea(176 + 5 - 3 + bar, 144 + 5 - 3 - 1);
    EXPECT_EQ(Engine().hScrollShown, 1);
    EXPECT_EQ(Engine().vScrollShown, 1);
}

TEST_F(ViewTest, ZoomAndPresetHideTheBarsAndTheLayoutShowsThemAgain) {
    Load(176, 144);
    SetViewArea(160, 100);
    View()->OnHScroll(SB_RIGHT, 0);
    ASSERT_GT(View()->scrollX, 0);
    Command(res::ID_SEQ_ZOOM);
    EXPECT_EQ(Engine().hScrollShown, 0);
    EXPECT_EQ(Engine().vScrollShown, 0);
    EXPECT_EQ(View()->scrollX, 0);
    EXPECT_EQ(View()->viewport()->size(), QSize(352 + 15, 288 + 10));
}

// ---- Scroll codes --------------------------------------------------------------------------

struct ScrollCase {
    const char* name;
    int from;
    int code;
    int thumb;
    int to;
};

void PrintTo(const ScrollCase& c, std::ostream* os) {
    *os << c.name;
}

class HorizontalCodes : public ViewTest, public ::testing::WithParamInterface<ScrollCase> {};

// 720 x 480, client 200 x 490: maximum 720, page 198, limit 523; the height fits.
TEST_P(HorizontalCodes, NewPosition) {
    const ScrollCase& c = GetParam();
    Load(720, 480);
    SetViewArea(200, 490);
    ASSERT_EQ(Engine().vScrollShown, 0);
    ASSERT_EQ(HBar()->maximum(), 523);
    ASSERT_EQ(HBar()->pageStep(), 198);
    View()->OnHScroll(SB_THUMBPOSITION, c.from);
    ASSERT_EQ(HBar()->value(), c.from);
    View()->OnHScroll(c.code, c.thumb);
    EXPECT_EQ(HBar()->value(), c.to);
    EXPECT_EQ(View()->scrollX, c.to);
    // The bar takes from the height: the height overflows now, by less than a bar.
    EXPECT_TRUE(ShowsPicture(Shown(), Engine(), 1, c.to, 0, 195, ClientHeight() - 5, 5, 5));
}

INSTANTIATE_TEST_SUITE_P(
    Table, HorizontalCodes,
    ::testing::Values(ScrollCase{"LineLeft", 10, SB_LINELEFT, 0, 9},
                      ScrollCase{"LineLeftAtStart", 0, SB_LINELEFT, 0, 0},
                      ScrollCase{"LineRight", 10, SB_LINERIGHT, 0, 11},
                      ScrollCase{"LineRightAtLimit", 523, SB_LINERIGHT, 0, 523},
                      ScrollCase{"PageLeft", 300, SB_PAGELEFT, 0, 102},
                      ScrollCase{"PageLeftToStart", 100, SB_PAGELEFT, 0, 0},
                      ScrollCase{"PageRight", 10, SB_PAGERIGHT, 0, 208},
                      ScrollCase{"PageRightToLimit", 400, SB_PAGERIGHT, 0, 523},
                      ScrollCase{"Thumb", 10, SB_THUMBPOSITION, 33, 33},
                      ScrollCase{"Track", 10, SB_THUMBTRACK, 40, 40},
                      ScrollCase{"ThumbBeyondLimit", 10, SB_THUMBTRACK, 900, 523},
                      ScrollCase{"ToLeft", 10, SB_LEFT, 0, 0},
                      ScrollCase{"ToRight", 10, SB_RIGHT, 0, 523},
                      ScrollCase{"EndScroll", 10, SB_ENDSCROLL, 0, 10},
                      ScrollCase{"Unknown", 10, 99, 0, 10}),
    [](const auto& info) { return std::string(info.param.name); });

class VerticalCodes : public ViewTest, public ::testing::WithParamInterface<ScrollCase> {};

// 720 x 480, client 730 x 200: maximum 480, page 196, limit 285; the width fits.
TEST_P(VerticalCodes, NewPosition) {
    const ScrollCase& c = GetParam();
    Load(720, 480);
    SetViewArea(730, 200);
    ASSERT_EQ(Engine().vScrollShown, 1);
    ASSERT_EQ(Engine().hScrollShown, 0);
    ASSERT_EQ(VBar()->maximum(), 285);
    ASSERT_EQ(VBar()->pageStep(), 196);
    View()->OnVScroll(SB_THUMBPOSITION, c.from);
    View()->OnVScroll(c.code, c.thumb);
    EXPECT_EQ(VBar()->value(), c.to);
    EXPECT_EQ(View()->scrollY, c.to);
    EXPECT_TRUE(ShowsPicture(Shown(), Engine(), 1, 0, c.to, ClientWidth() - 5, 195, 5, 5));
}

INSTANTIATE_TEST_SUITE_P(Table, VerticalCodes,
                         ::testing::Values(ScrollCase{"LineUp", 10, SB_LINEUP, 0, 9},
                                           ScrollCase{"LineDownAtLimit", 285, SB_LINEDOWN, 0, 285},
                                           ScrollCase{"PageUp", 200, SB_PAGEUP, 0, 4},
                                           ScrollCase{"PageDown", 1, SB_PAGEDOWN, 0, 197},
                                           ScrollCase{"PageDownToLimit", 100, SB_PAGEDOWN, 0, 285},
                                           ScrollCase{"Top", 30, SB_TOP, 0, 0},
                                           ScrollCase{"Bottom", 3, SB_BOTTOM, 0, 285},
                                           ScrollCase{"EndScroll", 17, SB_ENDSCROLL, 0, 17}),
                         [](const auto& info) { return std::string(info.param.name); });

// What the bar does when clicked or dragged reaches the same rules.
TEST_F(ViewTest, BarActionsTakeTheScrollRules) {
    Load(720, 480);
    SetViewArea(200, 490);
    ASSERT_EQ(HBar()->maximum(), 523);
    struct {
        QAbstractSlider::SliderAction action;
        int to;
    } const steps[] = {
        {QAbstractSlider::SliderSingleStepAdd, 1},   {QAbstractSlider::SliderPageStepAdd, 199},
        {QAbstractSlider::SliderSingleStepSub, 198}, {QAbstractSlider::SliderToMaximum, 523},
        {QAbstractSlider::SliderPageStepAdd, 523},   {QAbstractSlider::SliderSingleStepAdd, 523},
        {QAbstractSlider::SliderPageStepSub, 325},   {QAbstractSlider::SliderToMinimum, 0},
        {QAbstractSlider::SliderPageStepSub, 0},
    };
    for (const auto& step : steps) {
        HBar()->triggerAction(step.action);
        EXPECT_EQ(HBar()->value(), step.to) << step.action;
        EXPECT_EQ(View()->scrollX, step.to);
    }
    HBar()->setSliderDown(true);
    HBar()->setSliderPosition(77);
    EXPECT_EQ(View()->scrollX, 77);
    HBar()->setSliderDown(false);
    EXPECT_EQ(HBar()->value(), 77);
    EXPECT_TRUE(ShowsPicture(Shown(), Engine(), 1, 77, 0, 195, ClientHeight() - 5, 5, 5));
}

TEST_F(ViewTest, EndScrollRedrawsThePicture) {
    Load(720, 480);
    SetViewArea(200, 490);
    View()->OnHScroll(SB_THUMBPOSITION, 12);
    {
        std::lock_guard<std::mutex> lock(Engine().frameLock);
        std::fill(Engine().rgbBuffer.data(), Engine().rgbBuffer.data() + Engine().rgbBuffer.size(),
                  uint8_t(0x40));
    }
    const int vh = ClientHeight() - 5;
    EXPECT_FALSE(ShowsPicture(Shown(), Engine(), 1, 12, 0, 195, vh, 5, 5));
    View()->OnHScroll(SB_ENDSCROLL, 0);
    EXPECT_EQ(View()->scrollX, 12);
    EXPECT_TRUE(ShowsPicture(Shown(), Engine(), 1, 12, 0, 195, vh, 5, 5));
}

TEST_F(ViewTest, SingleSequenceRangeFollowsTheDualScrollFlag) {
    Load(720, 480);
    SetViewArea(200, 490);
    // Dual scroll set: maximum z x W, page cx - 2.
    EXPECT_EQ(HBar()->pageStep(), 198);
    EXPECT_EQ(HBar()->maximum(), 720 - 197);
    Command(res::ID_VIEW_DUAL_SCROLL);
    SetViewArea(201, 490);
    // Clear: maximum d x z x W, page cx - 4.
    EXPECT_EQ(HBar()->pageStep(), 197);
    EXPECT_EQ(HBar()->maximum(), 720 - 196);
}

struct RangeCase {
    const char* name;
    bool dual, dualScroll, zoom;
    int cx;
    int page, limit;  // limit = maximum - (page - 1), never past the maximum
};

void PrintTo(const RangeCase& c, std::ostream* os) {
    *os << c.name;
}

class HorizontalRange : public ViewTest, public ::testing::WithParamInterface<RangeCase> {};

// 176 x 144 sequences; the ranges as the layout sets them for a client cx wide.
TEST_P(HorizontalRange, PageAndLimit) {
    const RangeCase& c = GetParam();
    Load(176, 144, c.dual, c.zoom);
    if (!c.dualScroll) {
        Command(res::ID_VIEW_DUAL_SCROLL);
    }
    Engine().hScrollShown = 1;
    View()->UpdateScrollRanges(c.cx, 100);
    EXPECT_EQ(HBar()->pageStep(), c.page);
    EXPECT_EQ(HBar()->maximum(), c.limit);
}

INSTANTIATE_TEST_SUITE_P(
    Table, HorizontalRange,
    ::testing::Values(RangeCase{"Single", false, false, false, 100, 96, 176 - 95},
                      RangeCase{"SingleZoom", false, false, true, 100, 90, 352 - 89},
                      RangeCase{"SingleDualScrollFlag", false, true, false, 100, 98, 176 - 97},
                      RangeCase{"SingleDualScrollFlagZoom", false, true, true, 100, 96, 352 - 95},
                      RangeCase{"Dual", true, false, false, 300, 296, 352 - 295},
                      RangeCase{"DualZoom", true, false, true, 300, 290, 704 - 289},
                      RangeCase{"DualScroll", true, true, false, 301, 148, 176 - 147},
                      RangeCase{"DualScrollZoom", true, true, true, 301, 146, 352 - 145},
                      RangeCase{"PageWholeRange", false, false, false, 181, 177, 0},
                      RangeCase{"PageBeyondRange", false, false, false, 500, 177, 0},
                      RangeCase{"PageZero", false, false, false, 4, 0, 176},
                      RangeCase{"PageNegative", false, false, false, 2, 177, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ViewTest, PlaybackDoneMakesPlayAvailable) {
    Load(32, 16);
    Engine().readyToPlay = 0;
    Engine().playing = 1;
    View()->WindowProc(engine::WM_PLAYBACK_DONE, 0, 0);
    EXPECT_EQ(Engine().readyToPlay, 1);
    EXPECT_EQ(Engine().playing, 0);
    EXPECT_TRUE(Frame()->Action(res::ID_SEQ_PLAY)->isEnabled());
}

TEST_F(ViewTest, WithoutADocumentNothingIsDrawn) {
    Load(32, 16);
    View()->SetDocument(nullptr);
    View()->OnDraw();
    View()->SetDocument(Doc());
    EXPECT_EQ(messages, (std::vector<std::string>{"OnDraw, pDoc is NULL", "pDoc is NULL"}));
}

}  // namespace
