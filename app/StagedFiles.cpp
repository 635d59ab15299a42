#include "app/StagedFiles.h"

#include <QFile>
#include <QMimeData>

#include "app/VorpexDoc.h"
#include "catalogue/PackFile.h"
#include "jobs/ExtractJob.h"

namespace vorpex {

StagedFiles::StagedFiles(VorpexDoc* doc, QWidget* window) : m_document(doc), m_window(window) {}

StagedFiles::~StagedFiles() = default;

MessageSink& StagedFiles::sink() const {
    static NullSink none;
    return m_sink ? *m_sink : none;
}

// The staging folder's paths are absolute and normalised, so the URL names no host.
QUrl StagedFiles::urlOf(const std::string& path) {
    return QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(path)));
}

std::vector<StagingArea::Made> StagedFiles::stage(const Selection& selection) {
    const PackFile* pack = m_document ? m_document->m_packFile.get() : nullptr;
    if (!pack)
        return {};
    // A refused base is looked at again next time: the user may have mended it meanwhile.
    if (!m_staging || !m_staging->isValid())
        m_staging = std::make_unique<StagingArea>();
    if (!m_staging->isValid()) {
        sink().report(m_staging->refusal());
        return {};
    }
    StagingArea::Slot slot = m_staging->newSlot();
    if (!slot.m_fd.isOpen()) {
        sink().report({FolderWalk::kListMakeDir, m_staging->path(), {}, false});
        return {};
    }
    ExtractJob job(*pack, m_document->codec(), sink(), FolderWalk::kListMakeDir, m_window);
    if (job.run(slot.m_fd.get(), selection).m_cancelled) {
        m_staging->dropSlot(slot);
        return {};
    }
    return StagingArea::madePaths(slot, selection, m_document->codec());
}

QMimeData* StagedFiles::mimeData(const Selection& selection) {
    const std::vector<StagingArea::Made> made = stage(selection);
    if (made.empty())
        return nullptr;
    QList<QUrl> urls;
    for (const StagingArea::Made& item : made)
        urls << urlOf(item.m_path);
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

} // namespace vorpex
