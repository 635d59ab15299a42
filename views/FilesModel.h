#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QString>

class CNameCodec;
class CPackEntry;
class CPackFile;
class CPackFolder;

// The contents of one folder as the rows of the file list: first a row for each sub-folder, then a row for
// each of the folder's own files, both in archive order. The rows are read from the folder itself (its
// m_Children and m_Files) whenever the view asks, so showing a folder costs the same for ten rows or a
// hundred thousand. Columns: 0 the name, 1 the size ("12KB", empty for a folder), 2 the type ("File
// Folder" for a folder, empty for a file).
// The catalogue and the codec belong to the document; Clear must be called before they go. GUI thread only.
class CFilesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr const char* kFolderType = "File Folder";

    explicit CFilesModel(QObject* parent = nullptr);

    void ShowFolder(const CPackFile* pack, const CPackFolder* folder, const CNameCodec* codec);
    void Clear();
    void SetIcons(const QIcon& folder, const QIcon& file);

    const CPackFolder* Shown() const { return m_pFolder; }
    const CNameCodec* Codec() const { return m_pCodec; }
    bool IsFolderRow(int row) const;
    const CPackFolder* FolderAt(int row) const; // null for a file row or no row
    const CPackEntry* EntryAt(int row) const;   // null for a folder row or no row
    // The raw name bytes of a row.
    std::string_view RawName(int row) const;
    QString DisplayName(int row) const;

    // The size text of a file: whole kilobytes, rounded down, and "KB".
    static QString SizeText(uint32_t size);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    int FolderRows() const;

    const CPackFile* m_pPack = nullptr;
    const CPackFolder* m_pFolder = nullptr;
    const CNameCodec* m_pCodec = nullptr;
    QIcon m_FolderIcon;
    QIcon m_FileIcon;
};
