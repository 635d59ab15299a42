#include "app/SaveAsCommand.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QSaveFile>

#include "media/MediaEncoders.h"
#include "platform/MessageSink.h"
#include "platform/MessageTexts.h"
#include "views/MediaView.h"

namespace vorpex {

SaveAsCommand::SaveAsCommand(QMainWindow* frame, MediaView* media, QMenu* fileMenu, QAction* extract,
                             SinkGetter sink, StatusText status)
    : QObject(frame), m_frame(frame), m_media(media), m_sink(std::move(sink)), m_status(std::move(status)) {
    m_action = new QAction(tr("Save Pre&view As..."), frame);
    m_action->setObjectName(QStringLiteral("ID_FILE_SAVE_AS"));
    m_action->setStatusTip(tr("Save the previewed picture as PNG or sound as WAV"));
    frame->addAction(m_action);
    connect(m_action, &QAction::triggered, this, &SaveAsCommand::saveAs);
    if (fileMenu) {
        const QList<QAction*> actions = fileMenu->actions();
        const qsizetype at = actions.indexOf(extract);
        fileMenu->insertAction(at >= 0 && at + 1 < actions.size() ? actions[at + 1] : nullptr, m_action);
    }
    connect(media, &MediaView::changed, this, &SaveAsCommand::update);
    update();
}

// Only what the preview holds decides; the file is made when saved.
void SaveAsCommand::update() {
    const DecodedMedia* media = m_media->decoded();
    m_action->setEnabled(
        media && (media->m_category == MediaCategory::Picture || media->m_category == MediaCategory::Sound));
}

std::string SaveAsCommand::converted() const {
    const DecodedMedia* media = m_media->decoded();
    if (!media)
        return {};
    const bool picture = media->m_category == MediaCategory::Picture;
    if (!picture && media->m_category != MediaCategory::Sound)
        return {};
    return picture ? encodePng(media->m_picture) : encodeWav(media->m_sound);
}

QString SaveAsCommand::suggestedName() const {
    if (!m_action->isEnabled())
        return {};
    const bool picture = m_media->decoded()->m_category == MediaCategory::Picture;
    const QString name = m_media->name();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return (dot > 0 ? name.left(dot) : name) + QLatin1String(picture ? ".png" : ".wav");
}

bool SaveAsCommand::saveTo(const QString& path) {
    const std::string bytes = converted();
    auto fail = [&](const QString& why) {
        if (MessageSink* sink = m_sink ? m_sink() : nullptr)
            sink->report(
                {kCouldNotWriteFile, path.toStdString(), why.isEmpty() ? "" : ": " + why.toStdString()});
        return false;
    };
    if (bytes.empty())
        return fail(QString::fromLatin1(kSaveAsNothing));
    // Written aside and renamed into place once complete and synced.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()) || !file.commit())
        return fail(file.errorString());
    if (m_status)
        m_status(QString::fromLatin1(kSavedAs) + QDir::toNativeSeparators(path));
    return true;
}

void SaveAsCommand::saveAs() {
    const QString name = suggestedName();
    if (name.isEmpty())
        return;
    const QString filter =
        name.endsWith(QLatin1String(".png")) ? tr("PNG pictures (*.png)") : tr("WAV sounds (*.wav)");
    const QString path = QFileDialog::getSaveFileName(m_frame, tr("Save As"), name, filter);
    if (!path.isEmpty())
        saveTo(path);
}

} // namespace vorpex
