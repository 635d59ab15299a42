#pragma once
#include <QSettings>

#include "app/MainFrame.h"
#include "app/VorpexApp.h"
#include "app/VorpexDoc.h"
#include "tests/gui/GuiTestSupport.h"
#include "views/DirView.h"
#include "views/FilesView.h"

// Empty settings in a temporary folder, so that no test reads or writes the user's.
inline void UseEmptySettings() {
    static QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    QSettings(CVorpexApp::kCompany, CVorpexApp::kAppName).clear();
}

// An application started the way the program starts, with its messages recorded instead of shown.
struct CTestApp {
    CRecordingSink m_Messages;
    std::unique_ptr<CVorpexApp> m_pApp;

    bool Start(const QStringList& args = {}) {
        m_pApp = std::make_unique<CVorpexApp>();
        m_pApp->SetMessageSink(&m_Messages);
        return m_pApp->InitInstance(args);
    }
    CMainFrame* Frame() const { return m_pApp->GetMainWnd(); }
    CDirView* Tree() const { return Frame()->GetDirView(); }
    CFilesView* List() const { return Frame()->GetFilesView(); }
};
