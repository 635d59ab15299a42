#include "app/RecentFileList.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace vorpex {

static const char* const kSection = "Recent File List";

void RecentFileList::readList(QSettings& settings) {
    m_files.clear();
    settings.beginGroup(QString::fromLatin1(kSection));
    for (int i = 1; i <= m_size; ++i) {
        const QString path = settings.value(QStringLiteral("File%1").arg(i)).toString();
        if (!path.isEmpty() && !m_files.contains(path))
            m_files.push_back(path);
    }
    settings.endGroup();
}

void RecentFileList::writeList(QSettings& settings) const {
    settings.beginGroup(QString::fromLatin1(kSection));
    for (int i = 1; i <= m_size; ++i) {
        const QString key = QStringLiteral("File%1").arg(i);
        if (i <= m_files.size())
            settings.setValue(key, m_files[i - 1]);
        else
            settings.remove(key);
    }
    settings.endGroup();
}

void RecentFileList::add(const QString& path) {
    const QString full = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    m_files.removeAll(full);
    m_files.push_front(full);
    while (m_files.size() > m_size)
        m_files.pop_back();
}

void RecentFileList::remove(int index) {
    if (index >= 0 && index < m_files.size())
        m_files.removeAt(index);
}

QString RecentFileList::menuText(int index) const {
    QString path = QDir::toNativeSeparators(m_files.value(index));
    path.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QStringLiteral("&%1 %2").arg(index + 1).arg(path);
}

} // namespace vorpex
