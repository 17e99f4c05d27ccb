#include "app/document.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QMenuBar>
#include <QScrollBar>
#include <QStyle>

#include "tests/app/shell_fixture.h"

namespace {

using shell_testing::Settle;
using shell_testing::ShellTest;
using shell_testing::ShowsPicture;
using shell_testing::WaitUntil;

// ---- New-document step ---------------------------------------------------------------------

TEST_F(ShellTest, StartUpSizesTheWindowAroundThePlaceholder) {
    ASSERT_TRUE(Start());
    EXPECT_EQ(Engine().width, 176);
    EXPECT_EQ(Engine().height, 144);
    EXPECT_EQ(Engine().readyToPlay, 0);
    EXPECT_EQ(Frame()->frameCounter.load(), 1);
    // Outer size = z x picture + 2 x frame - view client - view window (+ 8 in height). The view
    // has no border and spans the window's width, and the window is not decorated yet when the
    // step runs: the width would be the picture's alone, so the view gets the picture plus 8.
    // The height gains twice the bars.
    const int bars = Frame()->height() - View()->height();
    EXPECT_EQ(Frame()->width(), 176 + 8);
    EXPECT_EQ(Frame()->height(), 144 + 2 * bars + 8);
    // The placeholder fits at (5, 5) without a scroll bar.
    EXPECT_EQ(Engine().hScrollShown + Engine().vScrollShown, 0);
    EXPECT_FALSE(View()->horizontalScrollBar()->isVisible());
}

TEST_F(ShellTest, FileNewSizesTheDecoratedWindowByTheSameRule) {
    ASSERT_TRUE(Start());
    Command(res::ID_SEQ_ZOOM);
    Frame()->resize(500, 500);
    Settle();
    const QSize decoration = Frame()->frameGeometry().size() - Frame()->size();
    const int bars = Frame()->height() - View()->height();
    ASSERT_EQ(Engine().hScrollShown + Engine().vScrollShown, 0);
    Command(res::ID_FILE_NEW);
    EXPECT_EQ(Frame()->width(), 2 * 176 + std::max(decoration.width(), 8));
    EXPECT_EQ(Frame()->height(), 2 * 144 + 2 * bars + decoration.height() + 8);
}

TEST_F(ShellTest, FileNewGivesBackTheFileAndKeepsCaptionAndModes) {
    const std::string a = RawFile("a.yuv", 32, 16, 3);
    const std::string b = RawFile("b.yuv", 32, 16, 3, 2);
    ASSERT_TRUE(StartSized(32, 16));
    ASSERT_TRUE(Open(a));
    DualOpen(b);
    Command(res::ID_SEQ_ZOOM);
    Command(res::ID_VIEW_Y);
    Command(res::ID_SEQ_LOOP);
    Command(res::ID_FILE_NEW);
    EXPECT_EQ(Engine().leftFile, nullptr);
    EXPECT_EQ(Engine().readyToPlay, 0);
    EXPECT_EQ(Engine().playing, 0);
    EXPECT_EQ(Frame()->frameCounter.load(), 1);
    // Dual display, zoom, loop, view modes and caption keep their values.
    EXPECT_EQ(Engine().dual, 1);
    EXPECT_NE(Engine().rightFile, nullptr);
    EXPECT_EQ(Engine().zoom, 1);
    EXPECT_EQ(Engine().showY, 0);
    EXPECT_EQ(Engine().loop.load(), 0);
    EXPECT_EQ(Frame()->windowTitle(), "a.yuv  /  b.yuv");
    EXPECT_FALSE(Action(res::ID_SEQ_PLAY)->isEnabled());
    EXPECT_FALSE(Action(res::ID_FILE_DUAL_OPEN)->isEnabled());
    // The same path opens again: the document no longer has it.
    ASSERT_TRUE(Open(a));
    EXPECT_NE(Engine().leftFile, nullptr);
    EXPECT_TRUE(messages.empty());
}

// ---- Opens ---------------------------------------------------------------------------------

TEST_F(ShellTest, OpenShowsFrameOneAndTheNameWithoutItsFolder) {
    const std::string path = RawFile("a.yuv", 176, 144, 3);
    ASSERT_TRUE(StartSized(176, 144));
    EXPECT_EQ(Frame()->windowTitle(), "pixloom");
    EXPECT_FALSE(Action(res::ID_SEQ_PLAY)->isEnabled());
    ASSERT_TRUE(Open(path));
    EXPECT_EQ(Frame()->titleText, "a.yuv");
    EXPECT_EQ(Frame()->windowTitle(), "a.yuv");
    EXPECT_EQ(Engine().readyToPlay, 1);
    EXPECT_EQ(Engine().playing, 0);
    EXPECT_EQ(Frame()->frameCounter.load(), 1);
    EXPECT_EQ(Engine().leftFile->GetPosition(), uint64_t(Engine().frameBytes));
    EXPECT_TRUE(Action(res::ID_SEQ_PLAY)->isEnabled());
    EXPECT_TRUE(Action(res::ID_FILE_DUAL_OPEN)->isEnabled());
    EXPECT_EQ(Doc()->PathName().toStdString(), path);
    EXPECT_EQ(app->RecentFiles().size(), 1);
}

TEST_F(ShellTest, OpenOfAnUnreadablePathChangesNothing) {
    const std::string a = RawFile("a.yuv", 32, 16, 5);
    ASSERT_TRUE(StartSized(32, 16));
    ASSERT_TRUE(Open(a));
    Command(res::ID_SEQ_STEP_FORWARD);
    ASSERT_EQ(Frame()->frameCounter.load(), 2);
    const platform::CFile* before = Engine().leftFile;

    for (const std::string& bad : {dir.File("missing.yuv"), dir.path().string(), std::string()}) {
        messages.clear();
        EXPECT_FALSE(app->OpenDocumentFile(QString::fromStdString(bad)));
        EXPECT_EQ(messages.size(), 1u) << bad;
        EXPECT_EQ(Engine().leftFile, before);
        EXPECT_EQ(Frame()->frameCounter.load(), 2);
        EXPECT_EQ(Frame()->windowTitle(), "a.yuv");
        EXPECT_EQ(Engine().readyToPlay, 1);
    }
    // The earlier file still steps and plays.
    Command(res::ID_SEQ_STEP_FORWARD);
    EXPECT_EQ(Frame()->frameCounter.load(), 3);
    Engine().loop = 0;
    Command(res::ID_SEQ_PLAY);
    ASSERT_TRUE(WaitUntil([&] { return Engine().readyToPlay == 1; }));
    EXPECT_EQ(Frame()->frameCounter.load(), 5);
}

TEST_F(ShellTest, OpeningTheSamePathAgainDoesNotRewind) {
    const std::string a = RawFile("a.yuv", 32, 16, 5);
    ASSERT_TRUE(StartSized(32, 16));
    ASSERT_TRUE(Open(a));
    Command(res::ID_SEQ_STEP_FORWARD);
    Command(res::ID_SEQ_STEP_FORWARD);
    const uint64_t position = Engine().leftFile->GetPosition();
    const platform::CFile* file = Engine().leftFile;
    ASSERT_TRUE(Open(a));
    EXPECT_EQ(Engine().leftFile, file);
    EXPECT_EQ(Engine().leftFile->GetPosition(), position);
    EXPECT_EQ(Frame()->frameCounter.load(), 3);
    // A drop of the same file is the same open.
    Frame()->OnDropFiles(QPoint(10, 10), {QString::fromStdString(a)});
    Settle();
    EXPECT_EQ(Frame()->frameCounter.load(), 3);
}

TEST_F(ShellTest, NewLeftFileRestartsTheRightOne) {
    const std::string a = RawFile("a.yuv", 32, 16, 4, 1);
    const std::string b = RawFile("b.yuv", 32, 16, 4, 2);
    const std::string c = RawFile("c.yuv", 32, 16, 4, 3);
    ASSERT_TRUE(StartSized(32, 16));
    ASSERT_TRUE(Open(a));
    DualOpen(b);
    Command(res::ID_SEQ_STEP_FORWARD);
    Command(res::ID_SEQ_STEP_FORWARD);
    ASSERT_EQ(Engine().rightFile->GetPosition(), uint64_t(3 * Engine().frameBytes));
    ASSERT_TRUE(Open(c));
    EXPECT_EQ(Frame()->windowTitle(), "c.yuv  /  b.yuv");
    EXPECT_EQ(Frame()->frameCounter.load(), 1);
    EXPECT_EQ(Engine().leftFile->GetPosition(), uint64_t(Engine().frameBytes));
    EXPECT_EQ(Engine().rightFile->GetPosition(), uint64_t(Engine().frameBytes));
    EXPECT_EQ(Engine().dual, 1);
    EXPECT_EQ(Engine().bitmapInfo.biWidth, 64);
}

// The fit leaves room for the picture only: bars of the former layout must not stay.
TEST_F(ShellTest, OpenFitsTheWindowWithoutTheFormerBars) {
    ASSERT_TRUE(StartSized(176, 144));
    ASSERT_TRUE(Open(RawFile("a.yuv", 176, 144, 2)));
    const int bar = View()->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, View());
    SetViewArea(186 + bar, 120);
    ASSERT_EQ(Engine().vScrollShown, 1);
    ASSERT_EQ(Engine().hScrollShown, 0);
    ASSERT_TRUE(Open(RawFile("b.yuv", 176, 144, 2, 2)));
    EXPECT_EQ(Engine().hScrollShown + Engine().vScrollShown, 0);
    EXPECT_EQ(View()->viewport()->size(), QSize(186, 154));
    EXPECT_TRUE(ShowsPicture(Shown(), Engine(), 1, 0, 0, 176, 144, 5, 5));
}

// The file passes the check, then goes while playback is being ended: back to the empty
// viewer with a message, and nothing is read from a file that is not there.
TEST_F(ShellTest, FileGoneBetweenTheCheckAndTheOpen) {
    const std::string a = RawFile("a.yuv", 176, 144, 4, 1);
    const std::string b = RawFile("b.yuv", 176, 144, 4, 2);
    ASSERT_TRUE(StartSized(176, 144));
    ASSERT_TRUE(Open(a));
    const int bar = View()->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, View());
    SetViewArea(186 + bar, 120);
    ASSERT_EQ(Engine().vScrollShown, 1);
    ASSERT_EQ(Engine().hScrollShown, 0);
    Frame()->frameRate = 1.0;
    Command(res::ID_SEQ_PLAY);
    ASSERT_EQ(Engine().playing, 1);
    QTimer::singleShot(0, [&] { std::filesystem::remove(b); });
    EXPECT_FALSE(app->OpenDocumentFile(QString::fromStdString(b)));
    Frame()->UpdateCommandUI();
    Settle();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("b.yuv"), std::string::npos);
    EXPECT_EQ(Engine().playing, 0);
    EXPECT_EQ(Engine().readyToPlay, 0);
    EXPECT_EQ(Engine().leftFile, nullptr);
    EXPECT_EQ(Frame()->windowTitle(), "pixloom");
    EXPECT_EQ(Frame()->frameCounter.load(), 1);
    EXPECT_FALSE(Action(res::ID_SEQ_PLAY)->isEnabled());
    EXPECT_FALSE(Action(res::ID_FILE_DUAL_OPEN)->isEnabled());
    // The window is fitted to the placeholder, without the former bars.
    EXPECT_EQ(Engine().hScrollShown + Engine().vScrollShown, 0);
    EXPECT_EQ(View()->viewport()->size(), QSize(186, 154));
    // The viewer goes on.
    ASSERT_TRUE(Open(a));
    EXPECT_EQ(Engine().readyToPlay, 1);
}

// ---- Dual open -----------------------------------------------------------------------------

struct DualCase {
    const char* name;
    bool leftOpen;
    bool rightReadable;
    bool dualBefore;
    // Afterwards:
    int dual;
    bool rightOpen;
    const char* caption;
    size_t messages;
    int pictureWidth;
};

void PrintTo(const DualCase& c, std::ostream* os) {
    *os << c.name;
}

class DualOpenTable : public ShellTest, public ::testing::WithParamInterface<DualCase> {};

TEST_P(DualOpenTable, StatesAndMessages) {
    const DualCase& c = GetParam();
    const std::string a = RawFile("a.yuv", 32, 16, 4, 1);
    const std::string b = RawFile("b.yuv", 32, 16, 4, 2);
    const std::string d = RawFile("d.yuv", 32, 16, 4, 3);
    ASSERT_TRUE(StartSized(32, 16));
    if (c.leftOpen) {
        ASSERT_TRUE(Open(a));
    }
    if (c.dualBefore) {
        DualOpen(b);
        ASSERT_EQ(Engine().dual, 1);
    }
    Command(res::ID_SEQ_STEP_FORWARD);
    DualOpen(c.rightReadable ? d : dir.File("nothing-here.yuv"));
    EXPECT_EQ(Engine().dual, c.dual);
    EXPECT_EQ(Engine().rightFile != nullptr, c.rightOpen);
    EXPECT_EQ(Frame()->windowTitle().toStdString(), c.caption);
    ASSERT_EQ(messages.size(), c.messages);
    if (c.messages > 0) {
        EXPECT_EQ(messages[0], "Error opening dual file for loading.");
    }
    EXPECT_EQ(Engine().bitmapInfo.biWidth, c.pictureWidth);
    if (c.leftOpen) {
        // Every dual open that reached the file shows frame 1 again and is still playable.
        EXPECT_EQ(Engine().readyToPlay, 1);
        Command(res::ID_SEQ_STEP_FORWARD);
        EXPECT_GE(Frame()->frameCounter.load(), 2);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DualOpenTable,
    ::testing::Values(
        DualCase{"WithoutLeftFileNothingHappens", false, true, false, 0, false, "pixloom", 0, 32},
        DualCase{"Opens", true, true, false, 1, true, "a.yuv  /  d.yuv", 0, 64},
        DualCase{"ReplacesTheRightFile", true, true, true, 1, true, "a.yuv  /  d.yuv", 0, 64},
        DualCase{"FailsWithoutDual", true, false, false, 0, false, "a.yuv", 1, 32},
        // The earlier right file is closed first; the single picture comes back at once.
        DualCase{"FailsAfterDual", true, false, true, 0, false, "a.yuv", 1, 32}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ShellTest, FailedDualOpenKeepsTheFrameOnScreen) {
    const std::string a = RawFile("a.yuv", 32, 16, 6, 1);
    const std::string b = RawFile("b.yuv", 32, 16, 6, 2);
    ASSERT_TRUE(StartSized(32, 16));
    ASSERT_TRUE(Open(a));
    DualOpen(b);
    Command(res::ID_SEQ_STEP_FORWARD);
    Command(res::ID_SEQ_STEP_FORWARD);
    ASSERT_EQ(Frame()->frameCounter.load(), 3);
    DualOpen(dir.File("nothing-here.yuv"));
    EXPECT_EQ(Engine().dual, 0);
    EXPECT_EQ(Engine().bitmapInfo.biWidth, 32);
    EXPECT_EQ(Frame()->frameCounter.load(), 3);
    const std::vector<uint8_t> shown = shell_testing::PictureBytes(Engine());

    // The same frame opened alone gives the same picture, and the next step goes on from it.
    engine::CSequenceDisplay single;
    single.defaultWidth = 32;
    single.defaultHeight = 16;
    platform::CFile file;
    ASSERT_TRUE(file.Open(a));
    single.leftFile = &file;
    ASSERT_TRUE(single.SetupGeometry());
    file.Seek(2 * int64_t(single.frameBytes), platform::CFile::begin);
    single.ReadLeftFrame();
    single.ConvertFrame();
    EXPECT_EQ(shown, shell_testing::PictureBytes(single));
    Command(res::ID_SEQ_STEP_FORWARD);
    EXPECT_EQ(Frame()->frameCounter.load(), 4);
}

TEST_F(ShellTest, DualOpenCommandAsksForTheFile) {
    const std::string a = RawFile("a.yuv", 32, 16, 2, 1);
    const std::string b = RawFile("b.yuv", 32, 16, 2, 2);
    const std::string d = RawFile("d.yuv", 32, 16, 2, 3);
    ASSERT_TRUE(StartSized(32, 16));
    ASSERT_TRUE(Open(a));
    DualOpen(b);
    const platform::CFile* right = Engine().rightFile;
    // Cancel: nothing changes.
    WhenDialogOpens([](QDialog* dialog) { dialog->reject(); });
    Command(res::ID_FILE_DUAL_OPEN);
    EXPECT_EQ(Engine().rightFile, right);
    EXPECT_EQ(Engine().dual, 1);
    EXPECT_EQ(Frame()->windowTitle(), "a.yuv  /  b.yuv");
    // A chosen file replaces the right sequence.
    WhenDialogOpens([&](QDialog* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        ASSERT_NE(files, nullptr);
        files->selectFile(QString::fromStdString(d));
        static_cast<QDialog*>(files)->accept();
    });
    Command(res::ID_FILE_DUAL_OPEN);
    EXPECT_EQ(Frame()->windowTitle(), "a.yuv  /  d.yuv");
    EXPECT_EQ(Engine().dual, 1);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ShellTest, FileOpenCommandAsksForTheFile) {
    const std::string a = RawFile("a.yuv", 32, 16, 2, 1);
    ASSERT_TRUE(StartSized(32, 16));
    WhenDialogOpens([&](QDialog* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        ASSERT_NE(files, nullptr);
        files->selectFile(QString::fromStdString(a));
        static_cast<QDialog*>(files)->accept();
    });
    Command(res::ID_FILE_OPEN);
    EXPECT_EQ(Frame()->windowTitle(), "a.yuv");
    EXPECT_EQ(app->RecentFiles().size(), 1);
    EXPECT_TRUE(Action(res::ID_SEQ_PLAY)->isEnabled());
}

TEST_F(ShellTest, DualOpenStoresTheSizeAndShowsFrameOneOfBoth) {
    const std::string a = RawFile("a.yuv", 96, 80, 4, 1);
    const std::string b = RawFile("b.yuv", 96, 80, 4, 2);
    ASSERT_TRUE(StartSized(96, 80));
    ASSERT_TRUE(Open(a));
    Command(res::ID_SEQ_STEP_FORWARD);
    ASSERT_EQ(ReadSetting("width").toInt(), 0);
    DualOpen(b);
    EXPECT_EQ(Frame()->frameCounter.load(), 1);
    EXPECT_EQ(Engine().leftFile->GetPosition(), uint64_t(Engine().frameBytes));
    EXPECT_EQ(Engine().rightFile->GetPosition(), uint64_t(Engine().frameBytes));
    EXPECT_EQ(ReadSetting("width").toInt(), 96);
    EXPECT_EQ(ReadSetting("height").toInt(), 80);
    // The window is fitted around the double-width picture.
    EXPECT_EQ(View()->viewport()->width(), 2 * 96 + 10);
    EXPECT_EQ(View()->viewport()->height(), 80 + 10);
}

// ---- Playback and the lifecycle ------------------------------------------------------------

TEST_F(ShellTest, FileNewWhilePlayingEndsPlaybackFirst) {
    const std::string a = RawFile("a.yuv", 64, 48, 6);
    ASSERT_TRUE(StartSized(64, 48));
    ASSERT_TRUE(Open(a));
    Frame()->frameRate = 200.0;
    Command(res::ID_SEQ_PLAY);
    ASSERT_EQ(Engine().playing, 1);
    EXPECT_TRUE(Action(res::ID_SEQ_STOP)->isEnabled());
    ASSERT_TRUE(WaitUntil([&] { return Frame()->frameCounter.load() >= 3; }));
    Command(res::ID_FILE_NEW);
    EXPECT_EQ(Engine().playing, 0);
    EXPECT_EQ(Engine().readyToPlay, 0);
    EXPECT_FALSE(Engine().playbackThread.joinable());
    EXPECT_EQ(Engine().leftFile, nullptr);
    EXPECT_EQ(Frame()->frameCounter.load(), 1);
    EXPECT_FALSE(Action(res::ID_SEQ_PLAY)->isEnabled());
}

TEST_F(ShellTest, OpenAndPresetWhilePlayingEndPlaybackFirst) {
    const std::string a = RawFile("a.yuv", 64, 48, 6, 1);
    const std::string b = RawFile("b.yuv", 64, 48, 6, 2);
    ASSERT_TRUE(StartSized(64, 48));
    ASSERT_TRUE(Open(a));
    Frame()->frameRate = 200.0;
    for (int round = 0; round < 2; ++round) {
        Command(res::ID_SEQ_PLAY);
        ASSERT_TRUE(WaitUntil([&] { return Frame()->frameCounter.load() >= 3; }));
        if (round == 0) {
            ASSERT_TRUE(Open(b));
            EXPECT_EQ(Frame()->windowTitle(), "b.yuv");
        } else {
            Command(res::ID_SIZE_176X120);
            EXPECT_EQ(Engine().height, 120);
        }
        EXPECT_EQ(Engine().playing, 0);
        EXPECT_EQ(Engine().readyToPlay, 1);
        EXPECT_EQ(Frame()->frameCounter.load(), 1);
        EXPECT_TRUE(Action(res::ID_SEQ_PLAY)->isEnabled());
    }
}

TEST_F(ShellTest, ClosingWhilePlayingEndsCleanly) {
    const std::string a = RawFile("a.yuv", 64, 48, 6, 1);
    const std::string b = RawFile("b.yuv", 64, 48, 6, 2);
    ASSERT_TRUE(StartSized(64, 48));
    ASSERT_TRUE(Open(a));
    DualOpen(b);
    Frame()->frameRate = 200.0;
    Command(res::ID_SEQ_PLAY);
    ASSERT_TRUE(WaitUntil([&] { return Frame()->frameCounter.load() >= 3; }));
    EXPECT_TRUE(Frame()->close());
    EXPECT_EQ(app->Document(), nullptr);
    EXPECT_FALSE(Frame()->isVisible());
    app.reset();
}

TEST_F(ShellTest, ExitCommandWhilePlayingEndsCleanly) {
    const std::string a = RawFile("a.yuv", 64, 48, 6);
    ASSERT_TRUE(StartSized(64, 48));
    ASSERT_TRUE(Open(a));
    Frame()->frameRate = 200.0;
    Command(res::ID_SEQ_PLAY);
    ASSERT_TRUE(WaitUntil([&] { return Frame()->frameCounter.load() >= 2; }));
    Command(res::ID_APP_EXIT);
    EXPECT_EQ(app->Document(), nullptr);
    EXPECT_FALSE(Frame()->isVisible());
}

// A close that arrives while a command waits for the playback thread is carried out after that
// command, not inside it.
TEST_F(ShellTest, CloseDuringTheWaitForPlaybackIsDeferred) {
    const std::string a = RawFile("a.yuv", 64, 48, 6);
    ASSERT_TRUE(StartSized(64, 48));
    ASSERT_TRUE(Open(a));
    Frame()->frameRate = 1.0;
    Command(res::ID_SEQ_PLAY);
    ASSERT_EQ(Engine().playing, 1);
    QCoreApplication::postEvent(Frame(), new QCloseEvent);
    Frame()->OnCommand(res::ID_SIZE_QCIF);
    Settle();
    EXPECT_EQ(app->Document(), nullptr);
    EXPECT_FALSE(Frame()->isVisible());
}

// A command given while another waits for the playback thread is not run inside it.
TEST_F(ShellTest, CommandsDuringTheWaitForPlaybackAreNotRun) {
    ASSERT_TRUE(StartSized(64, 48));
    ASSERT_TRUE(Open(RawFile("a.yuv", 64, 48, 6)));
    Frame()->frameRate = 1.0;
    Command(res::ID_SEQ_PLAY);
    ASSERT_EQ(Engine().playing, 1);
    bool ran = false;
    QTimer::singleShot(0, [&] {
        ran = true;
        Frame()->OnCommand(res::ID_SIZE_CIF);
    });
    Frame()->OnCommand(res::ID_SIZE_176X120);
    Settle();
    EXPECT_TRUE(ran);
    EXPECT_EQ(Engine().defaultWidth, 176);
    EXPECT_EQ(Engine().defaultHeight, 120);
    EXPECT_EQ(Engine().playing, 0);
}

TEST_F(ShellTest, PlayAtTheEndWithoutLoopDrawsNothingNew) {
    const std::string a = RawFile("a.yuv", 32, 16, 3);
    ASSERT_TRUE(StartSized(32, 16));
    ASSERT_TRUE(Open(a));
    Engine().loop = 0;
    Frame()->frameRate = 500.0;
    Command(res::ID_SEQ_PLAY);
    ASSERT_TRUE(WaitUntil([&] { return Engine().readyToPlay == 1; }));
    EXPECT_EQ(Frame()->frameCounter.load(), 3);
    EXPECT_EQ(Frame()->CounterText(), "0003");
    Command(res::ID_SEQ_PLAY);
    ASSERT_TRUE(WaitUntil([&] { return Engine().readyToPlay == 1; }));
    EXPECT_EQ(Frame()->frameCounter.load(), 3);
    Command(res::ID_SEQ_STEP_BACKWARD);
    EXPECT_EQ(Frame()->frameCounter.load(), 2);
}

}  // namespace
