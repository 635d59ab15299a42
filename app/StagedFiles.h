#pragma once

#include <QUrl>
#include <memory>
#include <string>
#include <vector>

#include "extract/StagingArea.h"

class QMimeData;
class QWidget;

namespace vorpex {

class MessageSink;
class VorpexDoc;

// Files taken out of the archive for other programs: opened with the desktop's program for their type or
// dragged onto a file manager. They leave the archive only through the extraction job, with its progress
// and Cancel, each time into a fresh slot of a private staging folder of this run that goes when this
// object does. GUI thread only.
class StagedFiles {
public:
    // `window` parents the progress dialog.
    StagedFiles(VorpexDoc* doc, QWidget* window);
    ~StagedFiles();

    // Where refusals and the extraction's messages go (not owned; null reports nothing).
    void setMessageSink(MessageSink* sink) { m_sink = sink; }
    MessageSink& sink() const;

    // Extracts `selection` into a fresh slot; what was made there, in selection order (nothing when
    // cancelled or refused).
    std::vector<StagingArea::Made> stage(const Selection& selection);
    // The same, offered as text/uri-list; null when nothing was made.
    QMimeData* mimeData(const Selection& selection);

    static QUrl urlOf(const std::string& path);

private:
    VorpexDoc* m_document;
    QWidget* m_window;
    MessageSink* m_sink = nullptr;
    std::unique_ptr<StagingArea> m_staging; // made on first use
};

} // namespace vorpex
