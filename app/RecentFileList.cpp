#include "app/RecentFileList.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

static const char* const kSection = "Recent File List";

void CRecentFileList::ReadList(QSettings& settings) {
    m_Files.clear();
    settings.beginGroup(QString::fromLatin1(kSection));
    for (int i = 1; i <= m_nSize; ++i) {
        const QString path = settings.value(QStringLiteral("File%1").arg(i)).toString();
        if (!path.isEmpty() && !m_Files.contains(path))
            m_Files.push_back(path);
    }
    settings.endGroup();
}

void CRecentFileList::WriteList(QSettings& settings) const {
    settings.beginGroup(QString::fromLatin1(kSection));
    for (int i = 1; i <= m_nSize; ++i) {
        const QString key = QStringLiteral("File%1").arg(i);
        if (i <= m_Files.size())
            settings.setValue(key, m_Files[i - 1]);
        else
            settings.remove(key);
    }
    settings.endGroup();
}

void CRecentFileList::Add(const QString& path) {
    const QString full = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    m_Files.removeAll(full);
    m_Files.push_front(full);
    while (m_Files.size() > m_nSize)
        m_Files.pop_back();
}

void CRecentFileList::Remove(int index) {
    if (index >= 0 && index < m_Files.size())
        m_Files.removeAt(index);
}

QString CRecentFileList::MenuText(int index) const {
    QString path = QDir::toNativeSeparators(m_Files.value(index));
    path.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QStringLiteral("&%1 %2").arg(index + 1).arg(path);
}
