#pragma once

#include <QString>
#include <QStringList>

class QSettings;

namespace vorpex {

// The archives opened last, newest first, kept in the settings (section "Recent File List", values
// "File1" to "File4") so that they survive a restart. GUI thread only.
class RecentFileList {
public:
    static constexpr int kSize = 4;

    explicit RecentFileList(int size = kSize) : m_size(size) {}

    void readList(QSettings& settings);
    void writeList(QSettings& settings) const;

    // Puts `path` (made absolute) first, dropping an older mention of it and the oldest beyond the size.
    void add(const QString& path);
    void remove(int index);
    const QStringList& files() const { return m_files; }
    int size() const { return static_cast<int>(m_files.size()); }
    QString operator[](int index) const { return m_files.value(index); }
    // "&1 /path/name.dir": the text of the menu item for entry `index`.
    QString menuText(int index) const;

private:
    int m_size;
    QStringList m_files;
};

} // namespace vorpex
