#pragma once

#include <fcntl.h>
#include <memory>
#include <string>
#include <unistd.h>

#include "catalogue/PackFile.h"
#include "platform/MessageSink.h"
#include "tests/support/ArchiveBuilder.h"

namespace vorpex {

// An archive written into `dir` and read back.
struct Opened {
    TempDir m_dir;
    RecordingSink m_sink;
    std::unique_ptr<PackFile> m_pack;

    explicit Opened(const std::string& bytes, const std::string& name = "TEST.DIR") {
        writeFileBytes(m_dir / name, bytes);
        m_pack = std::make_unique<PackFile>(m_dir / name, m_sink);
    }
    PackFile& pack() { return *m_pack; }
};

// An empty destination directory, open for the walk; tree() is what it holds, as Snapshot gives it.
struct Destination {
    TempDir m_dir;
    int m_fd;
    Destination() : m_fd(open(m_dir.path().c_str(), O_RDONLY | O_DIRECTORY)) {}
    ~Destination() { close(m_fd); }
    std::string operator/(std::string_view name) const { return m_dir / name; }
    std::vector<std::string> tree() const { return snapshot(m_dir.path()); }
};

} // namespace vorpex
