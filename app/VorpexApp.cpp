#include "app/VorpexApp.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QSettings>

#include "app/AboutDlg.h"
#include "app/MainFrame.h"
#include "app/QuitOnSignals.h"
#include "app/VorpexDoc.h"
#include "dialogs/OptionsDlg.h"

// Every part of the window keeps what it remembers in QSettings(), which these names place.
CVorpexApp::CVorpexApp() {
    QCoreApplication::setOrganizationName(QString::fromLatin1(kCompany));
    QCoreApplication::setApplicationName(QString::fromLatin1(kAppName));
}

CVorpexApp::~CVorpexApp() {
    m_pMainWnd.reset();
    m_pDocument.reset();
}

void CVorpexApp::SetMessageSink(CMessageSink* sink) {
    m_pSink = sink ? sink : &m_BoxSink;
    if (m_pDocument)
        m_pDocument->SetMessageSink(m_pSink);
    if (m_pMainWnd)
        m_pMainWnd->SetMessageSink(m_pSink);
}

QString CVorpexApp::GetProfileString(const QString& section, const QString& entry, const QString& def) const {
    QSettings settings;
    return settings.value(section + QLatin1Char('/') + entry, def).toString();
}

void CVorpexApp::WriteProfileString(const QString& section, const QString& entry, const QString& value) {
    QSettings settings;
    settings.setValue(section + QLatin1Char('/') + entry, value);
}

bool CVorpexApp::InitInstance(const QStringList& args) {
    {
        QSettings settings;
        m_RecentFiles.ReadList(settings);
    }
    m_strExtractDir = GetProfileString(QStringLiteral("Settings"), QStringLiteral("ExtractDir"));

    m_pDocument = std::make_unique<CVorpexDoc>(m_pSink);
    m_pMainWnd = std::make_unique<CMainFrame>(m_pDocument.get());
    CMainFrame* frame = m_pMainWnd.get();
    frame->SetMessageSink(m_pSink);
    frame->SetExtractDirSource([this] { return m_strExtractDir; });
    frame->SetArchiveOpener([this](const QString& path) { return OpenDocumentFile(path); });
    frame->UpdateRecentFileMenu(m_RecentFiles);
    connect(frame->Command(CMainFrame::ID_FILE_NEW), &QAction::triggered, this, &CVorpexApp::OnFileNew);
    connect(frame->Command(CMainFrame::ID_FILE_OPEN), &QAction::triggered, this, &CVorpexApp::OnFileOpen);
    connect(frame->Command(CMainFrame::ID_FILE_SAVE), &QAction::triggered, this, &CVorpexApp::OnFileSave);
    connect(frame->Command(CMainFrame::ID_APP_ABOUT), &QAction::triggered, this, &CVorpexApp::OnAppAbout);
    connect(frame->Command(CMainFrame::ID_VIEW_OPTIONS), &QAction::triggered, this, &CVorpexApp::OnOptions);
    connect(frame, &CMainFrame::RecentFileChosen, this, &CVorpexApp::OnOpenRecentFile);

    if (!args.isEmpty() && !OpenDocumentFile(args.first()))
        return false;
    if (args.isEmpty())
        m_pDocument->OnNewDocument();
    frame->show();
    return true;
}

int CVorpexApp::Run(const QStringList& args, const std::function<void(CVorpexApp&)>& started) {
    CQuitOnSignals quitter;
    int status = 1;
    {
        CVorpexApp app;
        if (app.InitInstance(args)) {
            if (started)
                started(app);
            // A signal taken in a loop of the start-up (a message box) has left that loop already.
            if (!quitter.Caught())
                status = QApplication::exec();
        }
    }
    quitter.RaiseCaught();
    return status;
}

bool CVorpexApp::OpenDocumentFile(const QString& path) {
    if (!m_pDocument || !m_pDocument->OnOpenDocument(path))
        return false;
    m_RecentFiles.Add(path);
    SaveRecentFiles();
    if (m_pMainWnd) {
        m_pMainWnd->UpdateRecentFileMenu(m_RecentFiles);
        m_pMainWnd->SetIdleText(m_pDocument->ReadSummary());
    }
    return true;
}

void CVorpexApp::SaveRecentFiles() {
    QSettings settings;
    m_RecentFiles.WriteList(settings);
}

void CVorpexApp::OnOpenRecentFile(int index) {
    const QString path = m_RecentFiles[index];
    if (path.isEmpty() || OpenDocumentFile(path))
        return;
    // The file has gone (or can no longer be read): the message has been shown, the entry goes.
    m_RecentFiles.Remove(index);
    SaveRecentFiles();
    if (m_pMainWnd)
        m_pMainWnd->UpdateRecentFileMenu(m_RecentFiles);
}

void CVorpexApp::OnFileOpen() {
    QWidget* parent = m_pMainWnd.get();
    const QString path = m_fnChooseFile
                             ? m_fnChooseFile(parent)
                             : QFileDialog::getOpenFileName(parent, QStringLiteral("Open"), QString(),
                                                            QStringLiteral("All Files (*)"));
    if (!path.isEmpty())
        OpenDocumentFile(path);
}

// New keeps the open archive shown.
void CVorpexApp::OnFileNew() {
    if (m_pDocument)
        m_pDocument->OnNewDocument();
}

// The document is never changed, so there is nothing to save.
void CVorpexApp::OnFileSave() {}

// A new box each time, so its link starts unvisited; the link reports through the program's messages.
void CVorpexApp::OnAppAbout() {
    CAboutDlg dlg(m_pMainWnd.get());
    dlg.SetMessageSink(m_pSink);
    dlg.exec();
}

void CVorpexApp::OnOptions() {
    COptionsDlg dlg(m_strExtractDir, GetMainWnd());
    if (dlg.DoModal() != QDialog::Accepted)
        return;
    m_strExtractDir = dlg.m_strFolder;
    // Stored at once, even unchanged or empty; a failed write goes unreported and the new folder holds
    // for the rest of the run.
    WriteProfileString(QStringLiteral("Settings"), QStringLiteral("ExtractDir"), m_strExtractDir);
}
