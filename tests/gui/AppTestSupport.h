#pragma once
#include <QApplication>
#include <QSettings>
#include <QTimer>
#include <functional>

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

// Stands in for the message boxes: records, then runs `m_fnWhileOpen` while the "box" is open.
struct CTestSink : CRecordingSink {
    void Report(const CMessage& message) override {
        CRecordingSink::Report(message);
        if (m_fnWhileOpen)
            m_fnWhileOpen();
    }
    std::function<void()> m_fnWhileOpen;
};

// An application started the way the program starts, with its messages recorded instead of shown.
struct CTestApp {
    CTestSink m_Messages;
    std::unique_ptr<CVorpexApp> m_pApp;

    bool Start(const QStringList& args = {}) {
        m_pApp = std::make_unique<CVorpexApp>();
        m_pApp->SetMessageSink(&m_Messages);
        return m_pApp->InitInstance(args);
    }
    CMainFrame* Frame() const { return m_pApp->GetMainWnd(); }
    CDirView* Tree() const { return Frame()->GetDirView(); }
    CFilesView* List() const { return Frame()->GetFilesView(); }
    // Selects the tree's item reached from its top item through `labels`.
    void Select(const QStringList& labels) const {
        Tree()->setCurrentIndex(TreeItem(Tree()->model(), labels));
    }
};

// Runs `start`, which should show a modal T, and `inside` on that window before it is closed; false when no
// such window came up.
template <class T> bool WithModal(const std::function<void()>& start, const std::function<void(T&)>& inside) {
    bool bShown = false;
    QTimer timer; // gone on return, so it cannot fire into a finished call
    timer.callOnTimeout([&] {
        if (auto* window = qobject_cast<T*>(QApplication::activeModalWidget())) {
            bShown = QTest::qWaitForWindowActive(window);
            inside(*window);
            window->reject();
        }
    });
    timer.start(20);
    start();
    return bShown;
}
