// vorpex_screenshot ARCHIVE OUT.png [FOLDER]
// vorpex_screenshot --about OUT.png
// Opens ARCHIVE in the main window, drawn offscreen, selects FOLDER (a path such as "\\DATA\\MAPS"; the
// first top-level folder by default) and writes a picture of the window to OUT.png. Settings go to a
// temporary place, not the user's. With --about it draws the About box instead.
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>

#include "app/AboutDlg.h"
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
    if (argc == 3 && QByteArray(argv[1]) == "--about") {
        CAboutDlg box;
        box.show();
        QApplication::processEvents();
        return box.grab().save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
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
    frame->resize(700, 420);
    QApplication::processEvents();

    const CPackFile* pack = app.GetDocument()->m_pPackFile.get();
    const CPackFolder* chosen =
        pack->GetTop().GetChildren().empty() ? nullptr : pack->GetTop().GetChildren()[0];
    if (argc == 4) {
        std::vector<const CPackFolder*> todo(pack->GetTop().GetChildren().begin(),
                                             pack->GetTop().GetChildren().end());
        chosen = nullptr;
        while (!todo.empty() && !chosen) {
            const CPackFolder* folder = todo.back();
            todo.pop_back();
            if (folder->GetPath() == argv[3])
                chosen = folder;
            todo.insert(todo.end(), folder->GetChildren().begin(), folder->GetChildren().end());
        }
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
