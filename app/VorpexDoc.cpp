#include "app/VorpexDoc.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStringList>
#include <new>
#include <sys/mman.h>

#include "catalogue/CatalogueEdit.h"
#include "catalogue/PackFile.h"
#include "platform/MessageSink.h"
#include "platform/MessageTexts.h"

namespace vorpex {

VorpexDoc::VorpexDoc(MessageSink* sink, QObject* parent)
    : QObject(parent), m_sink(sink), m_codec(std::make_unique<NameCodec>()) {}

bool VorpexDoc::setEncoding(const std::string& encoding) {
    auto codec = std::make_unique<NameCodec>(encoding);
    if (!codec->isValid())
        return false;
    if (m_packFile)
        emit catalogueReplacing(m_packFile.get());
    m_codec = std::move(codec);
    if (m_packFile)
        emit catalogueOpened(m_packFile.get());
    return true;
}

VorpexDoc::~VorpexDoc() {
    m_edit.reset();
    if (m_packFile && m_packFile->isOpen())
        m_packFile->close();
}

bool VorpexDoc::onNewDocument() {
    return true;
}

bool VorpexDoc::onOpenDocument(const QString& path) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    NullSink quiet;
    // Only the reader opens the file, without blocking: what it cannot read as an archive (missing,
    // unreadable, a folder, a FIFO, a socket) gets its "Error opening file." and changes nothing. The reader
    // may show its messages (in modal boxes) while the views still show the previous catalogue, which stays
    // valid until the new one is in place.
    std::unique_ptr<PackFile> pack;
    try {
        pack = std::make_unique<PackFile>(QFile::encodeName(path).toStdString(), m_sink ? *m_sink : quiet);
    } catch (const std::bad_alloc&) {
        // Out of memory: the previous archive stays open.
        if (m_sink)
            m_sink->report({kErrorOpeningFile, {}, {}, false});
        return false;
    }
    if (!pack->isOpen())
        return false;

    // Whoever shows the previous catalogue lets go of it before it is closed and destroyed.
    emit catalogueReplacing(m_packFile.get());
    m_edit.reset();
    if (m_packFile && m_packFile->isOpen())
        m_packFile->close();
    m_packFile = std::move(pack);
    m_pathName = path;
    m_untitled = false;
    if (::fstat(m_packFile->fd(), &m_opened) != 0)
        m_opened = {};
    refreshViews();
    return true;
}

void VorpexDoc::newArchive() {
    NullSink quiet;
    auto pack = std::make_unique<PackFile>(FileDescriptor(::memfd_create("untitled", MFD_CLOEXEC)),
                                           std::string("Untitled"), quiet);
    emit catalogueReplacing(m_packFile.get());
    m_edit.reset();
    if (m_packFile && m_packFile->isOpen())
        m_packFile->close();
    m_packFile = std::move(pack);
    m_pathName.clear();
    m_untitled = true;
    m_opened = {};
    refreshViews();
}

QString VorpexDoc::displayName() const {
    return m_untitled ? QStringLiteral("Untitled") : QFileInfo(m_pathName).fileName();
}

CatalogueEdit* VorpexDoc::edit() {
    if (!m_edit && m_packFile)
        m_edit =
            std::make_unique<CatalogueEdit>(*m_packFile, QFile::encodeName(QDir::tempPath()).toStdString());
    return m_edit.get();
}

bool VorpexDoc::isModified() const {
    return m_edit && m_edit->isModified();
}

void VorpexDoc::refreshViews() {
    if (m_packFile)
        emit catalogueOpened(m_packFile.get());
}

static QString count(uint64_t n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromLatin1(n == 1 ? one : many));
}

QString VorpexDoc::readSummary() const {
    if (!m_packFile)
        return {};
    const PackFile& pack = *m_packFile;
    const ReadReport& report = pack.report();
    // Edits change the counts; what the reader found wrong stays as it found it.
    if (report.isClean() && m_edit)
        return count(m_edit->folderCount(), "folder", "folders") + QStringLiteral(", ") +
               count(m_edit->fileCount(), "file", "files");
    if (report.isClean())
        return count(pack.folderCount(), "folder", "folders") + QStringLiteral(", ") +
               count(pack.entryCount(), "file", "files");

    QStringList troubles;
    if (report.m_unknownRecords)
        troubles << count(report.m_unknownRecords, "record", "records") +
                        QStringLiteral(" of unknown type skipped");
    if (report.m_listsCut)
        troubles << count(report.m_listsCut, "list", "lists") +
                        QString::fromLatin1(report.m_endsInsideRecord ? kListsCutInsideRecord
                                                                      : kListsCutShort);
    if (report.m_repeated)
        troubles << count(report.m_repeated, "list", "lists") +
                        QStringLiteral(" ran into records already read");
    if (report.m_nestingLimit)
        troubles
            << QStringLiteral("folders nested deeper than %1 levels were not read").arg(PackFile::kMaxDepth);
    if (report.m_readError)
        troubles << QStringLiteral("the file could not be read to its end");
    return QStringLiteral("Damaged archive: ") + troubles.join(QStringLiteral("; ")) + QStringLiteral(" (") +
           count(pack.folderCount(), "folder", "folders") + QStringLiteral(", ") +
           count(pack.entryCount(), "file", "files") + QStringLiteral(" read).");
}

} // namespace vorpex
