// The main window: toolbar, view, three-pane status bar, caption, dropped files, and the values
// it shares with the engine (frame counter, frame rate, delta scale).
#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QToolBar>
#include <map>

#include "engine/frame_values.h"
#include "res/resources.h"

class QAction;
class QMenu;
class CPixloomView;

class CMainFrame : public QMainWindow, public engine::FrameValues {
public:
    CMainFrame();

    // Creates the view, the bars and the actions, and loads "framerate" and "deltascale".
    bool OnCreate();
    // Sets the caption to titleText.
    void OnUpdateFrameTitle(bool addToTitle);
    // Sizes the window around a picture of the given size: picture plus view border, menu,
    // toolbar, status bar, 10 pixels of height and extraWidth pixels of width.
    void FitFrameToPicture(int pictureWidth, int pictureHeight, int extraWidth);
    // Runs a command through the document, the frame and the application, then refreshes.
    void OnCommand(unsigned id);
    // Runs every update handler: enabled and checked states of actions (the idle refresh).
    void UpdateCommandUI();
    void RefreshToolBar() override { UpdateCommandUI(); }
    // Shows frameCounter in its pane now.
    void UpdateStatusBar();
    // Routes a drop at client x: a dual display's right picture takes it as the dual file.
    void OnDropFiles(const QPoint& clientPoint, const QStringList& paths);

    QAction* Action(unsigned id) const;
    CPixloomView* View() const { return view; }
    QToolBar* ToolBar() const { return toolBar; }
    QStatusBar* StatusBar() const { return statusBar; }
    QString CounterText() const { return counterPane->text(); }
    QString MessageText() const { return messagePane->text(); }
    // The recent-file entries of the File menu, rebuilt from the application's list.
    void UpdateRecentFileMenu();

    QString titleText;

protected:
    bool event(QEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void createActions();
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void buildMenu(QMenu* menu, const res::MenuItem* items);
    // Ends a command: a close asked for meanwhile is carried out now, else the idle refresh.
    void EndCommand();
    // The counter pane's width for a text: the text, the sunken frame and a margin.
    int CounterPaneWidth(const QString& text) const;

    CPixloomView* view = nullptr;
    QStatusBar* statusBar = nullptr;
    QToolBar* toolBar = nullptr;
    QLabel* labelPane = nullptr;
    QLabel* counterPane = nullptr;
    QLabel* messagePane = nullptr;
    int counterPaneWidth = 0;
    QMenu* fileMenu = nullptr;
    QAction* recentPlaceholder = nullptr;
    QList<QAction*> recentActions;
    std::map<unsigned, QAction*> actions;
    std::multimap<unsigned, QAction*> acceleratorActions;
    int commandDepth = 0;
    // A close arrived while a command ran (for example during the wait for the playback
    // thread's end); it is carried out when that command has returned.
    bool closePending = false;
};
