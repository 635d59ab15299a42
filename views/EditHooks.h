#pragma once

#include <QList>
#include <QMimeData>
#include <QString>
#include <QUrl>
#include <functional>

namespace vorpex {

class PackEntry;
class PackFolder;

// What the panes' models hand to whoever edits the archive: a name typed in place, files dropped from
// outside the program, and which items to mark as changed. Without hooks the panes only read.
struct EditHooks {
    // The item (`folder` or `entry`) renamed to `name`; false leaves its name as it was.
    std::function<bool(const PackFolder* folder, const PackEntry* entry, const QString& name)> m_rename;
    // Local files and folders dropped into `folder`; false when nothing was added.
    std::function<bool(const PackFolder* folder, const QList<QUrl>& urls)> m_drop;
    // True for an item an edit added, replaced or renamed, not saved yet.
    std::function<bool(const PackFolder* folder, const PackEntry* entry)> m_marked;
};

// Our own rows dragged out carry this format beside their staged files: the panes take no drop of them.
inline QString ownDragFormat() {
    return QStringLiteral("application/x-vorpex-entries");
}

// The local files `data` offers from outside the program; empty when none (or when the rows are our own).
inline QList<QUrl> droppedFiles(const QMimeData* data) {
    QList<QUrl> urls;
    if (!data || data->hasFormat(ownDragFormat()) || !data->hasUrls())
        return urls;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            urls.push_back(url);
    return urls;
}

} // namespace vorpex
