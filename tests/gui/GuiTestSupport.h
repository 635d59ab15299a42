#pragma once
#include <QAbstractItemView>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "tests/support/ArchiveBuilder.h"

inline QString WriteArchive(const QTemporaryDir& dir, const QString& name, const std::vector<CNode>& top) {
    WriteFileBytes(dir.filePath(name).toStdString(), BuildArchive(top));
    return dir.filePath(name);
}

// A shell script at `path` that runs `body`, runnable by its owner.
inline bool WriteScript(const QString& path, const QByteArray& body) {
    WriteFileBytes(path.toStdString(), "#!/bin/sh\n" + body.toStdString() + "\n");
    return QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Folders of the same name and names that contain one another, and files of telling sizes.
inline std::vector<CNode> MapsArchive() {
    return {Folder("DATA", {Folder("MAPS", {File("M1.MAP", "1")}), Folder("MAPS2", {File("M2.MAP", "2")}),
                            Folder("DAT", {File("DAT.TXT", "d")}), File("EMPTY"),
                            File("ALMOST", std::string(1023, 'a')), File("ONE", std::string(1024, 'b')),
                            File("MEG", std::string(1 << 20, 'c'))}),
            File("README", "r"), Folder("OTHER", {Folder("MAPS", {File("\x80.MAP", "o"), Folder("INNER")})})};
}

// The rows under `parent`, each as the texts of its columns joined by "|".
inline QStringList Rows(const QAbstractItemModel* model, const QModelIndex& parent = {}) {
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
inline QModelIndex TreeItem(const QAbstractItemModel* model, const QStringList& labels) {
    QModelIndex index = model->index(0, 0);
    for (const QString& label : labels)
        index = model->index(int(Rows(model, index).indexOf(label)), 0, index);
    return index;
}

inline void DoubleClickRow(QAbstractItemView* view, int row) {
    const QPoint at = view->visualRect(view->model()->index(row, 0)).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at); // as a real double-click begins
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}
