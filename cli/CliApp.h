#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

class CConsoleSink;
class CPackFile;

// The command-line companion: reads the arguments, runs one command (list, extract, check, pack) on the
// core library and turns what happened into the exit status: 0 when everything asked for was done and
// nothing was reported, 1 when anything was reported, 2 for a usage error, an archive that cannot be
// opened or a destination that cannot be entered.
class CCliApp {
public:
    static constexpr int kDone = 0;
    static constexpr int kReported = 1;
    static constexpr int kFailed = 2;
    static constexpr int kInterrupted = 130;
    static constexpr int kBrokenPipe = 141;

    CCliApp(int argc, char** argv);
    int Run();

    static const char* Version();
    // Says what is wrong with the command line and where help is; returns kFailed.
    static int UsageError(const std::string& command, const std::string& message);
    // Opens ARCHIVE ("-": standard input) for a command; null after reporting why it cannot be opened.
    static std::unique_ptr<CPackFile> OpenArchive(const std::string& path, CConsoleSink& sink);

private:
    // What to do with something that already stands where extraction puts a folder or a file.
    enum class EExisting { Default, Keep, Overwrite };

    struct COptions {
        std::string m_strEncoding;
        std::optional<std::string> m_strDir;
        std::vector<std::string> m_Excludes;
        EExisting m_eExisting = EExisting::Default;
        bool m_bLong = false;
        bool m_bNull = false;
        bool m_bJson = false;
        bool m_bQuiet = false;
        bool m_bVerbose = false;
        bool m_bFullPaths = false;
        bool m_bToStdout = false;
        bool m_bSlashLiteral = false; // --no-wildcards-match-slash
        bool m_bSkipUnfit = false;
        bool m_bHelp = false;
        std::vector<std::string> m_Operands;
    };

    bool Parse(const std::string& command, COptions& options);
    int List(const COptions& options);
    int Extract(const COptions& options);
    int Check(const COptions& options);
    int Pack(const COptions& options);

    static void PrintHelp(const std::string& command);

    std::vector<std::string> m_Args;
};
