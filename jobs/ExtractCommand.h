#pragma once

#include <QString>
#include <functional>

#include "extract/FolderWalk.h"

class QWidget;

namespace vorpex {

class MessageSink;
class NameCodec;
class PackFile;

// The Extract command of the two panes: asks for the destination in the Extract dialog (prefilled with the
// default extraction folder, which it never stores), opens that folder (never creates it; a relative path
// is taken from the current directory), and extracts the pane's selection into it as a job with progress.
// User-interface thread only.
class ExtractCommand {
public:
    enum class From { Tree, List };

    struct Context {
        Context(const PackFile* pack, const NameCodec* codec, MessageSink* sink, const QString& extractDir,
                QWidget* window)
            : m_packFile(pack), m_codec(codec), m_sink(sink), m_extractDir(extractDir), m_window(window) {}

        const PackFile* m_packFile = nullptr; // the open archive; null when none is open
        const NameCodec* m_codec = nullptr;
        MessageSink* m_sink = nullptr; // the application's sink, used on this thread
        QString m_extractDir;          // the default extraction folder
        QWidget* m_window = nullptr;   // parents the dialogs
        // Runs on the worker after every piece copied; tests use it to slow the copy down.
        std::function<void(const Progress&)> m_progressHook;
    };

    // `select` is asked for the selection after the dialog's OK, so the dialog sees the pane as it was.
    // Returns false when nothing was attempted (no archive, Cancel, or a destination that cannot be opened);
    // otherwise `pResult` and `pFolder` (the destination's absolute path) receive how it went and where.
    static bool run(From from, const Context& context, const std::function<Selection()>& select,
                    ExtractResult* pResult = nullptr, QString* pFolder = nullptr);
};

} // namespace vorpex
