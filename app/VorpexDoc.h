#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <sys/stat.h>

#include "catalogue/NameCodec.h"

namespace vorpex {

class DirView;
class FilesView;
class CatalogueEdit;
class MessageSink;
class PackFile;

// The one open archive. The document owns the catalogue (m_packFile) from the open that built it until the
// next successful open replaces it or the document goes; the views only point at it. It tells whoever shows
// the catalogue through its signals and calls no view itself. GUI thread only.
class VorpexDoc : public QObject {
    Q_OBJECT
public:
    // Messages of opening (the file cannot be opened, the reader's complaints) go to `sink`, not owned.
    explicit VorpexDoc(MessageSink* sink, QObject* parent = nullptr);
    ~VorpexDoc() override;

    void setMessageSink(MessageSink* sink) { m_sink = sink; }

    // New: the open archive, if any, stays shown. Always true.
    bool onNewDocument();
    // Builds a new catalogue from `path`, puts it in place of the previous one (closed and destroyed) and
    // announces it (CatalogueReplacing, then CatalogueOpened). False, with a message and nothing changed,
    // when the file cannot be opened for reading at all; true otherwise, also when the reader found the file
    // damaged and kept only part.
    bool onOpenDocument(const QString& path);
    // Has the views show the current catalogue again (CatalogueOpened); nothing when there is none.
    void refreshViews();

    // What the status bar tells after an open: the reader's troubles, or the folder and file counts.
    QString readSummary() const;
    const QString& pathName() const { return m_pathName; }
    const NameCodec& codec() const { return *m_codec; }
    // Decodes names from the code page `encoding` (any name iconv knows) from now on: whoever shows the
    // catalogue lets go of it and the old codec (CatalogueReplacing) and shows it again (CatalogueOpened).
    // The archive itself never changes. False, with nothing changed, for an encoding iconv does not know.
    bool setEncoding(const std::string& encoding);

    // Replaces the archive shown with a new, empty one that has no file yet ("Untitled").
    void newArchive();
    bool isUntitled() const { return m_untitled; }
    // The name the user knows the archive by: its file's name, or "Untitled".
    QString displayName() const;
    // The edits of the archive shown, made on first use; null without an archive.
    CatalogueEdit* edit();
    const CatalogueEdit* currentEdit() const { return m_edit.get(); }
    // True while the archive shown differs from its file (or a new archive holds anything).
    bool isModified() const;
    // The archive's file as it was when read: saving over it refuses a file changed since.
    const struct stat& openedStat() const { return m_opened; }

    std::unique_ptr<PackFile> m_packFile;
    // The panes that show this document, set by the main frame that makes them; not owning, never called
    // from here.
    DirView* m_dirView = nullptr;
    FilesView* m_filesView = nullptr;

signals:
    // The catalogue `old` (null when there is none) is about to be closed and destroyed (a new one replaces
    // it, on the GUI thread, right after this returns): whoever still shows or works on it lets go of it now.
    void catalogueReplacing(const PackFile* old);
    // `pack` is now the current catalogue (owned by the document until the next CatalogueReplacing).
    void catalogueOpened(const PackFile* pack);

private:
    MessageSink* m_sink;
    std::unique_ptr<NameCodec> m_codec; // Windows-1252 until SetEncoding
    QString m_pathName;
    std::unique_ptr<CatalogueEdit> m_edit; // goes before the catalogue it edits
    struct stat m_opened {};
    bool m_untitled = false;
};

} // namespace vorpex
