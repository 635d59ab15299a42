#pragma once

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "tests/support/ArchiveBuilder.h"
#include "writer/ArchiveWriter.h"

namespace vorpex {

// Lays out and writes `root` into memory with the archive writer, as pack lays out a folder (without its
// alignment); aborts when that fails.
inline std::string writeArchive(ArchiveNode& root) {
    std::string out;
    if (!ArchiveWriter().write(ArchiveLayout(root), out).ok())
        std::abort();
    return out;
}

// `folders` folders of `files` tiny files each, under one top-level folder.
inline std::string manyTinyFiles(int folders, int files) {
    static const std::vector<std::string> data = [] {
        std::vector<std::string> tiny;
        for (int i = 0; i < 10; ++i)
            tiny.push_back("tiny" + std::to_string(i));
        return tiny;
    }();
    ArchiveNode top = ArchiveNode::folder("ROOT");
    top.m_children.reserve(folders);
    for (int f = 0; f < folders; ++f) {
        ArchiveNode& folder = top.m_children.emplace_back(ArchiveNode::folder("FOLDER" + std::to_string(f)));
        folder.m_children.reserve(files);
        for (int i = 0; i < files; ++i)
            folder.m_children.push_back(ArchiveNode::file(
                "FILE" + std::to_string(i) + ".DAT", data[i % 10].size(), DataSource::bytes(data[i % 10])));
    }
    ArchiveNode root = ArchiveNode::folder({}, {std::move(top)});
    return writeArchive(root);
}

// `count` files of 1 to 64 KiB in folders of 200, reproducible.
inline std::string smallFiles(int count) {
    std::mt19937 rng(42);
    std::vector<std::string> data(count);
    ArchiveNode top = ArchiveNode::folder("SMALL");
    for (int i = 0; i < count; ++i) {
        if (i % 200 == 0)
            top.m_children.push_back(ArchiveNode::folder("DIR" + std::to_string(i / 200)));
        data[i].assign(1024 + rng() % (63 * 1024), '\0');
        for (size_t k = 0; k < data[i].size(); k += 64)
            data[i][k] = static_cast<char>(rng());
        top.m_children.back().m_children.push_back(
            ArchiveNode::file("F" + std::to_string(i) + ".BIN", data[i].size(), DataSource::bytes(data[i])));
    }
    ArchiveNode root = ArchiveNode::folder({}, {std::move(top)});
    return writeArchive(root);
}

} // namespace vorpex
