#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>

class QAction;
class QMainWindow;
class QMenu;

namespace vorpex {

class MessageSink;
class MediaView;

// File, "Save As..." (also in the list's context menu): the picture or sound the preview shows, converted
// to today's formats, a picture to PNG and a sound to WAV, under a name the user picks. Extract gives an
// entry's own bytes; converting is this command's alone. Greyed unless the preview shows a decoded picture
// or sound. GUI thread only.
class SaveAsCommand : public QObject {
    Q_OBJECT
public:
    using SinkGetter = std::function<MessageSink*()>;
    using StatusText = std::function<void(const QString&)>;
    // Adds the command to `fileMenu` after `extract`. Failures go to the sink `sink` gives, the path
    // written to `status`.
    SaveAsCommand(QMainWindow* frame, MediaView* media, QMenu* fileMenu, QAction* extract, SinkGetter sink,
                  StatusText status);

    QAction* action() const { return m_action; }
    // The converted file's bytes; empty when nothing is shown that converts.
    std::string converted() const;
    // The entry's name with the new extension: "TITLE.PCX" gives "TITLE.png".
    QString suggestedName() const;
    // Writes the converted file at `path`, whole or not at all; a failure is reported to the sink.
    bool saveTo(const QString& path);

public slots:
    void saveAs(); // asks where, then saves

private:
    void update();

    QMainWindow* m_frame;
    MediaView* m_media;
    SinkGetter m_sink;
    StatusText m_status;
    QAction* m_action;
};

} // namespace vorpex
