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
// next successful open replaces it or the document goes; the views only point at it. It knows both views,
// which register themselves when they are made. GUI thread only.
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
    // has both views show it. False, with a message and nothing changed, when the file cannot be opened
    // for reading at all; true otherwise, also when the reader found the file damaged and kept only part.
    bool OnOpenDocument(const QString& path);
    // Points both views at the current catalogue: the list emptied, the tree rebuilt.
    void RefreshViews();

    // What the status bar tells after an open: the reader's troubles, or the folder and file counts.
    QString ReadSummary() const;
    const QString& GetPathName() const { return m_strPathName; }
    const CNameCodec& Codec() const { return m_Codec; }

    std::unique_ptr<CPackFile> m_pPackFile;
    CDirView* m_pDirView = nullptr;     // set by the tree view when it is made; not owning
    CFilesView* m_pFilesView = nullptr; // set by the list view when it is made; not owning

    static constexpr const char* kCannotOpen = "Cannot open file ";

signals:
    // The catalogue `old` is about to be closed and destroyed (a new one replaces it, on the GUI thread,
    // right after this returns): whoever still works on it must let go of it now.
    void CatalogueReplacing(const CPackFile* old);

private:
    CMessageSink* m_pSink;
    CNameCodec m_Codec; // names are shown as Windows-1252
    QString m_strPathName;
};
