#include "app/application.h"

#include <QFileInfo>
#include <QLabel>

#include "tests/app/shell_fixture.h"

namespace {

using shell_testing::ShellTest;

// ---- Settings read at start-up -------------------------------------------------------------

struct TextSettingCase {
    const char* name;
    const char* stored;  // nullptr: no entry
    double frameRate;
    double deltaScale;
};

void PrintTo(const TextSettingCase& c, std::ostream* os) {
    *os << c.name;
}

class TextSettings : public ShellTest, public ::testing::WithParamInterface<TextSettingCase> {};

TEST_P(TextSettings, FrameRateAndDeltaScaleFromTheStore) {
    const TextSettingCase& c = GetParam();
    if (c.stored != nullptr) {
        WriteSetting("framerate", QString(c.stored));
        WriteSetting("deltascale", QString(c.stored));
    }
    ASSERT_TRUE(Start());
    EXPECT_DOUBLE_EQ(Frame()->frameRate.load(), c.frameRate);
    EXPECT_DOUBLE_EQ(Frame()->deltaScale.load(), c.deltaScale);
}

INSTANTIATE_TEST_SUITE_P(Values, TextSettings,
                         ::testing::Values(TextSettingCase{"Missing", nullptr, 10.0, 1.0},
                                           TextSettingCase{"Empty", "", 10.0, 1.0},
                                           TextSettingCase{"Garbage", "garbage", 10.0, 0.0},
                                           TextSettingCase{"Zero", "0", 10.0, 0.0},
                                           TextSettingCase{"JustBelowLimit", "499.9", 499.9, 499.9},
                                           TextSettingCase{"Limit", "500", 10.0, 500.0},
                                           TextSettingCase{"Above", "750", 10.0, 750.0},
                                           TextSettingCase{"Negative", "-5", 10.0, -5.0},
                                           TextSettingCase{"TrailingText", "25fps", 25.0, 25.0},
                                           TextSettingCase{"LfText", "25.000000", 25.0, 25.0},
                                           TextSettingCase{"LeadingBlanks", "  2.5", 2.5, 2.5}),
                         [](const auto& info) { return std::string(info.param.name); });

struct SizeSettingCase {
    const char* name;
    const char* width;  // nullptr: no entry
    const char* height;
    int expectedWidth, expectedHeight;
};

void PrintTo(const SizeSettingCase& c, std::ostream* os) {
    *os << c.name;
}

class SizeSettings : public ShellTest, public ::testing::WithParamInterface<SizeSettingCase> {};

TEST_P(SizeSettings, DefaultSizeFromTheStore) {
    const SizeSettingCase& c = GetParam();
    if (c.width != nullptr) {
        WriteSetting("width", QString(c.width));
    }
    if (c.height != nullptr) {
        WriteSetting("height", QString(c.height));
    }
    ASSERT_TRUE(Start());
    EXPECT_EQ(Engine().defaultWidth, c.expectedWidth);
    EXPECT_EQ(Engine().defaultHeight, c.expectedHeight);
    EXPECT_EQ(Engine().width, c.expectedWidth);
    EXPECT_EQ(Engine().height, c.expectedHeight);
    EXPECT_EQ(Engine().bitmapInfo.biWidth, c.expectedWidth);
    EXPECT_EQ(Engine().bitmapInfo.biHeight, c.expectedHeight);
    EXPECT_TRUE(messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Values, SizeSettings,
                         ::testing::Values(SizeSettingCase{"Missing", nullptr, nullptr, 176, 144},
                                           SizeSettingCase{"Stored", "352", "288", 352, 288},
                                           SizeSettingCase{"OnlyWidth", "320", nullptr, 320, 144},
                                           SizeSettingCase{"Empty", "", "288", 176, 144},
                                           SizeSettingCase{"Garbage", "352", "tall", 176, 144},
                                           SizeSettingCase{"ZeroWidth", "0", "288", 176, 144},
                                           SizeSettingCase{"NegativeHeight", "352", "-288", 176,
                                                           144},
                                           SizeSettingCase{"Fraction", "499.9", "500", 499, 500},
                                           SizeSettingCase{"TrailingText", "25fps", "16", 25, 16}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ShellTest, SettingsLiveInTheirOwnStoreAndSection) {
    ASSERT_TRUE(Start());
    Command(res::ID_SIZE_CIF);
    auto s = Store();
    EXPECT_EQ(s->value("pixloom application/width").toInt(), 352);
    EXPECT_EQ(s->value("pixloom application/height").toInt(), 288);
    EXPECT_FALSE(s->contains("width"));
    // The store is the per-user file of organization "pixloom application", application
    // "pixloom", inside the test's folder.
    EXPECT_TRUE(s->fileName().startsWith(QString::fromStdString(dir.File("settings"))))
        << s->fileName().toStdString();
    EXPECT_TRUE(s->fileName().contains("pixloom application"));
}

// ---- Command line through the start-up -----------------------------------------------------

TEST_F(ShellTest, NoWordsTakeSizeAndRateFromTheSettings) {
    WriteSetting("width", 320);
    WriteSetting("height", 240);
    WriteSetting("framerate", "12.5");
    ASSERT_TRUE(Start({}));
    EXPECT_EQ(Engine().width, 320);
    EXPECT_EQ(Engine().height, 240);
    EXPECT_DOUBLE_EQ(Frame()->frameRate.load(), 12.5);
    EXPECT_EQ(Engine().leftFile, nullptr);
    EXPECT_EQ(Engine().readyToPlay, 0);
    EXPECT_EQ(Frame()->frameCounter.load(), 1);
    EXPECT_EQ(Frame()->windowTitle(), "pixloom");
    EXPECT_TRUE(Frame()->isVisible());
    EXPECT_TRUE(messages.empty());
}

TEST_F(ShellTest, LoneWordIsAFileAndSizeComesFromTheSettings) {
    WriteSetting("width", 32);
    WriteSetting("height", 16);
    const std::string path = RawFile("lone.yuv", 32, 16, 3);
    ASSERT_TRUE(Start({path}));
    ASSERT_NE(Engine().leftFile, nullptr);
    EXPECT_EQ(Engine().width, 32);
    EXPECT_EQ(Engine().height, 16);
    EXPECT_EQ(Engine().readyToPlay, 1);
    EXPECT_EQ(Frame()->windowTitle(), "lone.yuv");
    // A command-line file is not a recent file.
    EXPECT_TRUE(app->RecentFiles().isEmpty());
}

TEST_F(ShellTest, LoneNumberIsAFileName) {
    ASSERT_TRUE(Start({"352"}));
    EXPECT_EQ(Engine().width, 176);
    EXPECT_EQ(Engine().height, 144);
    EXPECT_EQ(Engine().leftFile, nullptr);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("352"), std::string::npos) << messages[0];
}

TEST_F(ShellTest, TwoNumbersSetTheSizeOnly) {
    WriteSetting("width", 320);
    WriteSetting("height", 240);
    WriteSetting("framerate", "12.5");
    ASSERT_TRUE(Start({"352", "288"}));
    EXPECT_EQ(Engine().width, 352);
    EXPECT_EQ(Engine().height, 288);
    EXPECT_DOUBLE_EQ(Frame()->frameRate.load(), 12.5);
    EXPECT_EQ(Engine().leftFile, nullptr);
    // Nothing is written back at start-up.
    EXPECT_EQ(ReadSetting("width").toInt(), 320);
}

TEST_F(ShellTest, ThreeWordsSetTheRateAndZeroIsKept) {
    ASSERT_TRUE(Start({"352", "288", "25"}));
    EXPECT_DOUBLE_EQ(Frame()->frameRate.load(), 25.0);
    app.reset();
    ASSERT_TRUE(Start({"64", "48", "0"}));
    EXPECT_DOUBLE_EQ(Frame()->frameRate.load(), 0.0);
    EXPECT_EQ(Engine().width, 64);
}

TEST_F(ShellTest, WidthZeroGivesTheDefaultSize) {
    ASSERT_TRUE(Start({"0", "144"}));
    EXPECT_EQ(Engine().width, 176);
    EXPECT_EQ(Engine().height, 144);
}

TEST_F(ShellTest, SizeBeyondTheLimitsIsRefusedWithAMessage) {
    ASSERT_TRUE(Start({"20000", "100"}));
    EXPECT_EQ(Engine().width, 176);
    EXPECT_EQ(Engine().height, 144);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], engine::FrameSizeMessage(20000, 100));
}

TEST_F(ShellTest, FourWordsOpenTheFileAtTheGivenSize) {
    const std::string path = RawFile("four.yuv", 48, 32, 4);
    ASSERT_TRUE(Start({"48", "32", "30", path}));
    ASSERT_NE(Engine().leftFile, nullptr);
    EXPECT_EQ(Engine().width, 48);
    EXPECT_EQ(Engine().height, 32);
    EXPECT_DOUBLE_EQ(Frame()->frameRate.load(), 30.0);
    EXPECT_EQ(Engine().dual, 0);
    EXPECT_EQ(Frame()->windowTitle(), "four.yuv");
}

TEST_F(ShellTest, FiveAndSixWordsOpenBothFiles) {
    const std::string left = RawFile("left.yuv", 48, 32, 4, 1);
    const std::string right = RawFile("right.yuv", 48, 32, 4, 2);
    for (const auto& words : std::vector<std::vector<std::string>>{
             {"48", "32", "25", left, right}, {"48", "32", "25", left, right, "extra"}}) {
        ASSERT_TRUE(Start(words));
        ASSERT_NE(Engine().leftFile, nullptr);
        ASSERT_NE(Engine().rightFile, nullptr);
        EXPECT_EQ(Engine().dual, 1);
        EXPECT_EQ(Engine().bitmapInfo.biWidth, 96);
        EXPECT_EQ(Frame()->windowTitle(), "left.yuv  /  right.yuv");
        EXPECT_DOUBLE_EQ(Frame()->frameRate.load(), 25.0);
        EXPECT_TRUE(messages.empty());
        app.reset();
    }
}

TEST_F(ShellTest, MissingFirstFileLeavesTheSecondUnopened) {
    const std::string right = RawFile("right.yuv", 48, 32, 4);
    ASSERT_TRUE(Start({"48", "32", "25", dir.File("missing.yuv"), right}));
    EXPECT_EQ(Engine().leftFile, nullptr);
    EXPECT_EQ(Engine().rightFile, nullptr);
    EXPECT_EQ(Engine().dual, 0);
    EXPECT_EQ(Engine().readyToPlay, 0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("missing.yuv"), std::string::npos);
    EXPECT_EQ(Frame()->windowTitle(), "pixloom");
}

TEST_F(ShellTest, FileNewAppliesTheCommandLineAgain) {
    const std::string path = RawFile("again.yuv", 48, 32, 4);
    ASSERT_TRUE(Start({"48", "32", "20", path}));
    Command(res::ID_SEQ_STEP_FORWARD);
    ASSERT_EQ(Frame()->frameCounter.load(), 2);
    Command(res::ID_SIZE_CIF);
    ASSERT_EQ(Engine().width, 352);
    Frame()->frameRate = 7.0;
    Command(res::ID_FILE_NEW);
    EXPECT_EQ(Engine().width, 48);
    EXPECT_EQ(Engine().height, 32);
    EXPECT_DOUBLE_EQ(Frame()->frameRate.load(), 20.0);
    ASSERT_NE(Engine().leftFile, nullptr);
    EXPECT_EQ(Engine().readyToPlay, 1);
    EXPECT_EQ(Frame()->frameCounter.load(), 1);
}

TEST_F(ShellTest, AboutBoxShowsTheUsage) {
    ASSERT_TRUE(StartSized(32, 16));
    QString caption, text;
    WhenDialogOpens([&](QDialog* dialog) {
        caption = dialog->windowTitle();
        for (QLabel* label : dialog->findChildren<QLabel*>()) {
            text += label->text() + "\n";
        }
        Click(dialog, res::IDOK);
    });
    Command(res::ID_APP_ABOUT);
    EXPECT_EQ(caption, "About pixloom");
    EXPECT_TRUE(text.contains("pixloom Version 2.3"));
    EXPECT_TRUE(text.contains("  pixloom <width> <height> <framerate> <file1> [<file2>]"));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(ShellTest, DialogLabelsShowTheirWholeText) {
    ASSERT_TRUE(StartSized(32, 16));
    // Each label's lines fit its width (so none wraps) and its height.
    for (const int command : {res::ID_APP_ABOUT, res::ID_SEQ_FRAME_RATE, res::ID_SEQ_DELTA_SCALE}) {
        int labels = 0;
        WhenDialogOpens([&](QDialog* dialog) {
            for (QLabel* label : dialog->findChildren<QLabel*>()) {
                const QStringList lines = label->text().split('\n');
                for (const QString& line : lines) {
                    EXPECT_LE(label->fontMetrics().horizontalAdvance(line), label->width())
                        << line.toStdString();
                }
                EXPECT_LE(int(lines.size()) * label->fontMetrics().height(), label->height())
                    << label->text().toStdString();
                EXPECT_LE(label->geometry().right(), dialog->width());
                ++labels;
            }
            dialog->reject();
        });
        Command(command);
        EXPECT_GT(labels, 0);
    }
}

// ---- Recent-file list ----------------------------------------------------------------------

TEST_F(ShellTest, RecentFilesKeepTenNewestFirstAcrossRuns) {
    ASSERT_TRUE(Start());
    std::vector<std::string> paths;
    for (int i = 0; i < 12; ++i) {
        std::string name = "r";
        name += std::to_string(i);
        name += ".yuv";
        paths.push_back(RawFile(name, 16, 16, 1, uint32_t(i + 1)));
        ASSERT_TRUE(Open(paths.back()));
    }
    ASSERT_EQ(app->RecentFiles().size(), 10);
    EXPECT_EQ(app->RecentFiles().front().toStdString(), paths[11]);
    EXPECT_EQ(app->RecentFiles().back().toStdString(), paths[2]);
    // Opening one again moves it to the top without a duplicate.
    ASSERT_TRUE(Open(paths[5]));
    EXPECT_EQ(app->RecentFiles().size(), 10);
    EXPECT_EQ(app->RecentFiles().front().toStdString(), paths[5]);
    EXPECT_EQ(app->RecentFiles().count(QString::fromStdString(paths[5])), 1);

    const QStringList before = app->RecentFiles();
    app.reset();
    ASSERT_TRUE(Start());
    EXPECT_EQ(app->RecentFiles(), before);
}

TEST_F(ShellTest, RecentFileEntryOpensItsFile) {
    const std::string a = RawFile("a.yuv", 16, 16, 2, 1);
    const std::string b = RawFile("b.yuv", 16, 16, 2, 2);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Open(a));
    ASSERT_TRUE(Open(b));
    Command(res::ID_FILE_MRU_FILE1 + 1);
    EXPECT_EQ(Frame()->windowTitle(), "a.yuv");
    EXPECT_EQ(Doc()->PathName().toStdString(), a);
}

TEST_F(ShellTest, RecentFileThatIsGoneLeavesTheList) {
    const std::string a = RawFile("a.yuv", 16, 16, 2, 1);
    const std::string b = RawFile("b.yuv", 16, 16, 2, 2);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Open(a));
    ASSERT_TRUE(Open(b));
    std::filesystem::remove(a);
    Command(res::ID_FILE_MRU_FILE1 + 1);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(Frame()->windowTitle(), "b.yuv");
    ASSERT_EQ(app->RecentFiles().size(), 1);
    EXPECT_EQ(app->RecentFiles().front().toStdString(), b);
    app.reset();
    ASSERT_TRUE(Start());
    EXPECT_EQ(app->RecentFiles().size(), 1);
}

}  // namespace
