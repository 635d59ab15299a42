#include "app/VorpexApp.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QSettings>

#include "app/AboutDlg.h"
#include "app/EditCommands.h"
#include "app/MainFrame.h"
#include "app/QuitOnSignals.h"
#include "app/VorpexDoc.h"
#include "dialogs/OptionsDlg.h"

namespace vorpex {

// Every part of the window keeps what it remembers in QSettings(), which these names place.
VorpexApp::VorpexApp() {
    QCoreApplication::setOrganizationName(QString::fromLatin1(kCompany));
    QCoreApplication::setApplicationName(QString::fromLatin1(kAppName));
}

VorpexApp::~VorpexApp() {
    m_mainWnd.reset();
    m_document.reset();
}

void VorpexApp::setMessageSink(MessageSink* sink) {
    m_sink = sink ? sink : &m_boxSink;
    if (m_document)
        m_document->setMessageSink(m_sink);
    if (m_mainWnd)
        m_mainWnd->setMessageSink(m_sink);
}

QString VorpexApp::getProfileString(const QString& section, const QString& entry, const QString& def) const {
    QSettings settings;
    return settings.value(section + QLatin1Char('/') + entry, def).toString();
}

void VorpexApp::writeProfileString(const QString& section, const QString& entry, const QString& value) {
    QSettings settings;
    settings.setValue(section + QLatin1Char('/') + entry, value);
}

bool VorpexApp::start(const QStringList& args) {
    {
        QSettings settings;
        m_recentFiles.readList(settings);
    }
    m_extractDir = getProfileString(QStringLiteral("Settings"), QStringLiteral("ExtractDir"));

    m_document = std::make_unique<VorpexDoc>(m_sink);
    m_mainWnd = std::make_unique<MainFrame>(m_document.get());
    MainFrame* frame = m_mainWnd.get();
    frame->setMessageSink(m_sink);
    frame->setExtractDirSource([this] { return m_extractDir; });
    frame->setArchiveOpener([this](const QString& path) { return maySwitch() && openDocumentFile(path); });
    // A saved archive is read again as an opened one is, and goes first in the recent files.
    frame->editCommands()->setReopener([this](const QString& path) { return openDocumentFile(path); });
    frame->updateRecentFileMenu(m_recentFiles);
    connect(frame->command(MainFrame::kIdFileNew), &QAction::triggered, this, &VorpexApp::onFileNew);
    connect(frame->command(MainFrame::kIdFileOpen), &QAction::triggered, this, &VorpexApp::onFileOpen);
    connect(frame->command(MainFrame::kIdFileSave), &QAction::triggered, this, &VorpexApp::onFileSave);
    connect(frame->command(MainFrame::kIdAppAbout), &QAction::triggered, this, &VorpexApp::onAppAbout);
    connect(frame->command(MainFrame::kIdViewOptions), &QAction::triggered, this, &VorpexApp::onOptions);
    connect(frame, &MainFrame::recentFileChosen, this, &VorpexApp::onOpenRecentFile);

    if (!args.isEmpty() && !openDocumentFile(args.first()))
        return false;
    if (args.isEmpty())
        m_document->onNewDocument();
    frame->show();
    return true;
}

int VorpexApp::run(const QStringList& args, const std::function<void(VorpexApp&)>& started) {
    QuitOnSignals quitter;
    int status = 1;
    {
        VorpexApp app;
        if (app.start(args)) {
            if (started)
                started(app);
            // A signal taken in a loop of the start-up (a message box) has left that loop already.
            if (!quitter.caught())
                status = QApplication::exec();
        }
    }
    quitter.raiseCaught();
    return status;
}

bool VorpexApp::openDocumentFile(const QString& path) {
    if (!m_document || !m_document->onOpenDocument(path))
        return false;
    m_recentFiles.add(path);
    saveRecentFiles();
    if (m_mainWnd) {
        m_mainWnd->updateRecentFileMenu(m_recentFiles);
        m_mainWnd->setIdleText(m_document->readSummary());
    }
    return true;
}

void VorpexApp::saveRecentFiles() {
    QSettings settings;
    m_recentFiles.writeList(settings);
}

void VorpexApp::onOpenRecentFile(int index) {
    const QString path = m_recentFiles[index];
    if (path.isEmpty() || !maySwitch() || openDocumentFile(path))
        return;
    // The file has gone (or can no longer be read): the message has been shown, the entry goes.
    m_recentFiles.remove(index);
    saveRecentFiles();
    if (m_mainWnd)
        m_mainWnd->updateRecentFileMenu(m_recentFiles);
}

void VorpexApp::onFileOpen() {
    QWidget* parent = m_mainWnd.get();
    const QString path = m_chooseFile
                             ? m_chooseFile(parent)
                             : QFileDialog::getOpenFileName(parent, QStringLiteral("Open"), QString(),
                                                            QStringLiteral("All Files (*)"));
    if (!path.isEmpty() && maySwitch())
        openDocumentFile(path);
}

bool VorpexApp::maySwitch() {
    return !m_mainWnd || !m_mainWnd->editCommands() || m_mainWnd->editCommands()->maySwitch();
}

// New keeps the open archive shown.
void VorpexApp::onFileNew() {
    if (m_document)
        m_document->onNewDocument();
}

// The document is never changed, so there is nothing to save.
// Save is the edit commands' (they know what changed); it writes nothing while nothing did.
void VorpexApp::onFileSave() {}

// A new box each time, so its link starts unvisited; the link reports through the program's messages.
void VorpexApp::onAppAbout() {
    AboutDlg dlg(m_mainWnd.get());
    dlg.setMessageSink(m_sink);
    dlg.exec();
}

void VorpexApp::onOptions() {
    OptionsDlg dlg(m_extractDir, mainWnd());
    if (dlg.exec() != QDialog::Accepted)
        return;
    m_extractDir = dlg.m_folder;
    // Stored at once, even unchanged or empty; a failed write goes unreported and the new folder holds
    // for the rest of the run.
    writeProfileString(QStringLiteral("Settings"), QStringLiteral("ExtractDir"), m_extractDir);
}

} // namespace vorpex
