#pragma once

#include <QDialog>
#include <cstdint>
#include <string_view>

class CNameCodec;
class CPackEntry;
class CPackFile;
class CPackFolder;
class QFormLayout;

// Properties of one file or folder of the open archive: its path inside the archive, and for a file its
// size in bytes (with the list's KB text) and data offset, for a folder the count of folders and files
// below it and their total size. Modal, one command long; the catalogue is read while the dialog is made
// and never afterwards. GUI thread only.
class CPropertiesDlg : public QDialog {
    Q_OBJECT
public:
    // The catalogue's top pseudo-folder stands for the whole archive.
    CPropertiesDlg(const CPackFile& pack, const CPackFolder* folder, const CPackEntry* entry,
                   const CNameCodec& codec, QWidget* parent = nullptr);

    // The value shown beside `label` ("Path", "Size", ...); empty when there is no such line.
    QString Value(const QString& label) const;

    // The path of a folder or file inside the archive as vorpex-cli writes it: names decoded and joined with
    // '/', a folder's path ending in '/', and '/', '\' and control characters in a name written \xHH.
    static QString FolderPath(const CPackFolder& folder, const CNameCodec& codec);
    static QString EntryPath(const CPackEntry& entry, const CNameCodec& codec);
    static QString BytesText(uint64_t bytes); // "79,418 bytes (77KB)"

private:
    void AddLine(const QString& label, const QString& value);

    QFormLayout* m_pForm;
};
