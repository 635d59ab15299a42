// vorpex_preview_shot ARCHIVE OUT.png FOLDER FILE [--menu]
// Opens ARCHIVE in the main window, drawn offscreen, with the preview pane on, selects FOLDER (a path such
// as "\\DATA") and the row FILE in the list, and writes a picture of the window to OUT.png. With --menu
// the rows' context menu is drawn open over the list instead. Settings go to a temporary place.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

#include "app/EntryActions.h"
#include "app/MainFrame.h"
#include "app/VorpexApp.h"
#include "app/VorpexDoc.h"
#include "catalogue/PackFile.h"
#include "views/DirView.h"
#include "views/FilesView.h"

namespace {

const CPackFolder* FindFolder(const CPackFile& pack, const char* path) {
    std::vector<const CPackFolder*> todo(pack.GetTop().GetChildren().begin(),
                                         pack.GetTop().GetChildren().end());
    while (!todo.empty()) {
        const CPackFolder* folder = todo.back();
        todo.pop_back();
        if (folder->GetPath() == path)
            return folder;
        todo.insert(todo.end(), folder->GetChildren().begin(), folder->GetChildren().end());
    }
    return nullptr;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApp(argc, argv);
    if (argc < 5 || argc > 6 || (argc == 6 && QByteArray(argv[5]) != "--menu")) {
        std::fputs("usage: vorpex_preview_shot ARCHIVE OUT.png FOLDER FILE [--menu]\n", stderr);
        return 2;
    }
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());

    CRecordingSink messages;
    CVorpexApp app;
    app.SetMessageSink(&messages);
    if (!app.InitInstance({QString::fromLocal8Bit(argv[1])})) {
        std::fprintf(stderr, "vorpex_preview_shot: cannot open %s\n", argv[1]);
        return 1;
    }
    CMainFrame* frame = app.GetMainWnd();
    frame->resize(820, 440);
    auto* actions = frame->findChild<CEntryActions*>();
    actions->PreviewAction()->setChecked(argc == 5);
    QApplication::processEvents();

    const CPackFolder* folder = FindFolder(*app.GetDocument()->m_pPackFile, argv[3]);
    if (!folder) {
        std::fprintf(stderr, "vorpex_preview_shot: no folder %s\n", argv[3]);
        return 1;
    }
    frame->GetDirView()->SelectFolder(folder);
    CFilesView* list = frame->GetFilesView();
    const QModelIndexList rows =
        list->model()->match(list->model()->index(0, 0), Qt::DisplayRole, QString::fromLocal8Bit(argv[4]));
    if (rows.isEmpty()) {
        std::fprintf(stderr, "vorpex_preview_shot: no row %s\n", argv[4]);
        return 1;
    }
    list->setCurrentIndex(rows.first());
    list->setFocus();
    QApplication::processEvents();

    QPixmap shot = frame->grab();
    if (argc == 6) {
        // A menu is a window of its own: draw it onto the picture where it opens.
        std::unique_ptr<QMenu> menu(actions->ContextMenu(list));
        const QRect row = list->visualRect(rows.first());
        const QPoint at = list->viewport()->mapTo(frame, row.center() + QPoint(10, 4));
        menu->setActiveAction(menu->actions().value(0));
        menu->adjustSize();
        QPainter painter(&shot);
        painter.drawPixmap(at, menu->grab());
    }
    if (!shot.save(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "vorpex_preview_shot: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
