#include "app/main_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenuBar>
#include <QMimeData>
#include <QScrollBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

#include "app/application.h"
#include "app/command_line.h"
#include "app/document.h"
#include "app/view.h"

namespace {

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

// Keeps a toolbar button without a tip from showing the action's text as one.
class NoToolTip : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent* e) override { return e->type() == QEvent::ToolTip; }
};

// What an update handler sets, applied to every action of a command.
class ActionCmdUI : public platform::CCmdUI {
public:
    void Enable(bool on) override { enabled = on; }
    void SetCheck(int check) override { checked = check; }
    bool enabled = true;
    int checked = 0;
};

bool IsCheckable(unsigned id) {
    switch (id) {
        case res::ID_SEQ_LOOP:
        case res::ID_SEQ_ZOOM:
        case res::ID_SIZE_QCIF:
        case res::ID_SIZE_CIF:
        case res::ID_SIZE_256X224:
        case res::ID_SIZE_320X240:
        case res::ID_SIZE_352X240:
        case res::ID_SIZE_176X120:
        case res::ID_SIZE_720X480:
        case res::ID_VIEW_DUAL_SCROLL:
        case res::ID_VIEW_UV:
        case res::ID_VIEW_Y:
        case res::ID_VIEW_DELTA:
        case res::ID_VIEW_TOOLBAR:
        case res::ID_VIEW_STATUS_BAR:
            return true;
        default:
            return false;
    }
}

}  // namespace

CMainFrame::CMainFrame() {
    titleText = Text(res::LoadString(res::AFX_IDS_APP_TITLE));
    // The initial outer size.
    resize(194, 248);
}

bool CMainFrame::OnCreate() {
    view = new CPixloomView(this);
    setCentralWidget(view);
    createActions();
    createMenus();
    createToolBar();
    createStatusBar();

    CPixloomApp* app = AfxGetApp();
    if (app != nullptr) {
        frameRate = settings_rules::FrameRateFromText(
            app->GetProfileString("framerate", "10.0").toStdString());
        deltaScale = settings_rules::DeltaScaleFromText(
            app->GetProfileString("deltascale", "1.0").toStdString());
    }
    setAcceptDrops(true);
    setWindowIcon(QIcon(QPixmap(":/icons/pixloom32.xpm")));

    // The idle refresh of enabled and checked states.
    auto* idle = new QTimer(this);
    connect(idle, &QTimer::timeout, this, [this] { UpdateCommandUI(); });
    idle->start(100);
    return true;
}

QAction* CMainFrame::Action(unsigned id) const {
    auto it = actions.find(id);
    return it == actions.end() ? nullptr : it->second;
}

void CMainFrame::createActions() {
    // One action per command of the menus and the toolbar.
    std::vector<unsigned> ids;
    std::function<void(const res::MenuItem*)> collect = [&](const res::MenuItem* items) {
        for (const res::MenuItem* m = items; m->kind != res::MenuItem::kEnd; ++m) {
            if (m->kind == res::MenuItem::kCommand) {
                ids.push_back(m->id);
            } else if (m->kind == res::MenuItem::kPopup) {
                collect(m->popup);
            }
        }
    };
    collect(res::kMainMenu);
    for (unsigned id : ids) {
        if (id == res::ID_FILE_MRU_FILE1) {
            continue;
        }
        auto* a = new QAction(this);
        a->setStatusTip(Text(res::Prompt(id)));
        a->setToolTip(Text(res::Tip(id)));
        a->setCheckable(IsCheckable(id));
        a->setData(id);
        connect(a, &QAction::triggered, this, [this, id] { OnCommand(id); });
        actions[id] = a;
    }
    // Accelerators: Ctrl+O shows in the menu; every other key works from the whole window
    // without a key text in any menu.
    for (int i = 0; i < res::kAcceleratorCount; ++i) {
        const res::Accelerator& acc = res::kAccelerators[i];
        const QKeySequence keys(QString::fromLatin1(acc.keys));
        if (acc.id == res::ID_FILE_OPEN) {
            actions[acc.id]->setShortcut(keys);
            continue;
        }
        auto* a = new QAction(this);
        a->setShortcut(keys);
        a->setShortcutContext(Qt::WindowShortcut);
        a->setData(acc.id);
        const unsigned id = acc.id;
        connect(a, &QAction::triggered, this, [this, id] { OnCommand(id); });
        addAction(a);
        acceleratorActions.insert({id, a});
    }
}

void CMainFrame::buildMenu(QMenu* menu, const res::MenuItem* items) {
    for (const res::MenuItem* m = items; m->kind != res::MenuItem::kEnd; ++m) {
        switch (m->kind) {
            case res::MenuItem::kSeparator:
                menu->addSeparator();
                break;
            case res::MenuItem::kPopup:
                buildMenu(menu->addMenu(QString::fromLatin1(m->text)), m->popup);
                break;
            case res::MenuItem::kCommand: {
                const QString text = QString::fromLatin1(m->text).section('\t', 0, 0);
                if (m->id == res::ID_FILE_MRU_FILE1) {
                    recentPlaceholder = menu->addAction(text);
                    recentPlaceholder->setEnabled(!m->greyed);
                    recentPlaceholder->setStatusTip(Text(res::Prompt(m->id)));
                    break;
                }
                QAction* a = actions[m->id];
                a->setText(text);
                menu->addAction(a);
                break;
            }
            case res::MenuItem::kEnd:
                break;
        }
    }
    connect(menu, &QMenu::aboutToShow, this, [this] { UpdateCommandUI(); });
}

void CMainFrame::createMenus() {
    for (const res::MenuItem* m = res::kMainMenu; m->kind != res::MenuItem::kEnd; ++m) {
        QMenu* menu = menuBar()->addMenu(QString::fromLatin1(m->text));
        if (m->popup == res::kMainMenu[0].popup) {
            fileMenu = menu;
        }
        buildMenu(menu, m->popup);
    }
    UpdateRecentFileMenu();
}

void CMainFrame::UpdateRecentFileMenu() {
    if (fileMenu == nullptr || recentPlaceholder == nullptr) {
        return;
    }
    for (QAction* a : recentActions) {
        fileMenu->removeAction(a);
        a->deleteLater();
    }
    recentActions.clear();
    CPixloomApp* app = AfxGetApp();
    const QStringList files = app != nullptr ? app->RecentFiles() : QStringList();
    recentPlaceholder->setVisible(files.isEmpty());
    for (int i = 0; i < files.size(); ++i) {
        const QString label = QString("&%1 %2").arg(i + 1).arg(files[i]);
        auto* a = new QAction(label, fileMenu);
        const unsigned id = res::ID_FILE_MRU_FILE1 + unsigned(i);
        a->setData(id);
        a->setStatusTip(Text(res::Prompt(id)));
        connect(a, &QAction::triggered, this, [this, id] { OnCommand(id); });
        fileMenu->insertAction(recentPlaceholder, a);
        recentActions.append(a);
    }
}

void CMainFrame::createToolBar() {
    toolBar = new QToolBar(this);
    toolBar->setObjectName("toolBar");
    toolBar->setMovable(false);
    toolBar->setFloatable(false);
    toolBar->setIconSize(QSize(res::kButtonWidth, res::kButtonHeight));
    addToolBar(Qt::TopToolBarArea, toolBar);
    // The toolbar stays: no menu to hide it.
    toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    const QPixmap strip(":/icons/toolbar.xpm");
    auto* noTip = new NoToolTip(this);
    int image = 0;
    for (int i = 0; i < res::kToolBarCount; ++i) {
        const unsigned id = res::kToolBar[i];
        if (id == 0) {
            toolBar->addSeparator();
            continue;
        }
        QAction* a = actions[id];
        // Menus show check marks, not the buttons' images.
        a->setIconVisibleInMenu(false);
        a->setIcon(
            QIcon(strip.copy(image * res::kButtonWidth, 0, res::kButtonWidth, res::kButtonHeight)));
        ++image;
        toolBar->addAction(a);
        if (res::Tip(id).empty()) {
            if (QWidget* button = toolBar->widgetForAction(a)) {
                button->installEventFilter(noTip);
            }
        }
    }
}

void CMainFrame::createStatusBar() {
    statusBar = new QStatusBar(this);
    setStatusBar(statusBar);
    labelPane = new QLabel(Text(res::LoadString(res::ID_INDICATOR_FRAME_LABEL)), statusBar);
    labelPane->setFrameShape(QFrame::NoFrame);
    counterPane = new QLabel(Text(res::LoadString(res::ID_INDICATOR_FRAME_COUNTER)), statusBar);
    counterPane->setObjectName("frameCounter");
    counterPane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // As wide as the text "9999"; wider only while a longer count needs it.
    counterPaneWidth = CounterPaneWidth(counterPane->text());
    counterPane->setFixedWidth(counterPaneWidth);
    messagePane = new QLabel(Text(res::LoadString(res::AFX_IDS_IDLEMESSAGE)), statusBar);
    messagePane->setFrameShape(QFrame::NoFrame);
    // A long prompt is cut at the window's edge; it never widens the window.
    messagePane->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    messagePane->setMinimumWidth(0);
    statusBar->addWidget(labelPane);
    statusBar->addWidget(counterPane);
    statusBar->addWidget(messagePane, 1);
}

int CMainFrame::CounterPaneWidth(const QString& text) const {
    return counterPane->fontMetrics().horizontalAdvance(text) + 2 * counterPane->frameWidth() + 6;
}

bool CMainFrame::event(QEvent* e) {
    if (e->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(e)->tip();
        messagePane->setText(tip.isEmpty() ? Text(res::LoadString(res::AFX_IDS_IDLEMESSAGE)) : tip);
        return true;
    }
    return QMainWindow::event(e);
}

void CMainFrame::UpdateStatusBar() {
    if (counterPane != nullptr) {
        const QString text = QString::asprintf("%04d", frameCounter.load());
        counterPane->setText(text);
        const int width = std::max(counterPaneWidth, CounterPaneWidth(text));
        if (counterPane->width() != width) {
            counterPane->setFixedWidth(width);
        }
    }
}

void CMainFrame::OnUpdateFrameTitle(bool) {
    // Qt reads "[*]" as the placeholder of the modified mark; doubled, it shows as itself.
    setWindowTitle(QString(titleText).replace("[*]", "[*][*]"));
}

void CMainFrame::FitFrameToPicture(int pictureWidth, int pictureHeight, int extraWidth) {
    const QPoint topLeft = pos();
    // The view's own border; scroll bars are not counted.
    const int border = view != nullptr ? 2 * view->frameWidth() : 0;
    int w = pictureWidth + border;
    int h = pictureHeight + border;
    const int t = toolBar != nullptr ? toolBar->sizeHint().height() : 0;
    const int s = statusBar != nullptr ? statusBar->sizeHint().height() : 0;
    // The menu bar is part of this window; the window manager adds its own frame outside.
    h += menuBar()->sizeHint().height();
    resize(w + extraWidth, h + t + s + 10);
    move(topLeft);
}

void CMainFrame::OnCommand(unsigned id) {
    // A command that arrives while another one runs (for example during the wait for the
    // playback thread's end) is not run re-entrantly.
    if (commandDepth > 0) {
        return;
    }
    ++commandDepth;
    CPixloomApp* app = AfxGetApp();
    CPixloomDoc* doc = app != nullptr ? app->Document() : nullptr;
    if (doc != nullptr && doc->OnCommand(id)) {
    } else if (id == res::ID_VIEW_TOOLBAR) {
        toolBar->setVisible(!toolBar->isVisible());
    } else if (id == res::ID_VIEW_STATUS_BAR) {
        statusBar->setVisible(!statusBar->isVisible());
    } else if (app != nullptr) {
        if (id == res::ID_APP_ABOUT) {
            app->OnAppAbout();
        } else if (id == res::ID_FILE_NEW) {
            app->OnFileNew();
        } else if (id == res::ID_FILE_OPEN) {
            app->OnFileOpen();
        } else if (id == res::ID_APP_EXIT) {
            close();
        } else if (id >= res::ID_FILE_MRU_FILE1 && id <= res::ID_FILE_MRU_LAST) {
            app->OpenRecentFile(int(id - res::ID_FILE_MRU_FILE1));
        }
        // ID_FILE_SAVE: the document has nothing to store; nothing is ever written.
    }
    EndCommand();
}

void CMainFrame::EndCommand() {
    --commandDepth;
    if (commandDepth == 0 && closePending) {
        closePending = false;
        close();
        return;
    }
    UpdateCommandUI();
}

void CMainFrame::UpdateCommandUI() {
    CPixloomApp* app = AfxGetApp();
    CPixloomDoc* doc = app != nullptr ? app->Document() : nullptr;
    auto update = [&](unsigned id, ActionCmdUI& ui) {
        if (doc != nullptr && doc->OnUpdateCommand(id, &ui)) {
            return;
        }
        if (id == res::ID_VIEW_TOOLBAR) {
            ui.SetCheck(toolBar->isVisibleTo(this) ? 1 : 0);
        } else if (id == res::ID_VIEW_STATUS_BAR) {
            ui.SetCheck(statusBar->isVisibleTo(this) ? 1 : 0);
        } else if (id == res::ID_SEQ_FRAME_RATE || id == res::ID_SEQ_DELTA_SCALE ||
                   id == res::ID_FILE_NEW || id == res::ID_FILE_OPEN || id == res::ID_FILE_SAVE ||
                   id == res::ID_APP_ABOUT || id == res::ID_APP_EXIT) {
            ui.Enable(true);
        } else {
            // Commands without a handler (the edit and pane keys) are disabled.
            ui.Enable(false);
        }
    };
    for (auto& [id, action] : actions) {
        ActionCmdUI ui;
        update(id, ui);
        action->setEnabled(ui.enabled);
        if (action->isCheckable()) {
            action->setChecked(ui.checked != 0);
        }
    }
    for (auto& [id, action] : acceleratorActions) {
        ActionCmdUI ui;
        update(id, ui);
        action->setEnabled(ui.enabled);
    }
    UpdateStatusBar();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasUrls()) {
        e->acceptProposedAction();
    }
}

void CMainFrame::dropEvent(QDropEvent* e) {
    QStringList paths;
    for (const QUrl& url : e->mimeData()->urls()) {
        if (url.isLocalFile()) {
            paths.append(url.toLocalFile());
        }
    }
    if (paths.isEmpty()) {
        return;
    }
    e->acceptProposedAction();
    // The frame's client area begins below the menu bar.
    const QPoint p = e->position().toPoint();
    OnDropFiles(QPoint(p.x(), p.y() - menuBar()->height()), paths);
}

void CMainFrame::OnDropFiles(const QPoint& point, const QStringList& paths) {
    CPixloomApp* app = AfxGetApp();
    if (app == nullptr || commandDepth > 0) {
        return;
    }
    CPixloomDoc* doc = app->Document();
    const int clientHeight = height() - menuBar()->height();
    const bool inClient =
        point.x() >= 0 && point.y() >= 0 && point.x() < width() && point.y() < clientHeight;
    if (inClient && doc != nullptr && doc->engine.dual) {
        const engine::CSequenceDisplay& e = doc->engine;
        const int a = (e.zoom ? 2 : 1) * e.width;
        const int c = width();
        int boundary;
        if (c >= a + 10) {
            boundary = a + 5;
        } else if (e.dualScroll) {
            boundary = c / 2;
        } else {
            boundary = a - view->horizontalScrollBar()->value() + 5;
        }
        if (point.x() > boundary) {
            activateWindow();
            ++commandDepth;
            for (const QString& path : paths) {
                doc->OpenDualFile(path);
                update();
            }
            EndCommand();
            return;
        }
    }
    activateWindow();
    ++commandDepth;
    for (const QString& path : paths) {
        app->OpenDocumentFile(path);
    }
    EndCommand();
}

void CMainFrame::closeEvent(QCloseEvent* e) {
    // Closing inside a running command would destroy the document under it.
    if (commandDepth > 0) {
        closePending = true;
        e->ignore();
        return;
    }
    ++commandDepth;
    if (CPixloomApp* app = AfxGetApp()) {
        app->ExitInstance();
    }
    --commandDepth;
    closePending = false;
    e->accept();
}
