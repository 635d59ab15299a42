#pragma once
#include <QAbstractItemView>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "tests/support/ArchiveBuilder.h"

namespace vorpex {

inline QString writeArchive(const QTemporaryDir& dir, const QString& name, const std::vector<Node>& top) {
    writeFileBytes(dir.filePath(name).toStdString(), buildArchive(top));
    return dir.filePath(name);
}

// A shell script at `path` that runs `body`, runnable by its owner.
inline bool writeScript(const QString& path, const QByteArray& body) {
    writeFileBytes(path.toStdString(), "#!/bin/sh\n" + body.toStdString() + "\n");
    return QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Folders of the same name and names that contain one another, and files of telling sizes.
inline std::vector<Node> mapsArchive() {
    return {folderNode("DATA",
                       {folderNode("MAPS", {fileNode("M1.MAP", "1")}),
                        folderNode("MAPS2", {fileNode("M2.MAP", "2")}),
                        folderNode("DAT", {fileNode("DAT.TXT", "d")}), fileNode("EMPTY"),
                        fileNode("ALMOST", std::string(1023, 'a')), fileNode("ONE", std::string(1024, 'b')),
                        fileNode("MEG", std::string(1 << 20, 'c'))}),
            fileNode("README", "r"),
            folderNode("OTHER", {folderNode("MAPS", {fileNode("\x80.MAP", "o"), folderNode("INNER")})})};
}

// The rows under `parent`, each as the texts of its columns joined by "|".
inline QStringList rows(const QAbstractItemModel* model, const QModelIndex& parent = {}) {
    QStringList rows;
    for (int row = 0; row < model->rowCount(parent); ++row) {
        QStringList texts;
        for (int column = 0; column < model->columnCount(parent); ++column)
            texts << model->index(row, column, parent).data().toString();
        rows << texts.join(QLatin1Char('|'));
    }
    return rows;
}

// The item reached from the model's first top item through `labels`.
inline QModelIndex treeItem(const QAbstractItemModel* model, const QStringList& labels) {
    QModelIndex index = model->index(0, 0);
    for (const QString& label : labels)
        index = model->index(int(rows(model, index).indexOf(label)), 0, index);
    return index;
}

inline void doubleClickRow(QAbstractItemView* view, int row) {
    const QPoint at = view->visualRect(view->model()->index(row, 0)).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at); // as a real double-click begins
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}

} // namespace vorpex
