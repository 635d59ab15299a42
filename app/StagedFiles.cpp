#include "app/StagedFiles.h"

#include <QFile>
#include <QMimeData>

#include "app/VorpexDoc.h"
#include "catalogue/PackFile.h"
#include "jobs/ExtractJob.h"

StagedFiles::StagedFiles(CVorpexDoc* doc, QWidget* window) : m_document(doc), m_window(window) {}

StagedFiles::~StagedFiles() = default;

CMessageSink& StagedFiles::sink() const {
    static CNullSink none;
    return m_sink ? *m_sink : none;
}

// The staging folder's paths are absolute and normalised, so the URL names no host.
QUrl StagedFiles::urlOf(const std::string& path) {
    return QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(path)));
}

std::vector<CStagingArea::CMade> StagedFiles::stage(const CSelection& selection) {
    const CPackFile* pack = m_document ? m_document->m_pPackFile.get() : nullptr;
    if (!pack)
        return {};
    // A refused base is looked at again next time: the user may have mended it meanwhile.
    if (!m_staging || !m_staging->IsValid())
        m_staging = std::make_unique<CStagingArea>();
    if (!m_staging->IsValid()) {
        sink().Report(m_staging->Refusal());
        return {};
    }
    CStagingArea::CSlot slot = m_staging->NewSlot();
    if (!slot.m_Fd.IsOpen()) {
        sink().Report({CFolderWalk::kListMakeDir, m_staging->Path(), {}, false});
        return {};
    }
    CExtractJob job(*pack, m_document->Codec(), sink(), CFolderWalk::kListMakeDir, m_window);
    if (job.Run(slot.m_Fd.Get(), selection).m_bCancelled) {
        m_staging->DropSlot(slot);
        return {};
    }
    return CStagingArea::MadePaths(slot, selection, m_document->Codec());
}

QMimeData* StagedFiles::mimeData(const CSelection& selection) {
    const std::vector<CStagingArea::CMade> made = stage(selection);
    if (made.empty())
        return nullptr;
    QList<QUrl> urls;
    for (const CStagingArea::CMade& item : made)
        urls << urlOf(item.m_strPath);
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}
