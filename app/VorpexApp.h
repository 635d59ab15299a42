#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "app/MessageBoxSink.h"
#include "app/RecentFileList.h"

class CMainFrame;
class CMessageSink;
class CVorpexDoc;
class QWidget;

// The application: reads the settings, makes the document and the main window, opens the archive named on
// the command line, and runs the application-wide commands (Open, the recent files, New, Save, About,
// Options). It owns the document and the main window. GUI thread only.
class CVorpexApp : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kCompany = "Corvane";
    static constexpr const char* kAppName = "Vorpex";

    CVorpexApp();
    ~CVorpexApp() override;
    CVorpexApp(const CVorpexApp&) = delete;
    CVorpexApp& operator=(const CVorpexApp&) = delete;

    // The application object in use; null before one is made.

    // Start-up. `args` are the command-line arguments after the program's name: none, or one archive
    // path, opened before the window shows. False (after a message) when that archive cannot be opened:
    // the program then ends without showing its window.
    bool InitInstance(const QStringList& args);

    // Runs the program with `args` as InitInstance takes them, until its window is closed or SIGTERM,
    // SIGHUP or SIGINT asks it to end; either way everything is torn down (the private folder of opened
    // files goes with the window), and a signal then ends the process by itself. `started` runs once the
    // window is up (tests stage files there). Returns the exit status.
    static int Run(const QStringList& args, const std::function<void(CVorpexApp&)>& started = {});

    CMainFrame* GetMainWnd() const { return m_pMainWnd.get(); }
    CVorpexDoc* GetDocument() const { return m_pDocument.get(); }

    // Where every message of the program goes: a modal box by default. `sink` (not owned, null for the
    // boxes again) replaces it, for tests and for callers that collect messages.
    void SetMessageSink(CMessageSink* sink);

    // Asks which archive File, Open should open (empty: none). The standard file dialog by default;
    // tests put their own answer in its place.
    void SetOpenFileChooser(std::function<QString(QWidget*)> chooser) { m_fnChooseFile = std::move(chooser); }

    // Opens `path` through the document and, when that works, puts it first in the recent-file list and
    // tells the reader's outcome in the status bar. False when the file could not be opened.
    bool OpenDocumentFile(const QString& path);
    const CRecentFileList& GetRecentFiles() const { return m_RecentFiles; }

    // The settings store: company "Corvane", application "Vorpex".
    QString GetProfileString(const QString& section, const QString& entry, const QString& def = {}) const;
    void WriteProfileString(const QString& section, const QString& entry, const QString& value);

    // The default extraction folder, "Settings"/"ExtractDir"; empty when never set.
    QString m_strExtractDir;

public slots:
    void OnAppAbout();
    void OnOptions();
    void OnFileNew();
    void OnFileOpen();
    void OnFileSave();
    void OnOpenRecentFile(int index);

private:
    void SaveRecentFiles();

    CMessageBoxSink m_BoxSink;
    CMessageSink* m_pSink = &m_BoxSink;
    std::function<QString(QWidget*)> m_fnChooseFile;
    CRecentFileList m_RecentFiles;
    // The document outlives the window, whose views point at it.
    std::unique_ptr<CVorpexDoc> m_pDocument;
    std::unique_ptr<CMainFrame> m_pMainWnd;
};
