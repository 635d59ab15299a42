#pragma once

#include <QObject>

#include "media/MediaTypes.h"

class QAction;
class QMainWindow;

namespace vorpex {

class FilesView;
class VorpexDoc;
class PreviewController;

// View, "Preview As...": shows the list's current file in the preview as a kind the user picks, whatever
// its content or name suggests: headerless 8-bit PCM (never guessed), or a picture, palette, sound or MIDI
// file whose name hides it. The choice holds for that file until another row is shown. Greyed while the
// preview is off. GUI thread only.
class PreviewAsCommand : public QObject {
    Q_OBJECT
public:
    // Adds the command to the View menu of `frame`, after Preview.
    PreviewAsCommand(QMainWindow* frame, PreviewController* preview, FilesView* list, VorpexDoc* doc);

    QAction* action() const { return m_action; }
    // Shows the current file as `kind` (the dialog's answer).
    void showAs(MediaKind kind);

public slots:
    void ask(); // asks which kind, then shows

private:
    QMainWindow* m_frame;
    PreviewController* m_preview;
    FilesView* m_list;
    VorpexDoc* m_document;
    QAction* m_action;
};

} // namespace vorpex
