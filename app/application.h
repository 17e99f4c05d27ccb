// The application object: names the settings store, keeps the recent-file list and the parsed
// command line, creates the main frame, the view and the document, and runs the commands that
// belong to the application (New, Open, recent files, About, Exit).
#pragma once

#include <QObject>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <memory>
#include <string>

#include "app/command_line.h"

class CMainFrame;
class CPixloomDoc;
class CPixloomView;

class CPixloomApp : public QObject {
public:
    CPixloomApp();
    ~CPixloomApp() override;

    // Start-up in order: settings store, recent files, command line, frame, view and document
    // (the document's new-document step applies the command line), then the window is shown.
    // words: the command line after the program name. False ends the process at once.
    bool InitInstance(const std::vector<std::string>& words);
    // Closes the document (ends playback, gives back the left file) and destroys the windows.
    void ExitInstance();

    void OnAppAbout();
    void OnFileNew();
    void OnFileOpen();
    // Opens a file as the document (File Open, recent files, drops). The path the document
    // already has only activates the window. Returns false when the open failed.
    bool OpenDocumentFile(const QString& path);
    void OpenRecentFile(int index);

    // Per-user settings, all in the section settingsName.
    int GetProfileInt(const char* key, int defaultValue) const;
    QString GetProfileString(const char* key, const QString& defaultValue) const;
    void WriteProfileInt(const char* key, int value);
    void WriteProfileString(const char* key, const QString& value);

    // Recent-file list, at most kRecentFiles entries, newest first.
    static constexpr int kRecentFiles = 10;
    const QStringList& RecentFiles() const { return recentFiles; }
    void AddToRecentFileList(const QString& path);

    CMainFrame* MainFrame() const { return mainFrame; }
    CPixloomDoc* Document() const { return document; }
    CPixloomView* View() const { return view; }

    CPixloomCommandLineInfo cmdInfo;
    const std::string settingsName = "pixloom application";

private:
    void LoadStdProfileSettings(int count);
    void SaveRecentFileList();

    std::unique_ptr<QSettings> settings;
    QStringList recentFiles;
    CMainFrame* mainFrame = nullptr;
    CPixloomView* view = nullptr;
    CPixloomDoc* document = nullptr;
};

// The one application object of the process.
CPixloomApp* AfxGetApp();
