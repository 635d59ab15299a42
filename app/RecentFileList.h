#pragma once

#include <QString>
#include <QStringList>

class QSettings;

// The archives opened last, newest first, kept in the settings (section "Recent File List", values
// "File1" to "File4") so that they survive a restart. GUI thread only.
class CRecentFileList {
public:
    static constexpr int kSize = 4;

    explicit CRecentFileList(int size = kSize) : m_nSize(size) {}

    void ReadList(QSettings& settings);
    void WriteList(QSettings& settings) const;

    // Puts `path` (made absolute) first, dropping an older mention of it and the oldest beyond the size.
    void Add(const QString& path);
    void Remove(int index);
    const QStringList& Files() const { return m_Files; }
    int GetSize() const { return static_cast<int>(m_Files.size()); }
    QString operator[](int index) const { return m_Files.value(index); }
    // "&1 /path/name.dir": the text of the menu item for entry `index`.
    QString MenuText(int index) const;

private:
    int m_nSize;
    QStringList m_Files;
};
