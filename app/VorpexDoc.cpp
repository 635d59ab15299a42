#include "app/VorpexDoc.h"

#include <QApplication>
#include <QFile>
#include <QScopeGuard>
#include <QStringList>
#include <new>

#include "catalogue/PackFile.h"
#include "platform/MessageSink.h"
#include "platform/MessageTexts.h"

CVorpexDoc::CVorpexDoc(CMessageSink* sink, QObject* parent)
    : QObject(parent), m_pSink(sink), m_pCodec(std::make_unique<CNameCodec>()) {}

bool CVorpexDoc::SetEncoding(const std::string& encoding) {
    auto codec = std::make_unique<CNameCodec>(encoding);
    if (!codec->IsValid())
        return false;
    if (m_pPackFile)
        emit CatalogueReplacing(m_pPackFile.get());
    m_pCodec = std::move(codec);
    if (m_pPackFile)
        emit CatalogueOpened(m_pPackFile.get());
    return true;
}

CVorpexDoc::~CVorpexDoc() {
    if (m_pPackFile && m_pPackFile->IsOpen())
        m_pPackFile->Close();
}

bool CVorpexDoc::OnNewDocument() {
    return true;
}

bool CVorpexDoc::OnOpenDocument(const QString& path) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    CNullSink quiet;
    // Only the reader opens the file, without blocking: what it cannot read as an archive (missing,
    // unreadable, a folder, a FIFO, a socket) gets its "Error opening file." and changes nothing. The reader
    // may show its messages (in modal boxes) while the views still show the previous catalogue, which stays
    // valid until the new one is in place.
    std::unique_ptr<CPackFile> pack;
    try {
        pack = std::make_unique<CPackFile>(QFile::encodeName(path).toStdString(), m_pSink ? *m_pSink : quiet);
    } catch (const std::bad_alloc&) {
        // Out of memory: the previous archive stays open.
        if (m_pSink)
            m_pSink->Report({kErrorOpeningFile, {}, {}, false});
        return false;
    }
    if (!pack->IsOpen())
        return false;

    // Whoever shows the previous catalogue lets go of it before it is closed and destroyed.
    emit CatalogueReplacing(m_pPackFile.get());
    if (m_pPackFile && m_pPackFile->IsOpen())
        m_pPackFile->Close();
    m_pPackFile = std::move(pack);
    m_strPathName = path;
    RefreshViews();
    return true;
}

void CVorpexDoc::RefreshViews() {
    if (m_pPackFile)
        emit CatalogueOpened(m_pPackFile.get());
}

static QString Count(uint64_t n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromLatin1(n == 1 ? one : many));
}

QString CVorpexDoc::ReadSummary() const {
    if (!m_pPackFile)
        return {};
    const CPackFile& pack = *m_pPackFile;
    const CReadReport& report = pack.GetReport();
    if (report.IsClean())
        return Count(pack.GetFolderCount(), "folder", "folders") + QStringLiteral(", ") +
               Count(pack.GetEntryCount(), "file", "files");

    QStringList troubles;
    if (report.m_nUnknownRecords)
        troubles << Count(report.m_nUnknownRecords, "record", "records") +
                        QStringLiteral(" of unknown type skipped");
    if (report.m_nListsCut)
        troubles << Count(report.m_nListsCut, "list", "lists") +
                        QString::fromLatin1(report.m_bEndsInsideRecord ? kListsCutInsideRecord
                                                                       : kListsCutShort);
    if (report.m_nRepeated)
        troubles << Count(report.m_nRepeated, "list", "lists") +
                        QStringLiteral(" ran into records already read");
    if (report.m_bNestingLimit)
        troubles
            << QStringLiteral("folders nested deeper than %1 levels were not read").arg(CPackFile::kMaxDepth);
    if (report.m_bReadError)
        troubles << QStringLiteral("the file could not be read to its end");
    return QStringLiteral("Damaged archive: ") + troubles.join(QStringLiteral("; ")) + QStringLiteral(" (") +
           Count(pack.GetFolderCount(), "folder", "folders") + QStringLiteral(", ") +
           Count(pack.GetEntryCount(), "file", "files") + QStringLiteral(" read).");
}
