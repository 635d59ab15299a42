#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "app/MessageBoxSink.h"
#include "app/RecentFileList.h"

class QWidget;

namespace vorpex {

class MainFrame;
class MessageSink;
class VorpexDoc;

// The application: reads the settings, makes the document and the main window, opens the archive named on
// the command line, and runs the application-wide commands (Open, the recent files, New, Save, About,
// Options). It owns the document and the main window. GUI thread only.
class VorpexApp : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kCompany = "Corvane";
    static constexpr const char* kAppName = "Vorpex";

    VorpexApp();
    ~VorpexApp() override;
    VorpexApp(const VorpexApp&) = delete;
    VorpexApp& operator=(const VorpexApp&) = delete;

    // The application object in use; null before one is made.

    // Start-up. `args` are the command-line arguments after the program's name: none, or one archive
    // path, opened before the window shows. False (after a message) when that archive cannot be opened:
    // the program then ends without showing its window.
    bool start(const QStringList& args);

    // Runs the program with `args` as InitInstance takes them, until its window is closed or SIGTERM,
    // SIGHUP or SIGINT asks it to end; either way everything is torn down (the private folder of opened
    // files goes with the window), and a signal then ends the process by itself. `started` runs once the
    // window is up (tests stage files there). Returns the exit status.
    static int run(const QStringList& args, const std::function<void(VorpexApp&)>& started = {});

    MainFrame* mainWnd() const { return m_mainWnd.get(); }
    VorpexDoc* document() const { return m_document.get(); }

    // Where every message of the program goes: a modal box by default. `sink` (not owned, null for the
    // boxes again) replaces it, for tests and for callers that collect messages.
    void setMessageSink(MessageSink* sink);

    // Asks which archive File, Open should open (empty: none). The standard file dialog by default;
    // tests put their own answer in its place.
    void setOpenFileChooser(std::function<QString(QWidget*)> chooser) { m_chooseFile = std::move(chooser); }

    // Opens `path` through the document and, when that works, puts it first in the recent-file list and
    // tells the reader's outcome in the status bar. False when the file could not be opened.
    bool openDocumentFile(const QString& path);
    const RecentFileList& recentFiles() const { return m_recentFiles; }

    // The settings store: company "Corvane", application "Vorpex".
    QString getProfileString(const QString& section, const QString& entry, const QString& def = {}) const;
    void writeProfileString(const QString& section, const QString& entry, const QString& value);

    // The default extraction folder, "Settings"/"ExtractDir"; empty when never set.
    QString m_extractDir;

public slots:
    void onAppAbout();
    void onOptions();
    void onFileNew();
    void onFileOpen();
    void onFileSave();
    void onOpenRecentFile(int index);

private:
    void saveRecentFiles();
    // Unsaved edits of the archive shown are saved or dropped first, as the user says; false: stay.
    bool maySwitch();

    MessageBoxSink m_boxSink;
    MessageSink* m_sink = &m_boxSink;
    std::function<QString(QWidget*)> m_chooseFile;
    RecentFileList m_recentFiles;
    // The document outlives the window, whose views point at it.
    std::unique_ptr<VorpexDoc> m_document;
    std::unique_ptr<MainFrame> m_mainWnd;
};

} // namespace vorpex
