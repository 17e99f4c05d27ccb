#include "app/main_frame.h"

#include <QHelpEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusTipEvent>
#include <QTest>
#include <QToolButton>
#include <QToolTip>
#include <QUrl>
#include <QWindow>

#include "tests/app/shell_fixture.h"

namespace {

using shell_testing::Settle;
using shell_testing::ShellTest;
using shell_testing::WaitUntil;

// ---- Caption and status bar ----------------------------------------------------------------

TEST_F(ShellTest, CaptionIsTitleTextExactly) {
    const std::string a = RawFile("a.yuv", 32, 16, 2);
    const std::string odd = RawFile("take[*]2 & more.yuv", 32, 16, 2, 2);
    ASSERT_TRUE(StartSized(32, 16));
    EXPECT_EQ(Frame()->windowTitle(), "pixloom");
    ASSERT_TRUE(Open(a));
    EXPECT_EQ(Frame()->windowHandle()->title(), "a.yuv");
    DualOpen(odd);
    EXPECT_EQ(Frame()->titleText, "a.yuv  /  take[*]2 & more.yuv");
    // What the window system shows, not only what the widget keeps.
    EXPECT_EQ(Frame()->windowHandle()->title(), "a.yuv  /  take[*]2 & more.yuv");
    ASSERT_TRUE(Open(odd));
    EXPECT_EQ(Frame()->windowHandle()->title(), "take[*]2 & more.yuv  /  take[*]2 & more.yuv");
}

TEST_F(ShellTest, StatusBarPanes) {
    ASSERT_TRUE(StartSized(32, 16));
    auto* panes = Frame()->StatusBar();
    const auto labels = panes->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_EQ(labels.size(), 3);
    EXPECT_EQ(labels[0]->text(), "Frame");
    EXPECT_EQ(labels[2]->text(), "Ready");
    EXPECT_EQ(labels[0]->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(labels[2]->frameShape(), QFrame::NoFrame);
    EXPECT_NE(labels[1]->frameShape(), QFrame::NoFrame);
    EXPECT_LT(labels[0]->x(), labels[1]->x());
    EXPECT_LT(labels[1]->x(), labels[2]->x());
    // The counter pane is as wide as "9999" and keeps that width while four digits fit.
    const int width = labels[1]->width();
    EXPECT_GE(width, labels[1]->fontMetrics().horizontalAdvance("9999"));
    EXPECT_LT(width, labels[1]->fontMetrics().horizontalAdvance("99999999"));

    struct {
        int counter;
        const char* text;
    } const cases[] = {{1, "0001"}, {42, "0042"}, {9999, "9999"}, {12345, "12345"}, {0, "0000"}};
    for (const auto& c : cases) {
        Frame()->frameCounter = c.counter;
        Settle();
        Frame()->UpdateStatusBar();
        EXPECT_EQ(Frame()->CounterText(), c.text);
        if (c.counter < 10000) {
            EXPECT_EQ(labels[1]->width(), width);
        } else {
            EXPECT_GT(labels[1]->width(), labels[1]->fontMetrics().horizontalAdvance(c.text));
        }
    }
}

TEST_F(ShellTest, MessageLineShowsPromptsAndReadyWhenIdle) {
    ASSERT_TRUE(StartSized(32, 16));
    EXPECT_EQ(Frame()->MessageText(), "Ready");
    const int windowWidth = Frame()->width();
    struct {
        unsigned id;
        const char* prompt;
    } const cases[] = {
        {res::ID_VIEW_DELTA, "Delta mode: delta_scale*(left - right)"},
        {res::ID_SEQ_PLAY, "Play the sequence"},
        {res::ID_SEQ_FRAME_RATE, "Desired Frame Rate (fps)"},
        {res::ID_SIZE_QCIF, "QCIF"},
        {res::ID_FILE_DUAL_OPEN, "Open another video file for dual viewing"},
        {res::ID_FILE_OPEN, "Open a video file"},
        {res::ID_APP_EXIT, "Quit the application; prompts to save documents"},
    };
    for (const auto& c : cases) {
        QAction* action = Frame()->Action(c.id);
        ASSERT_NE(action, nullptr) << c.id;
        action->showStatusText(Frame()->ToolBar());
        EXPECT_EQ(Frame()->MessageText(), c.prompt);
        // A prompt longer than the window is cut, not a reason to widen it.
        Settle();
        EXPECT_EQ(Frame()->width(), windowWidth);
        QStatusTipEvent leave{QString()};
        QCoreApplication::sendEvent(Frame(), &leave);
        EXPECT_EQ(Frame()->MessageText(), "Ready");
    }
}

// ---- Command table -------------------------------------------------------------------------

std::vector<std::string> MenuLines(QMenu* menu, const std::string& indent = "") {
    std::vector<std::string> lines;
    for (QAction* a : menu->actions()) {
        if (!a->isVisible()) {
            continue;
        }
        if (a->isSeparator()) {
            lines.push_back(indent + "----");
        } else if (a->menu() != nullptr) {
            lines.push_back(indent + a->text().toStdString());
            for (const auto& line : MenuLines(a->menu(), indent + "  ")) {
                lines.push_back(line);
            }
        } else {
            std::string line = indent + a->text().toStdString();
            if (!a->shortcut().isEmpty()) {
                line += '\t';
                line += a->shortcut().toString().toStdString();
            }
            lines.push_back(line);
        }
    }
    return lines;
}

TEST_F(ShellTest, MenuTreeWithMnemonicsAndOnlyTheOpenKeyText) {
    ASSERT_TRUE(StartSized(32, 16));
    std::vector<std::string> lines;
    for (QAction* top : Frame()->menuBar()->actions()) {
        lines.push_back(top->text().toStdString());
        for (const auto& line : MenuLines(top->menu(), "  ")) {
            lines.push_back(line);
        }
    }
    const std::vector<std::string> expected = {
        "&File",           "  &Open...\tCtrl+O",
        "  &Dual Open",    "  ----",
        "  Recent File",   "  ----",
        "  E&xit",         "&View",
        "  &Toolbar",      "  &Status Bar",
        "  &Dual Scroll",  "  View &U/V",
        "  View &Y",       "  D&elta mode",
        "&Sequence",       "  &Play",
        "  &Stop",         "  &Rewind",
        "  Step &forward", "  Step &backward",
        "  Fr&ame Rate",   "  D&elta scale",
        "  Loop",          "  &Zoom",
        "  &Default size", "    &QCIF (176x144)",
        "    176x120",     "    &CIF (352x288)",
        "    256x224",     "    320x240",
        "    352x240",     "    720x480",
        "&Help",           "  &About pixloom...",
    };
    EXPECT_EQ(lines, expected);
}

TEST_F(ShellTest, RecentFileItemIsGreyedUntilTheListHoldsAnEntry) {
    const std::string a = RawFile("a.yuv", 32, 16, 2);
    ASSERT_TRUE(StartSized(32, 16));
    QMenu* file = Frame()->menuBar()->actions()[0]->menu();
    auto find = [&](const QString& text) -> QAction* {
        for (QAction* x : file->actions()) {
            if (x->isVisible() && x->text().contains(text)) {
                return x;
            }
        }
        return nullptr;
    };
    QAction* placeholder = find("Recent File");
    ASSERT_NE(placeholder, nullptr);
    EXPECT_FALSE(placeholder->isEnabled());
    ASSERT_TRUE(Open(a));
    EXPECT_EQ(find("Recent File"), nullptr);
    QAction* entry = find(QString::fromStdString(a));
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->isEnabled());
    EXPECT_TRUE(entry->text().startsWith("&1 "));
    EXPECT_EQ(entry->statusTip(), "Open this document");
}

TEST_F(ShellTest, ToolBarOrderSeparatorsAndTips) {
    ASSERT_TRUE(StartSized(32, 16));
    std::vector<unsigned> ids;
    for (QAction* a : Frame()->ToolBar()->actions()) {
        ids.push_back(a->isSeparator() ? 0u : a->data().toUInt());
        // The same actions in the menus show check marks, not button images.
        EXPECT_TRUE(a->isSeparator() || !a->isIconVisibleInMenu());
    }
    // No context menu offers to hide the toolbar.
    EXPECT_EQ(Frame()->ToolBar()->contextMenuPolicy(), Qt::PreventContextMenu);
    const std::vector<unsigned> expected = {res::ID_SEQ_PLAY,
                                            res::ID_SEQ_STOP,
                                            res::ID_SEQ_REWIND,
                                            res::ID_SEQ_STEP_BACKWARD,
                                            res::ID_SEQ_STEP_FORWARD,
                                            res::ID_SEQ_FRAME_RATE,
                                            0,
                                            res::ID_SEQ_ZOOM,
                                            res::ID_VIEW_Y,
                                            res::ID_VIEW_UV,
                                            0,
                                            res::ID_VIEW_DUAL_SCROLL,
                                            res::ID_VIEW_DELTA,
                                            res::ID_SEQ_DELTA_SCALE};
    EXPECT_EQ(ids, expected);

    struct {
        unsigned id;
        const char* tip;  // "" : no tip at all
    } const cases[] = {
        {res::ID_SEQ_PLAY, "Play"},
        {res::ID_SEQ_STEP_FORWARD, "Step fwd"},
        {res::ID_SEQ_STEP_BACKWARD, "Step bkwd"},
        {res::ID_SEQ_FRAME_RATE, "Frame Rate"},
        {res::ID_VIEW_DUAL_SCROLL, "Dual scroll mode toggle"},
        {res::ID_SEQ_DELTA_SCALE, "Set delta scale factor"},
        {res::ID_VIEW_DELTA, ""},
    };
    Frame()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Frame()));
    for (const auto& c : cases) {
        QAction* action = Frame()->Action(c.id);
        QWidget* button = Frame()->ToolBar()->widgetForAction(action);
        ASSERT_NE(button, nullptr);
        QToolTip::hideText();
        ASSERT_TRUE(WaitUntil([] { return !QToolTip::isVisible(); }));
        const QPoint at = button->rect().center();
        QHelpEvent help(QEvent::ToolTip, at, button->mapToGlobal(at));
        QCoreApplication::sendEvent(button, &help);
        Settle();
        if (*c.tip == '\0') {
            EXPECT_FALSE(QToolTip::isVisible()) << QToolTip::text().toStdString();
        } else {
            EXPECT_TRUE(QToolTip::isVisible()) << c.tip;
            EXPECT_EQ(QToolTip::text(), c.tip);
        }
    }
    QToolTip::hideText();
}

TEST_F(ShellTest, UpdateHandlersEnableAndCheck) {
    const std::string a = RawFile("a.yuv", 32, 16, 40);
    ASSERT_TRUE(StartSized(32, 16));
    struct State {
        const char* name;
        bool play, stop, transport, dualOpen;
    };
    auto expectState = [&](const State& s) {
        SCOPED_TRACE(s.name);
        EXPECT_EQ(Action(res::ID_SEQ_PLAY)->isEnabled(), s.play);
        EXPECT_EQ(Action(res::ID_SEQ_STOP)->isEnabled(), s.stop);
        for (unsigned id :
             {res::ID_SEQ_REWIND, res::ID_SEQ_STEP_FORWARD, res::ID_SEQ_STEP_BACKWARD}) {
            EXPECT_EQ(Action(id)->isEnabled(), s.transport) << id;
        }
        EXPECT_EQ(Action(res::ID_FILE_DUAL_OPEN)->isEnabled(), s.dualOpen);
        // Always available, whatever the state.
        for (unsigned id :
             {res::ID_SEQ_FRAME_RATE, res::ID_SEQ_DELTA_SCALE, res::ID_SEQ_LOOP, res::ID_SEQ_ZOOM,
              res::ID_SIZE_CIF, res::ID_VIEW_DUAL_SCROLL, res::ID_VIEW_Y, res::ID_VIEW_UV,
              res::ID_VIEW_DELTA, res::ID_FILE_OPEN, res::ID_APP_EXIT, res::ID_APP_ABOUT}) {
            EXPECT_TRUE(Action(id)->isEnabled()) << id;
        }
    };
    expectState({"empty", false, false, false, false});
    ASSERT_TRUE(Open(a));
    expectState({"ready", true, false, true, true});
    Frame()->frameRate = 5.0;
    Command(res::ID_SEQ_PLAY);
    expectState({"playing", false, true, false, true});
    Command(res::ID_SEQ_STOP);
    ASSERT_TRUE(WaitUntil([&] { return Engine().readyToPlay == 1; }));
    expectState({"stopped", true, false, true, true});

    // Check marks follow the flags.
    EXPECT_TRUE(Action(res::ID_SEQ_LOOP)->isChecked());
    EXPECT_TRUE(Action(res::ID_VIEW_DUAL_SCROLL)->isChecked());
    EXPECT_TRUE(Action(res::ID_VIEW_Y)->isChecked());
    EXPECT_TRUE(Action(res::ID_VIEW_UV)->isChecked());
    EXPECT_FALSE(Action(res::ID_VIEW_DELTA)->isChecked());
    EXPECT_FALSE(Action(res::ID_SEQ_ZOOM)->isChecked());
    EXPECT_TRUE(Action(res::ID_VIEW_TOOLBAR)->isChecked());
    EXPECT_TRUE(Action(res::ID_VIEW_STATUS_BAR)->isChecked());
    Command(res::ID_SEQ_LOOP);
    Command(res::ID_VIEW_TOOLBAR);
    EXPECT_FALSE(Action(res::ID_SEQ_LOOP)->isChecked());
    EXPECT_FALSE(Action(res::ID_VIEW_TOOLBAR)->isChecked());
    EXPECT_FALSE(Frame()->ToolBar()->isVisible());
}

// ---- Keys ----------------------------------------------------------------------------------

class KeyTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        ASSERT_TRUE(StartSized(32, 16));
        ASSERT_TRUE(Open(RawFile("a.yuv", 32, 16, 5)));
        Frame()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Frame()));
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget() != nullptr ? QApplication::focusWidget()
                                                                 : static_cast<QWidget*>(Frame());
        QTest::keyClick(target, key, modifiers);
        Settle();
    }
};

TEST_F(KeyTest, ArrowsStepWheneverTheWindowHasTheKeyboard) {
    Key(Qt::Key_Right);
    EXPECT_EQ(Frame()->frameCounter.load(), 2);
    Key(Qt::Key_Right);
    Key(Qt::Key_Right);
    EXPECT_EQ(Frame()->frameCounter.load(), 4);
    Key(Qt::Key_Left);
    EXPECT_EQ(Frame()->frameCounter.load(), 3);
    EXPECT_EQ(Frame()->CounterText(), "0003");

    // Also with a toolbar button focused.
    QWidget* button = Frame()->ToolBar()->widgetForAction(Frame()->Action(res::ID_SEQ_ZOOM));
    button->setFocus();
    Settle();
    Key(Qt::Key_Right);
    EXPECT_EQ(Frame()->frameCounter.load(), 4);
    Key(Qt::Key_Left);
    Key(Qt::Key_Left);
    EXPECT_EQ(Frame()->frameCounter.load(), 2);
    EXPECT_EQ(Engine().zoom, 0);
}

TEST_F(KeyTest, EditAndPaneKeysChangeNothing) {
    Key(Qt::Key_Right);
    const uint64_t position = Engine().leftFile->GetPosition();
    const std::vector<uint8_t> picture(Engine().rgbBuffer.data(),
                                       Engine().rgbBuffer.data() + Engine().rgbBuffer.size());
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    } keys[] = {{Qt::Key_C, Qt::ControlModifier},    {Qt::Key_X, Qt::ControlModifier},
                {Qt::Key_V, Qt::ControlModifier},    {Qt::Key_Z, Qt::ControlModifier},
                {Qt::Key_S, Qt::ControlModifier},    {Qt::Key_Backspace, Qt::AltModifier},
                {Qt::Key_Delete, Qt::ShiftModifier}, {Qt::Key_Insert, Qt::ControlModifier},
                {Qt::Key_Insert, Qt::ShiftModifier}, {Qt::Key_F6, Qt::NoModifier},
                {Qt::Key_F6, Qt::ShiftModifier}};
    for (const auto& k : keys) {
        Key(k.key, k.modifiers);
    }
    EXPECT_EQ(Frame()->frameCounter.load(), 2);
    EXPECT_EQ(Engine().leftFile->GetPosition(), position);
    EXPECT_EQ(std::vector<uint8_t>(Engine().rgbBuffer.data(),
                                   Engine().rgbBuffer.data() + Engine().rgbBuffer.size()),
              picture);
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(Frame()->isVisible());
}

TEST_F(KeyTest, CtrlNIsFileNewAndCtrlOAsksForAFile) {
    Key(Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(Engine().leftFile, nullptr);
    bool asked = false;
    WhenDialogOpens([&](QDialog* dialog) {
        asked = true;
        dialog->reject();
    });
    Key(Qt::Key_O, Qt::ControlModifier);
    EXPECT_TRUE(asked);
    EXPECT_EQ(Engine().leftFile, nullptr);
}

// ---- Drops ---------------------------------------------------------------------------------

struct DropCase {
    const char* name;
    int width, height;
    int clientWidth;
    bool dualScroll;
    int scrollPosition;
    int x;
    bool right;
};

void PrintTo(const DropCase& c, std::ostream* os) {
    *os << c.name;
}

class DropBoundary : public ShellTest, public ::testing::WithParamInterface<DropCase> {};

TEST_P(DropBoundary, RoutesByTheLeftPicturesEdge) {
    const DropCase& c = GetParam();
    const std::string a = RawFile("a.yuv", c.width, c.height, 2, 1);
    const std::string b = RawFile("b.yuv", c.width, c.height, 2, 2);
    const std::string d = RawFile("d.yuv", c.width, c.height, 2, 3);
    ASSERT_TRUE(StartSized(c.width, c.height));
    ASSERT_TRUE(Open(a));
    DualOpen(b);
    if (!c.dualScroll) {
        Command(res::ID_VIEW_DUAL_SCROLL);
    }
    Frame()->resize(c.clientWidth, Frame()->height());
    Settle();
    ASSERT_EQ(Frame()->width(), c.clientWidth);
    if (c.scrollPosition != 0) {
        View()->OnHScroll(SB_THUMBPOSITION, c.scrollPosition);
        ASSERT_EQ(View()->horizontalScrollBar()->value(), c.scrollPosition);
    }
    Frame()->OnDropFiles(QPoint(c.x, 60), {QString::fromStdString(d)});
    Settle();
    EXPECT_EQ(Frame()->windowTitle(), c.right ? "a.yuv  /  d.yuv" : "d.yuv  /  b.yuv");
    EXPECT_EQ(Engine().dual, 1);
    EXPECT_TRUE(messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, DropBoundary,
    ::testing::Values(DropCase{"WideOnBoundary", 176, 144, 400, true, 0, 181, false},
                      DropCase{"WidePastBoundary", 176, 144, 400, true, 0, 182, true},
                      DropCase{"WideFarLeft", 176, 144, 400, true, 0, 0, false},
                      DropCase{"NarrowDualScrollOnHalf", 352, 288, 300, true, 0, 150, false},
                      DropCase{"NarrowDualScrollPastHalf", 352, 288, 300, true, 0, 151, true},
                      DropCase{"NarrowScrolledOnBoundary", 352, 288, 300, false, 100, 257, false},
                      DropCase{"NarrowScrolledPastBoundary", 352, 288, 300, false, 100, 258, true}),
    [](const auto& info) { return std::string(info.param.name); });

// A drop as Qt delivers it: window coordinates, the client area below the menu bar. Each drop
// goes to the widget that accepted the drag's entry.
TEST_F(ShellTest, DroppedUrlsAreRoutedFromWindowCoordinates) {
    const std::string a = RawFile("a.yuv", 176, 144, 2, 1);
    const std::string b = RawFile("b.yuv", 176, 144, 2, 2);
    const std::string d = RawFile("d.yuv", 176, 144, 2, 3);
    ASSERT_TRUE(StartSized(176, 144));
    ASSERT_TRUE(Open(a));
    DualOpen(b);
    Frame()->resize(400, Frame()->height());
    Settle();
    const int menu = Frame()->menuBar()->height();

    QMimeData text;
    text.setText("not a file");
    QDragEnterEvent enterText(QPoint(300, menu + 60), Qt::CopyAction, &text, Qt::LeftButton,
                              Qt::NoModifier);
    QCoreApplication::sendEvent(Frame(), &enterText);
    EXPECT_FALSE(enterText.isAccepted());

    auto drop = [&](const std::string& path, QPoint at) {
        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
        QDragEnterEvent enter(at, Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Frame(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent dropped(at, Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Frame(), &dropped);
        Settle();
    };
    drop(d, QPoint(181, menu + 60));
    EXPECT_EQ(Frame()->windowTitle(), "d.yuv  /  b.yuv");
    drop(a, QPoint(182, menu + 60));
    EXPECT_EQ(Frame()->windowTitle(), "d.yuv  /  a.yuv");
    // On the menu bar: outside the client area, an ordinary open.
    drop(b, QPoint(300, menu / 2));
    EXPECT_EQ(Frame()->windowTitle(), "b.yuv  /  a.yuv");
}

TEST_F(ShellTest, DropsWithoutDualDisplayOrOutsideTheClientAreOrdinaryOpens) {
    const std::string a = RawFile("a.yuv", 176, 144, 2, 1);
    const std::string b = RawFile("b.yuv", 176, 144, 2, 2);
    const std::string d = RawFile("d.yuv", 176, 144, 2, 3);
    ASSERT_TRUE(StartSized(176, 144));
    ASSERT_TRUE(Open(a));
    Frame()->resize(400, Frame()->height());
    Settle();
    Frame()->OnDropFiles(QPoint(390, 60), {QString::fromStdString(d)});
    Settle();
    EXPECT_EQ(Frame()->windowTitle(), "d.yuv");
    EXPECT_EQ(Engine().dual, 0);

    DualOpen(b);
    Frame()->resize(400, Frame()->height());
    Settle();
    Frame()->OnDropFiles(QPoint(300, -3), {QString::fromStdString(a)});
    Settle();
    EXPECT_EQ(Frame()->windowTitle(), "a.yuv  /  b.yuv");
}

TEST_F(ShellTest, SeveralFilesOnTheRightPictureOpenInTurn) {
    std::vector<std::string> paths;
    for (const char* name : {"a.yuv", "b.yuv", "c.yuv", "d.yuv", "e.yuv"}) {
        paths.push_back(RawFile(name, 176, 144, 2, uint32_t(paths.size() + 1)));
    }
    ASSERT_TRUE(StartSized(176, 144));
    ASSERT_TRUE(Open(paths[0]));
    DualOpen(paths[1]);
    Frame()->resize(400, Frame()->height());
    Settle();
    Frame()->OnDropFiles(QPoint(300, 60),
                         {QString::fromStdString(paths[2]), QString::fromStdString(paths[3]),
                          QString::fromStdString(paths[4])});
    Settle();
    EXPECT_EQ(Frame()->windowTitle(), "a.yuv  /  e.yuv");
    EXPECT_EQ(Engine().rightFile->GetFileName(), "e.yuv");
    // Dropped on the left, the last one stays as the main sequence.
    Frame()->OnDropFiles(QPoint(20, 60),
                         {QString::fromStdString(paths[3]), QString::fromStdString(paths[2])});
    Settle();
    EXPECT_EQ(Frame()->windowTitle(), "c.yuv  /  e.yuv");
}

}  // namespace

namespace {

// ---- Resource tables -----------------------------------------------------------------------

TEST(CommandTable, IdsPromptsAndTips) {
    struct {
        unsigned id;
        unsigned value;
        const char* text;  // prompt, "\n" and tip as stored
    } const commands[] = {
        {res::ID_SEQ_PLAY, 32771, "Play the sequence\nPlay"},
        {res::ID_SEQ_STOP, 32773, "Stop the sequence\nStop"},
        {res::ID_SEQ_REWIND, 32775, "Rewind to beginning\nRewind"},
        {res::ID_SEQ_STEP_FORWARD, 32777, "Step forward\nStep fwd"},
        {res::ID_SEQ_STEP_BACKWARD, 32778, "Step backward\nStep bkwd"},
        {res::ID_SEQ_FRAME_RATE, 32781, "Desired Frame Rate (fps)\nFrame Rate"},
        {res::ID_SEQ_ZOOM, 32784, "Zoom\nZoom"},
        {res::ID_SIZE_QCIF, 32793, "QCIF"},
        {res::ID_SIZE_CIF, 32794, "CIF"},
        {res::ID_SIZE_256X224, 32795, "256x224"},
        {res::ID_SIZE_320X240, 32796, "320x240"},
        {res::ID_SEQ_LOOP, 32797, "Loop"},
        {res::ID_FILE_DUAL_OPEN, 32798, "Open another video file for dual viewing"},
        {res::ID_SIZE_352X240, 32799, "352x240"},
        {res::ID_VIEW_DUAL_SCROLL, 32800, "Dual scroll mode toggle\nDual scroll mode toggle"},
        {res::ID_SIZE_176X120, 32801, "176x120"},
        {res::ID_SIZE_720X480, 32802, "720x480"},
        {res::ID_VIEW_UV, 32803, "View chrominance\nView chrominance"},
        {res::ID_VIEW_Y, 32804, "View luminance\nView luminance"},
        {res::ID_VIEW_DELTA, 32805, "Delta mode: delta_scale*(left - right)"},
        {res::ID_SEQ_DELTA_SCALE, 32810, "Set delta scale factor\nSet delta scale factor"},
        {res::ID_FILE_NEW, 57600, "Create a new document\nNew"},
        {res::ID_FILE_OPEN, 57601, "Open a video file\nOpen"},
        {res::ID_FILE_MRU_FILE1, 57616, "Open this document"},
        {res::ID_FILE_MRU_FILE1 + 15, 57631, "Open this document"},
        {res::ID_APP_EXIT, 57665, "Quit the application; prompts to save documents\nExit"},
        {res::ID_VIEW_TOOLBAR, 59392, "Show or hide the toolbar\nToggle ToolBar"},
        {res::ID_VIEW_STATUS_BAR, 59393, "Show or hide the status bar\nToggle StatusBar"},
        {res::ID_INDICATOR_FRAME_COUNTER, 101, "9999"},
        {res::ID_INDICATOR_FRAME_LABEL, 102, "Frame"},
        {res::AFX_IDS_APP_TITLE, 57344, "pixloom"},
        {res::AFX_IDS_IDLEMESSAGE, 57345, "Ready"},
        {61184, 61184, "Change the window size"},
        {61203, 61203, "Activate Task List"},
    };
    for (const auto& c : commands) {
        EXPECT_EQ(c.id, c.value);
        EXPECT_EQ(res::LoadString(c.id), c.text) << c.value;
    }
    EXPECT_EQ(res::Tip(res::ID_APP_ABOUT), "About");
    EXPECT_EQ(res::Prompt(res::ID_APP_ABOUT).find('\n'), std::string::npos);
    EXPECT_EQ(res::LoadString(res::IDR_MAINFRAME),
              "pixloom\n\nPixloo\n\n\nPixloom.Document\nPixloo Document");
}

TEST(CommandTable, FifteenAcceleratorsInOrder) {
    const std::vector<std::pair<std::string, unsigned>> expected = {
        {"Ctrl+C", res::ID_EDIT_COPY},       {"Ctrl+N", res::ID_FILE_NEW},
        {"Ctrl+O", res::ID_FILE_OPEN},       {"Ctrl+S", res::ID_FILE_SAVE},
        {"Ctrl+V", res::ID_EDIT_PASTE},      {"Alt+Backspace", res::ID_EDIT_UNDO},
        {"Shift+Del", res::ID_EDIT_CUT},     {"F6", res::ID_NEXT_PANE},
        {"Shift+F6", res::ID_PREV_PANE},     {"Ctrl+Ins", res::ID_EDIT_COPY},
        {"Shift+Ins", res::ID_EDIT_PASTE},   {"Left", res::ID_SEQ_STEP_BACKWARD},
        {"Right", res::ID_SEQ_STEP_FORWARD}, {"Ctrl+X", res::ID_EDIT_CUT},
        {"Ctrl+Z", res::ID_EDIT_UNDO}};
    ASSERT_EQ(res::kAcceleratorCount, 15);
    for (int i = 0; i < res::kAcceleratorCount; ++i) {
        EXPECT_EQ(QKeySequence(QString::fromLatin1(res::kAccelerators[i].keys)),
                  QKeySequence(QString::fromStdString(expected[size_t(i)].first)))
            << i;
        EXPECT_EQ(res::kAccelerators[i].id, expected[size_t(i)].second) << i;
    }
    EXPECT_EQ(res::ID_EDIT_COPY, 57634u);
    EXPECT_EQ(res::ID_FILE_SAVE, 57603u);
    EXPECT_EQ(res::ID_EDIT_PASTE, 57637u);
    EXPECT_EQ(res::ID_EDIT_UNDO, 57643u);
    EXPECT_EQ(res::ID_EDIT_CUT, 57635u);
    EXPECT_EQ(res::ID_NEXT_PANE, 57680u);
    EXPECT_EQ(res::ID_PREV_PANE, 57681u);
}

TEST(CommandTable, DialogTemplates) {
    const res::DialogTemplate& rate = res::Dialog(res::IDD_FRAME_RATE);
    EXPECT_STREQ(rate.caption, "Set frame rate");
    EXPECT_EQ(rate.width, 186);
    EXPECT_EQ(rate.height, 50);
    const res::DialogTemplate& delta = res::Dialog(res::IDD_DELTA_SCALE);
    EXPECT_STREQ(delta.caption, "Set delta mode scale factor");
    const res::DialogTemplate& about = res::Dialog(res::IDD_ABOUTBOX);
    EXPECT_STREQ(about.caption, "About pixloom");
    EXPECT_EQ(about.width, 233);
    EXPECT_EQ(about.height, 246);
    auto edit = [](const res::DialogTemplate& t) {
        for (int i = 0; i < t.controlCount; ++i) {
            if (t.controls[i].kind == res::DialogControl::kEdit) {
                return t.controls[i].id;
            }
        }
        return -1;
    };
    EXPECT_EQ(edit(rate), 1005);
    EXPECT_EQ(edit(delta), 1013);
}

}  // namespace
