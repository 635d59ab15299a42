#include "app/VorpexDoc.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStringList>
#include <new>

#include "catalogue/PackFile.h"
#include "platform/MessageSink.h"
#include "views/DirView.h"
#include "views/FilesView.h"

CVorpexDoc::CVorpexDoc(CMessageSink* sink, QObject* parent) : QObject(parent), m_pSink(sink) {}

CVorpexDoc::~CVorpexDoc() {
    if (m_pPackFile && m_pPackFile->IsOpen())
        m_pPackFile->Close();
}

bool CVorpexDoc::OnNewDocument() {
    return true;
}

bool CVorpexDoc::OnOpenDocument(const QString& path) {
    // A file that cannot even be opened for reading (missing, unreadable, a folder) changes nothing.
    QFile probe(path);
    if (path.isEmpty() || QFileInfo(path).isDir() || !probe.open(QIODevice::ReadOnly)) {
        if (m_pSink)
            m_pSink->Report({kCannotOpen, path.toStdString(), ".", false});
        return false;
    }
    probe.close();

    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    CNullSink quiet;
    // The reader may show its messages (in modal boxes) while the views still show the previous catalogue,
    // which stays valid until the new one is in place.
    std::unique_ptr<CPackFile> pack;
    try {
        pack = std::make_unique<CPackFile>(QFile::encodeName(path).toStdString(), m_pSink ? *m_pSink : quiet);
    } catch (const std::bad_alloc&) {
        // Out of memory: the previous archive stays open.
        if (m_pSink)
            m_pSink->Report({"Error opening file.", {}, {}, false});
        return false;
    }

    // The views let go of the previous catalogue before it is closed and destroyed.
    if (m_pFilesView) {
        m_pFilesView->DeleteAllItems();
        m_pFilesView->m_pPackFile = nullptr;
    }
    if (m_pDirView) {
        m_pDirView->DeleteAllItems();
        m_pDirView->m_pPackFile = nullptr;
    }
    if (m_pPackFile)
        emit CatalogueReplacing(m_pPackFile.get());
    if (m_pPackFile && m_pPackFile->IsOpen())
        m_pPackFile->Close();
    m_pPackFile = std::move(pack);
    m_strPathName = path;

    if (m_pDirView)
        m_pDirView->m_pPackFile = m_pPackFile.get();
    if (m_pFilesView)
        m_pFilesView->m_pPackFile = m_pPackFile.get();
    RefreshViews();
    return true;
}

void CVorpexDoc::RefreshViews() {
    if (!m_pPackFile)
        return;
    if (m_pFilesView)
        m_pFilesView->DeleteAllItems();
    if (m_pDirView)
        m_pDirView->FillTree();
}

static QString Count(uint64_t n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromLatin1(n == 1 ? one : many));
}

QString CVorpexDoc::ReadSummary() const {
    if (!m_pPackFile)
        return {};
    const CPackFile& pack = *m_pPackFile;
    if (!pack.IsOpen() && pack.GetEntries().empty() && !pack.GetFolderCount())
        return QStringLiteral("Error opening file.");
    const CReadReport& report = pack.GetReport();
    if (report.IsClean())
        return Count(pack.GetFolderCount(), "folder", "folders") + QStringLiteral(", ") +
               Count(pack.GetEntries().size(), "file", "files");

    QStringList troubles;
    if (report.m_nUnknownRecords)
        troubles << Count(report.m_nUnknownRecords, "record", "records") +
                        QStringLiteral(" of unknown type skipped");
    if (report.m_nListsCut)
        troubles << Count(report.m_nListsCut, "list", "lists") +
                        QStringLiteral(" cut short by the end of the file");
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
           Count(pack.GetEntries().size(), "file", "files") + QStringLiteral(" read).");
}
