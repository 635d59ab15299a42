#pragma once

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <functional>
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

// The main of the window's benchmarks: offscreen (unless a platform is named), settings in a temporary
// folder, `prepare` given that folder for its archives, then every benchmark registered.
inline int runWindowBenchmarks(int argc, char** argv,
                               const std::function<void(const QTemporaryDir&)>& prepare) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    prepare(dir);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace vorpex
