#pragma once

#include <QUrl>
#include <memory>
#include <string>
#include <vector>

#include "extract/StagingArea.h"

class CMessageSink;
class CVorpexDoc;
class QMimeData;
class QWidget;

// Files taken out of the archive for other programs: opened with the desktop's program for their type or
// dragged onto a file manager. They leave the archive only through the extraction job, with its progress
// and Cancel, each time into a fresh slot of a private staging folder of this run that goes when this
// object does. GUI thread only.
class StagedFiles {
public:
    // `window` parents the progress dialog.
    StagedFiles(CVorpexDoc* doc, QWidget* window);
    ~StagedFiles();

    // Where refusals and the extraction's messages go (not owned; null reports nothing).
    void setMessageSink(CMessageSink* sink) { m_sink = sink; }
    CMessageSink& sink() const;

    // Extracts `selection` into a fresh slot; what was made there, in selection order (nothing when
    // cancelled or refused).
    std::vector<CStagingArea::CMade> stage(const CSelection& selection);
    // The same, offered as text/uri-list; null when nothing was made.
    QMimeData* mimeData(const CSelection& selection);

    static QUrl urlOf(const std::string& path);

private:
    CVorpexDoc* m_document;
    QWidget* m_window;
    CMessageSink* m_sink = nullptr;
    std::unique_ptr<CStagingArea> m_staging; // made on first use
};
