// A drag source for the end-to-end tests, as a file manager would be one:
//   e2e_drag_source X Y FILE...
// shows a 60 x 60 window at (X, Y); a mouse press in it starts a drag of the files' URLs
// (XDND) and prints "drag ended: dropped" or "drag ended: ignored" when the pointer is released.
// The target asks for the URLs after that, so the program stays until it is ended (at most
// two minutes).
#include <QApplication>
#include <QDrag>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <cstdlib>

namespace {

class DragSource : public QLabel {
public:
    explicit DragSource(QList<QUrl> urls) : QLabel("drag"), urls_(std::move(urls)) {}

protected:
    void mousePressEvent(QMouseEvent*) override {
        auto* mime = new QMimeData;
        mime->setUrls(urls_);
        // The drag object outlives exec(): the target asks it for the data after the drop.
        auto* drag = new QDrag(this);
        drag->setMimeData(mime);
        const Qt::DropAction action = drag->exec(Qt::CopyAction);
        std::printf("drag ended: %s\n", action == Qt::IgnoreAction ? "ignored" : "dropped");
        std::fflush(stdout);
    }

private:
    QList<QUrl> urls_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 4) {
        std::fputs("usage: e2e_drag_source X Y FILE...\n", stderr);
        return 2;
    }
    QList<QUrl> urls;
    for (int i = 3; i < argc; ++i) {
        urls.append(QUrl::fromLocalFile(QString::fromLocal8Bit(argv[i])));
    }
    DragSource source(urls);
    source.setWindowTitle("e2e drag source");
    source.setAlignment(Qt::AlignCenter);
    source.setGeometry(std::atoi(argv[1]), std::atoi(argv[2]), 60, 60);
    source.show();
    QTimer::singleShot(120000, &app, &QApplication::quit);
    return QApplication::exec();
}
