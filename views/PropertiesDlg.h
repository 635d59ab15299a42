#pragma once

#include <QDialog>
#include <cstdint>
#include <string_view>

class QFormLayout;

namespace vorpex {

class NameCodec;
class PackEntry;
class PackFile;
class PackFolder;

// Properties of one file or folder of the open archive: its path inside the archive, and for a file its
// size in bytes (with the list's KB text) and data offset, for a folder the count of folders and files
// below it and their total size. Modal, one command long; the catalogue is read while the dialog is made
// and never afterwards. GUI thread only.
class PropertiesDlg : public QDialog {
    Q_OBJECT
public:
    // The catalogue's top pseudo-folder stands for the whole archive.
    PropertiesDlg(const PackFile& pack, const PackFolder* folder, const PackEntry* entry,
                  const NameCodec& codec, QWidget* parent = nullptr);

    // The value shown beside `label` ("Path", "Size", ...); empty when there is no such line.
    QString value(const QString& label) const;

    // The path of a folder or file inside the archive as vorpex-cli writes it: names decoded and joined with
    // '/', a folder's path ending in '/', and '/', '\' and control characters in a name written \xHH.
    static QString folderPath(const PackFolder& folder, const NameCodec& codec);
    static QString entryPath(const PackEntry& entry, const NameCodec& codec);
    static QString bytesText(uint64_t bytes); // "79,418 bytes (77KB)"

private:
    void addLine(const QString& label, const QString& value);

    QFormLayout* m_form;
};

} // namespace vorpex
