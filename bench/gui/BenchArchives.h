#pragma once

#include <QTemporaryDir>
#include <string>
#include <vector>

#include "tests/support/ArchiveBuilder.h"

namespace vorpex {

// An archive of `folders` top-level folders of `filesEach` empty files (FOLDER0/FILE0.DAT ...), written in
// `dir`; its path.
inline std::string makeBenchArchive(const QTemporaryDir& dir, const std::string& name, int folders,
                                    int filesEach) {
    std::vector<Node> top;
    top.reserve(folders);
    for (int f = 0; f < folders; ++f) {
        std::vector<Node> files;
        files.reserve(filesEach);
        for (int i = 0; i < filesEach; ++i)
            files.push_back(fileNode("FILE" + std::to_string(i) + ".DAT"));
        top.push_back(folderNode("FOLDER" + std::to_string(f), std::move(files)));
    }
    const std::string path = dir.filePath(QString::fromStdString(name)).toStdString();
    writeFileBytes(path, buildArchive(top));
    return path;
}

} // namespace vorpex
