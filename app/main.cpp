#include <QApplication>
#include <clocale>

#include "app/application.h"
#include "app/main_frame.h"
#include "platform/qt/qt_message_box.h"

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName("pixloom");
    // Numbers in files, settings and the command line always use "." as the decimal point.
    std::setlocale(LC_NUMERIC, "C");
    CPixloomApp app;
    platform::InstallQtMessageBox([&app]() -> QWidget* { return app.MainFrame(); });
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        words.emplace_back(argv[i]);
    }
    if (!app.InitInstance(words)) {
        return 0;
    }
    return QApplication::exec();
}
