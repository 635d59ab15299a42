// extractgui_shot ARCHIVE OUT.png
// Draws the main window offscreen on ARCHIVE with its first folder selected and the Extract dialog open over
// it, as the window manager would frame it, and writes the picture to OUT.png (for the documentation).
// Settings go to a temporary place, not the user's.
#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>

#include "app/MainFrame.h"
#include "app/VorpexApp.h"
#include "app/VorpexDoc.h"
#include "catalogue/PackFile.h"
#include "dialogs/ExtractDlg.h"
#include "views/DirView.h"
#include "views/FilesView.h"

using namespace vorpex;

namespace {

// A plain caption bar and border around `content`, since offscreen windows have no decorations.
QPixmap framed(const QPixmap& content, const QString& title, const QPalette& palette) {
    const int border = 1, caption = 24;
    QPixmap out(content.width() + 2 * border, content.height() + caption + 2 * border);
    QPainter p(&out);
    p.fillRect(out.rect(), palette.color(QPalette::Dark));
    p.fillRect(QRect(border, border, content.width(), caption), palette.color(QPalette::Highlight));
    p.setPen(palette.color(QPalette::HighlightedText));
    QFont bold = QApplication::font();
    bold.setBold(true);
    p.setFont(bold);
    p.drawText(QRect(border + 8, border, content.width() - 40, caption), Qt::AlignVCenter | Qt::AlignLeft,
               title);
    p.drawText(QRect(border + content.width() - 24, border, 20, caption), Qt::AlignCenter,
               QStringLiteral("\u2715"));
    p.drawPixmap(border, border + caption, content);
    return out;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApp(argc, argv);
    if (argc != 3) {
        std::fputs("usage: extractgui_shot ARCHIVE OUT.png\n", stderr);
        return 2;
    }
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QSettings(QStringLiteral("Corvane"), QStringLiteral("Vorpex"))
        .setValue(QStringLiteral("Settings/ExtractDir"), QStringLiteral("/home/player/games/extracted"));

    RecordingSink messages;
    VorpexApp app;
    app.setMessageSink(&messages);
    if (!app.start({QString::fromLocal8Bit(argv[1])})) {
        std::fprintf(stderr, "extractgui_shot: cannot open %s\n", argv[1]);
        return 1;
    }
    MainFrame* frame = app.mainWnd();
    frame->resize(640, 400);
    frame->show();
    const PackFile* pack = app.document()->m_packFile.get();
    if (!pack->top().children().empty())
        frame->dirView()->selectFolder(pack->top().children().front());
    frame->setActiveView(frame->dirView());
    QApplication::processEvents();

    ExtractDlg dlg(app.m_extractDir, frame);
    dlg.m_editFolder->setText(dlg.m_folder);
    dlg.show();
    dlg.m_editFolder->setFocus();
    dlg.m_editFolder->selectAll();
    QApplication::processEvents();

    QPixmap shot = framed(frame->grab(), frame->windowTitle(), frame->palette());
    const QPixmap box = framed(dlg.grab(), dlg.windowTitle(), dlg.palette());
    {
        QPainter p(&shot);
        p.drawPixmap((shot.width() - box.width()) / 2, (shot.height() - box.height()) / 2, box);
    }
    if (!shot.save(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "extractgui_shot: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
