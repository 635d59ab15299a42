#pragma once
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <optional>

#include "app/MainFrame.h"
#include "app/VorpexApp.h"
#include "app/VorpexDoc.h"
#include "tests/gui/GuiTestSupport.h"
#include "views/DirView.h"
#include "views/FilesView.h"

namespace vorpex {

// Empty settings in a temporary folder, so that no test reads or writes the user's.
inline void useEmptySettings() {
    static QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    QSettings(VorpexApp::kCompany, VorpexApp::kAppName).clear();
}

// A fresh folder for a test's files and an empty runtime folder (where the private folder of staged files
// goes), and empty settings, so that nothing one test leaves behind reaches the next.
inline void freshFolders(std::optional<QTemporaryDir>& dir, std::optional<QTemporaryDir>& runtime) {
    dir.emplace();
    runtime.emplace();
    // Given as `//tmp/...`, which in a URL would name the host "tmp": staged files' URLs must not.
    qputenv("XDG_RUNTIME_DIR", "/" + QFile::encodeName(runtime->path()));
    useEmptySettings();
}

// Stands in for the message boxes: records, then runs `m_whileOpen` while the "box" is open.
struct TestSink : RecordingSink {
    void report(const Message& message) override {
        RecordingSink::report(message);
        if (m_whileOpen)
            m_whileOpen();
    }
    std::function<void()> m_whileOpen;
};

// An application started the way the program starts, with its messages recorded instead of shown.
struct TestApp {
    TestSink m_messages;
    std::unique_ptr<VorpexApp> m_app;

    bool start(const QStringList& args = {}) {
        m_app = std::make_unique<VorpexApp>();
        m_app->setMessageSink(&m_messages);
        return m_app->start(args);
    }
    MainFrame* frame() const { return m_app->mainWnd(); }
    DirView* tree() const { return frame()->dirView(); }
    FilesView* list() const { return frame()->filesView(); }
    // Selects the tree's item reached from its top item through `labels`.
    void select(const QStringList& labels) const {
        tree()->setCurrentIndex(treeItem(tree()->model(), labels));
    }
};

// Runs `start`, which should show a modal T, and `inside` on that window before it is closed; false when no
// such window came up.
template <class T> bool withModal(const std::function<void()>& start, const std::function<void(T&)>& inside) {
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

} // namespace vorpex
