#include "app/PreviewAsCommand.h"

#include <QAction>
#include <QInputDialog>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include "app/PreviewController.h"
#include "app/VorpexDoc.h"
#include "catalogue/PackFile.h"
#include "views/FilesView.h"
#include "views/PreviewPane.h"

namespace vorpex {

namespace {

struct Choice {
    const char* m_label;
    MediaKind m_kind;
};
const Choice kChoices[] = {
    {QT_TRANSLATE_NOOP("PreviewAsCommand", "Raw sound: 8-bit unsigned, mono, 11025 Hz"), MediaKind::RawPcm},
    {QT_TRANSLATE_NOOP("PreviewAsCommand", "PCX picture"), MediaKind::Pcx},
    {QT_TRANSLATE_NOOP("PreviewAsCommand", "TGA picture"), MediaKind::Tga},
    {QT_TRANSLATE_NOOP("PreviewAsCommand", "Deluxe Paint picture (LBM, IFF)"), MediaKind::Ilbm},
    {QT_TRANSLATE_NOOP("PreviewAsCommand", "Palette of 256 colours"), MediaKind::Palette},
    {QT_TRANSLATE_NOOP("PreviewAsCommand", "WAV sound"), MediaKind::Wav},
    {QT_TRANSLATE_NOOP("PreviewAsCommand", "Creative Voice sound (VOC)"), MediaKind::Voc},
    {QT_TRANSLATE_NOOP("PreviewAsCommand", "MIDI file"), MediaKind::Midi},
};

} // namespace

PreviewAsCommand::PreviewAsCommand(QMainWindow* frame, PreviewController* preview, FilesView* list,
                                   VorpexDoc* doc)
    : QObject(frame), m_frame(frame), m_preview(preview), m_list(list), m_document(doc) {
    m_action = new QAction(tr("Preview &As..."), frame);
    m_action->setObjectName(QStringLiteral("ID_VIEW_PREVIEW_AS"));
    m_action->setStatusTip(tr("Preview the selected file as a kind of picture or sound you choose"));
    frame->addAction(m_action);
    connect(m_action, &QAction::triggered, this, &PreviewAsCommand::ask);
    if (QMenu* view = frame->menuBar()->findChild<QMenu*>(QStringLiteral("ViewMenu"))) {
        const QList<QAction*> actions = view->actions();
        const qsizetype at = actions.indexOf(preview->action());
        view->insertAction(at >= 0 && at + 1 < actions.size() ? actions[at + 1] : nullptr, m_action);
    }
    m_action->setEnabled(preview->action()->isChecked());
    connect(preview->action(), &QAction::toggled, m_action, &QAction::setEnabled);
}

void PreviewAsCommand::showAs(MediaKind kind) {
    const PackFile* pack = m_document ? m_document->m_packFile.get() : nullptr;
    const PackEntry* entry = m_list->getModel()->entryAt(m_list->currentIndex().row());
    if (m_preview->action()->isChecked() && entry)
        m_preview->pane()->showAs(pack, entry, m_document ? &m_document->codec() : nullptr, kind);
}

void PreviewAsCommand::ask() {
    if (!m_list->getModel()->entryAt(m_list->currentIndex().row()))
        return;
    QStringList labels;
    for (const Choice& choice : kChoices)
        labels << tr(choice.m_label);
    bool ok = false;
    const QString picked = QInputDialog::getItem(m_frame, tr("Preview As"), tr("Show the selected file as:"),
                                                 labels, 0, false, &ok);
    if (ok)
        showAs(kChoices[labels.indexOf(picked)].m_kind);
}

} // namespace vorpex
