#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "catalogue/NameCodec.h"

class CDirView;
class CFilesView;
class CMessageSink;
class CPackFile;

// The one open archive. The document owns the catalogue (m_pPackFile) from the open that built it until the
// next successful open replaces it or the document goes; the views only point at it. It tells whoever shows
// the catalogue through its signals and calls no view itself. GUI thread only.
class CVorpexDoc : public QObject {
    Q_OBJECT
public:
    // Messages of opening (the file cannot be opened, the reader's complaints) go to `sink`, not owned.
    explicit CVorpexDoc(CMessageSink* sink, QObject* parent = nullptr);
    ~CVorpexDoc() override;

    void SetMessageSink(CMessageSink* sink) { m_pSink = sink; }

    // New: the open archive, if any, stays shown. Always true.
    bool OnNewDocument();
    // Builds a new catalogue from `path`, puts it in place of the previous one (closed and destroyed) and
    // announces it (CatalogueReplacing, then CatalogueOpened). False, with a message and nothing changed,
    // when the file cannot be opened for reading at all; true otherwise, also when the reader found the file
    // damaged and kept only part.
    bool OnOpenDocument(const QString& path);
    // Has the views show the current catalogue again (CatalogueOpened); nothing when there is none.
    void RefreshViews();

    // What the status bar tells after an open: the reader's troubles, or the folder and file counts.
    QString ReadSummary() const;
    const QString& GetPathName() const { return m_strPathName; }
    const CNameCodec& Codec() const { return *m_pCodec; }
    // Decodes names from the code page `encoding` (any name iconv knows) from now on: whoever shows the
    // catalogue lets go of it and the old codec (CatalogueReplacing) and shows it again (CatalogueOpened).
    // The archive itself never changes. False, with nothing changed, for an encoding iconv does not know.
    bool SetEncoding(const std::string& encoding);

    std::unique_ptr<CPackFile> m_pPackFile;
    // The panes that show this document, set by the main frame that makes them; not owning, never called
    // from here.
    CDirView* m_pDirView = nullptr;
    CFilesView* m_pFilesView = nullptr;

signals:
    // The catalogue `old` (null when there is none) is about to be closed and destroyed (a new one replaces
    // it, on the GUI thread, right after this returns): whoever still shows or works on it lets go of it now.
    void CatalogueReplacing(const CPackFile* old);
    // `pack` is now the current catalogue (owned by the document until the next CatalogueReplacing).
    void CatalogueOpened(const CPackFile* pack);

private:
    CMessageSink* m_pSink;
    std::unique_ptr<CNameCodec> m_pCodec; // Windows-1252 until SetEncoding
    QString m_strPathName;
};
