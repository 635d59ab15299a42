#pragma once

#include <random>
#include <string>
#include <vector>

#include "tests/support/ArchiveBuilder.h"

// `folders` folders of `files` tiny files each, under one top-level folder.
inline std::string ManyTinyFiles(int folders, int files) {
    std::vector<CNode> subs;
    subs.reserve(folders);
    for (int f = 0; f < folders; ++f) {
        std::vector<CNode> entries;
        entries.reserve(files);
        for (int i = 0; i < files; ++i)
            entries.push_back(File("FILE" + std::to_string(i) + ".DAT", "tiny" + std::to_string(i % 10)));
        subs.push_back(Folder("FOLDER" + std::to_string(f), std::move(entries)));
    }
    return BuildArchive({Folder("ROOT", std::move(subs))});
}

// `count` files of 1 to 64 KiB in folders of 200, reproducible.
inline std::string SmallFiles(int count) {
    std::mt19937 rng(42);
    std::vector<CNode> subs;
    for (int i = 0; i < count; ++i) {
        if (i % 200 == 0)
            subs.push_back(Folder("DIR" + std::to_string(i / 200)));
        std::string data(1024 + rng() % (63 * 1024), '\0');
        for (size_t k = 0; k < data.size(); k += 64)
            data[k] = static_cast<char>(rng());
        subs.back().m_Children.push_back(File("F" + std::to_string(i) + ".BIN", std::move(data)));
    }
    return BuildArchive({Folder("SMALL", std::move(subs))});
}
