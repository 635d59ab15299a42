#pragma once

#include <fcntl.h>
#include <memory>
#include <string>
#include <unistd.h>

#include "catalogue/PackFile.h"
#include "platform/MessageSink.h"
#include "tests/support/ArchiveBuilder.h"

// An archive written into `dir` and read back.
struct COpened {
    CTempDir m_Dir;
    CRecordingSink m_Sink;
    std::unique_ptr<CPackFile> m_pPack;

    explicit COpened(const std::string& bytes, const std::string& name = "TEST.DIR") {
        WriteFileBytes(m_Dir / name, bytes);
        m_pPack = std::make_unique<CPackFile>(m_Dir / name, m_Sink);
    }
    CPackFile& Pack() { return *m_pPack; }
};

// An empty destination directory, open for the walk; Tree() is what it holds, as Snapshot gives it.
struct CDestination {
    CTempDir m_Dir;
    int m_nFd;
    CDestination() : m_nFd(open(m_Dir.Path().c_str(), O_RDONLY | O_DIRECTORY)) {}
    ~CDestination() { close(m_nFd); }
    std::string operator/(std::string_view name) const { return m_Dir / name; }
    std::vector<std::string> Tree() const { return Snapshot(m_Dir.Path()); }
};
