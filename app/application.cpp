#include "app/application.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>

#include "app/dialog_template.h"
#include "app/document.h"
#include "app/main_frame.h"
#include "app/view.h"
#include "engine/c_numbers.h"

namespace {

CPixloomApp* theApp = nullptr;

// The About box, built from its template.
class CAboutDialog : public QDialog {
public:
    explicit CAboutDialog(QWidget* parent) : QDialog(parent) {
        BuildDialog(this, res::Dialog(res::IDD_ABOUTBOX));
    }
};

}  // namespace

CPixloomApp* AfxGetApp() {
    return theApp;
}

CPixloomApp::CPixloomApp() {
    theApp = this;
}

CPixloomApp::~CPixloomApp() {
    ExitInstance();
    delete mainFrame;
    if (theApp == this) {
        theApp = nullptr;
    }
}

bool CPixloomApp::InitInstance(const std::vector<std::string>& words) {
    // The per-user store: key "pixloom application", application "pixloom"; every setting lives
    // in the section "pixloom application".
    settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                           QString::fromStdString(settingsName), "pixloom");
    LoadStdProfileSettings(kRecentFiles);
    cmdInfo.ParseCommandLine(words);

    mainFrame = new CMainFrame;
    if (!mainFrame->OnCreate()) {
        return false;
    }
    view = mainFrame->View();
    document = new CPixloomDoc(mainFrame, view);
    view->SetDocument(document);
    if (!document->OnNewDocument()) {
        return false;
    }
    mainFrame->OnUpdateFrameTitle(true);
    mainFrame->UpdateCommandUI();
    mainFrame->show();
    return true;
}

void CPixloomApp::ExitInstance() {
    if (document != nullptr) {
        document->OnCloseDocument();
        if (view != nullptr) {
            view->SetDocument(nullptr);
        }
        CPixloomDoc* doc = document;
        document = nullptr;
        delete doc;
    }
}

void CPixloomApp::OnAppAbout() {
    CAboutDialog about(mainFrame);
    about.exec();
}

void CPixloomApp::OnFileNew() {
    if (document != nullptr && document->OnNewDocument()) {
        mainFrame->OnUpdateFrameTitle(true);
    }
}

void CPixloomApp::OnFileOpen() {
    const QString path =
        QFileDialog::getOpenFileName(mainFrame, QString(), QString(), "All Files (*)");
    if (!path.isEmpty()) {
        OpenDocumentFile(path);
    }
}

bool CPixloomApp::OpenDocumentFile(const QString& path) {
    if (document == nullptr) {
        return false;
    }
    const QString full = path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
    // The document already has this file: only bring the window forward.
    if (!full.isEmpty() && full == document->PathName() && document->engine.leftFile != nullptr) {
        mainFrame->activateWindow();
        return true;
    }
    if (!document->OnOpenDocument(full)) {
        return false;
    }
    document->SetPathName(full);
    AddToRecentFileList(full);
    mainFrame->OnUpdateFrameTitle(true);
    return true;
}

void CPixloomApp::OpenRecentFile(int index) {
    if (index < 0 || index >= recentFiles.size()) {
        return;
    }
    const QString path = recentFiles[index];
    if (!OpenDocumentFile(path) && !QFileInfo::exists(path)) {
        // An entry whose file is gone leaves the list.
        recentFiles.removeAt(index);
        SaveRecentFileList();
        mainFrame->UpdateRecentFileMenu();
    }
}

int CPixloomApp::GetProfileInt(const char* key, int defaultValue) const {
    const QString k = QString::fromStdString(settingsName) + "/" + key;
    if (!settings || !settings->contains(k)) {
        return defaultValue;
    }
    return engine::CAtoi(settings->value(k).toString().toStdString());
}

QString CPixloomApp::GetProfileString(const char* key, const QString& defaultValue) const {
    const QString k = QString::fromStdString(settingsName) + "/" + key;
    if (!settings || !settings->contains(k)) {
        return defaultValue;
    }
    return settings->value(k).toString();
}

void CPixloomApp::WriteProfileInt(const char* key, int value) {
    if (settings) {
        settings->setValue(QString::fromStdString(settingsName) + "/" + key, value);
        settings->sync();
    }
}

void CPixloomApp::WriteProfileString(const char* key, const QString& value) {
    if (settings) {
        settings->setValue(QString::fromStdString(settingsName) + "/" + key, value);
        settings->sync();
    }
}

void CPixloomApp::LoadStdProfileSettings(int count) {
    recentFiles.clear();
    for (int i = 1; i <= count; ++i) {
        const QString path = settings->value(QString("Recent File List/File%1").arg(i)).toString();
        if (!path.isEmpty()) {
            recentFiles.append(path);
        }
    }
}

void CPixloomApp::SaveRecentFileList() {
    if (!settings) {
        return;
    }
    settings->remove("Recent File List");
    for (int i = 0; i < recentFiles.size(); ++i) {
        settings->setValue(QString("Recent File List/File%1").arg(i + 1), recentFiles[i]);
    }
    settings->sync();
}

void CPixloomApp::AddToRecentFileList(const QString& path) {
    recentFiles.removeAll(path);
    recentFiles.prepend(path);
    while (recentFiles.size() > kRecentFiles) {
        recentFiles.removeLast();
    }
    SaveRecentFileList();
    if (mainFrame != nullptr) {
        mainFrame->UpdateRecentFileMenu();
    }
}
