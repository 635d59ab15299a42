// vorpex_screenshot ARCHIVE OUT.png [FOLDER]
// vorpex_screenshot ARCHIVE OUT.png FOLDER --preview|--menu|--edit FILE
// vorpex_screenshot --about OUT.png
// Opens ARCHIVE in the main window, drawn offscreen, selects FOLDER (a path such as "\\DATA\\MAPS"; the
// first top-level folder by default) and writes a picture of the window to OUT.png. Settings go to a
// temporary place, not the user's. With --about it draws the About box instead. With --preview the row FILE
// is selected with the preview pane on; with --menu the rows' context menu is drawn open over FILE; with
// --edit the archive is edited in memory (FILE renamed to OLD_FILE, a new file and a new folder added; the
// archive itself is never written) and the Edit menu is drawn open.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QSettings>
#include <QSplitter>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <memory>

#include "app/AboutDlg.h"
#include "app/EditCommands.h"
#include "app/EntryCommands.h"
#include "app/MainFrame.h"
#include "app/PreviewController.h"
#include "app/VorpexApp.h"
#include "app/VorpexDoc.h"
#include "catalogue/PackFile.h"
#include "views/DirView.h"
#include "views/FilesView.h"
#include "views/MediaView.h"
#include "views/PreviewPane.h"
#include "views/SoundOutput.h"
#include "views/SoundView.h"

using namespace vorpex;

namespace {

// The picture shows a sound as a desktop with a sound device plays it, a third of the way in; nothing is
// heard.
struct PictureOutput : SoundOutput {
    bool isAvailable() const override { return true; }
    bool start(const QAudioFormat&, const QByteArray& pcm, qint64) override {
        m_at = pcm.size() / 3;
        return true;
    }
    void stop() override {}
    qint64 position() const override { return m_at; }
    qint64 m_at = 0;
};

// The window with the row `file` of the list current, and the preview pane on (--preview) or the rows'
// context menu open over it (--menu; a menu is a window of its own, so it is drawn onto the picture).
bool shotOfRow(MainFrame* frame, const QByteArray& mode, const QString& file, QPixmap& shot) {
    FilesView* list = frame->filesView();
    frame->resize(820, 440);
    frame->preview()->action()->setChecked(mode == "--preview");
    const QModelIndexList rows = list->model()->match(list->model()->index(0, 0), Qt::DisplayRole, file);
    if (rows.isEmpty())
        return false;
    list->setCurrentIndex(rows.first());
    QApplication::processEvents();
    // A picture or sound of an old game is decoded beside the window.
    for (int i = 0; i < 200 && frame->preview()->pane()->mediaView()->isDecoding(); ++i) {
        QThread::msleep(10);
        QApplication::processEvents();
    }
    SoundView* sound = frame->preview()->pane()->mediaView()->soundView();
    if (!sound->pcm().isEmpty()) {
        sound->setOutput(new PictureOutput);
        sound->play();
        QThread::msleep(60);
    }
    QApplication::processEvents();
    shot = frame->grab();
    if (mode == "--menu") {
        std::unique_ptr<QMenu> menu(frame->entryCommands()->contextMenu(list));
        const QPoint at =
            list->viewport()->mapTo(frame, list->visualRect(rows.first()).center() + QPoint(10, 4));
        menu->setActiveAction(menu->actions().value(0));
        menu->adjustSize();
        QPainter painter(&shot);
        painter.drawPixmap(at, menu->grab());
    }
    return true;
}

// Edits shown as the user sees them before saving: changed rows in bold, "Modified" in the status bar, and
// the Edit menu open with Undo naming the last edit.
bool shotOfEdits(MainFrame* frame, const QString& file, const QTemporaryDir& scratch, QPixmap& shot) {
    FilesView* list = frame->filesView();
    EditCommands* edits = frame->editCommands();
    // A wide tree: the Edit menu drawn open hangs over it, not over the rows.
    frame->resize(900, 400);
    frame->findChild<QSplitter*>()->setSizes({340, 560});
    const QModelIndexList rows = list->model()->match(list->model()->index(0, 0), Qt::DisplayRole, file);
    if (rows.isEmpty())
        return false;
    list->model()->setData(rows.first(), QStringLiteral("OLD_") + file);
    QFile map(scratch.filePath(QStringLiteral("E1M9.MAP")));
    if (!map.open(QIODevice::WriteOnly) || map.write(QByteArray(2048, 'm')) != 2048)
        return false;
    map.close();
    if (!edits->addPaths(list->shownFolder(), {map.fileName()}))
        return false;
    frame->setActiveView(list);
    list->setCurrentIndex(list->model()->index(list->model()->rowCount() - 1, 0));
    QApplication::processEvents();
    shot = frame->grab();
    QMenu* edit = frame->menuBar()->findChild<QMenu*>(QStringLiteral("EditMenu"));
    edit->adjustSize();
    QPainter painter(&shot);
    const QRect title = frame->menuBar()->actionGeometry(edit->menuAction());
    painter.drawPixmap(frame->menuBar()->mapTo(frame, title.bottomLeft()), edit->grab());
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApp(argc, argv);
    const QByteArray mode = argc == 6 ? QByteArray(argv[4]) : QByteArray();
    if (argc < 3 || argc == 5 || argc > 6 ||
        (argc == 6 && mode != "--preview" && mode != "--menu" && mode != "--edit")) {
        std::fputs("usage: vorpex_screenshot ARCHIVE OUT.png [FOLDER [--preview|--menu|--edit FILE]]\n",
                   stderr);
        return 2;
    }
    if (argc == 3 && QByteArray(argv[1]) == "--about") {
        AboutDlg box;
        box.show();
        QApplication::processEvents();
        return box.grab().save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    }
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());

    RecordingSink messages;
    VorpexApp app;
    app.setMessageSink(&messages);
    if (!app.start({QString::fromLocal8Bit(argv[1])})) {
        std::fprintf(stderr, "vorpex_screenshot: cannot open %s\n", argv[1]);
        return 1;
    }
    MainFrame* frame = app.mainWnd();
    frame->resize(700, 420);
    QApplication::processEvents();

    const PackFile* pack = app.document()->m_packFile.get();
    const PackFolder* chosen = pack->top().children().empty() ? nullptr : pack->top().children()[0];
    if (argc >= 4) {
        std::vector<const PackFolder*> todo(pack->top().children().begin(), pack->top().children().end());
        chosen = nullptr;
        while (!todo.empty() && !chosen) {
            const PackFolder* folder = todo.back();
            todo.pop_back();
            if (folder->path() == argv[3])
                chosen = folder;
            todo.insert(todo.end(), folder->children().begin(), folder->children().end());
        }
    }
    if (chosen)
        frame->dirView()->selectFolder(chosen);
    frame->filesView()->setFocus();
    QApplication::processEvents();

    QPixmap shot;
    if (mode == "--edit") {
        if (!shotOfEdits(frame, QString::fromLocal8Bit(argv[5]), settingsDir, shot)) {
            std::fprintf(stderr, "vorpex_screenshot: cannot edit row %s\n", argv[5]);
            return 1;
        }
        // The edits were for the picture only: the window goes without saving them.
        frame->editCommands()->setAsker(
            [](const QString&, QMessageBox::StandardButtons) { return QMessageBox::Discard; });
    } else if (argc == 6 && !shotOfRow(frame, mode, QString::fromLocal8Bit(argv[5]), shot)) {
        std::fprintf(stderr, "vorpex_screenshot: no row %s\n", argv[5]);
        return 1;
    }
    if (shot.isNull())
        shot = frame->grab();
    if (!shot.save(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "vorpex_screenshot: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
