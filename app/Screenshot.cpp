// vorpex_screenshot ARCHIVE OUT.png [FOLDER]
// Opens ARCHIVE in the main window, drawn offscreen, selects the top-level folder FOLDER (or the first
// one) and writes a picture of the window to OUT.png. Settings go to a temporary place, not the user's.
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>

#include "app/MainFrame.h"
#include "app/VorpexApp.h"
#include "app/VorpexDoc.h"
#include "catalogue/PackFile.h"
#include "views/DirView.h"
#include "views/FilesView.h"

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApp(argc, argv);
    if (argc < 3 || argc > 4) {
        std::fputs("usage: vorpex_screenshot ARCHIVE OUT.png [FOLDER]\n", stderr);
        return 2;
    }
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());

    CRecordingSink messages;
    CVorpexApp app;
    app.SetMessageSink(&messages);
    if (!app.InitInstance({QString::fromLocal8Bit(argv[1])})) {
        std::fprintf(stderr, "vorpex_screenshot: cannot open %s\n", argv[1]);
        return 1;
    }
    CMainFrame* frame = app.GetMainWnd();
    frame->resize(640, 400);
    QApplication::processEvents();

    const CPackFile* pack = app.GetDocument()->m_pPackFile.get();
    const CPackFolder* chosen = nullptr;
    for (const CPackFolder* folder : pack->GetTop().m_Children)
        if (argc < 4 || folder->GetName() == argv[3]) {
            chosen = folder;
            break;
        }
    if (chosen)
        frame->GetDirView()->SelectFolder(chosen);
    frame->GetFilesView()->setFocus();
    QApplication::processEvents();

    if (!frame->grab().save(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "vorpex_screenshot: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
