#pragma once

#include <QString>
#include <functional>

#include "extract/FolderWalk.h"

class CMessageSink;
class CNameCodec;
class CPackFile;
class QWidget;

// The Extract command of the two panes: asks for the destination in the Extract dialog (prefilled with the
// default extraction folder, which it never stores), opens that folder (never creates it; a relative path
// is taken from the current directory), and extracts the pane's selection into it as a job with progress.
// User-interface thread only.
class CExtractCommand {
public:
    enum class EFrom { Tree, List };

    struct CContext {
        CContext(const CPackFile* pack, const CNameCodec* codec, CMessageSink* sink,
                 const QString& extractDir, QWidget* window)
            : m_pPackFile(pack), m_pCodec(codec), m_pSink(sink), m_strExtractDir(extractDir),
              m_pWindow(window) {}

        const CPackFile* m_pPackFile = nullptr; // the open archive; null when none is open
        const CNameCodec* m_pCodec = nullptr;
        CMessageSink* m_pSink = nullptr; // the application's sink, used on this thread
        QString m_strExtractDir;         // the default extraction folder
        QWidget* m_pWindow = nullptr;    // parents the dialogs
        // Runs on the worker after every piece copied; tests use it to slow the copy down.
        std::function<void(const CProgress&)> m_fnProgressHook;
    };

    // `select` is asked for the selection after the dialog's OK, so the dialog sees the pane as it was.
    // Returns false when nothing was attempted (no archive, Cancel, or a destination that cannot be opened);
    // otherwise `pResult` and `pFolder` (the destination's absolute path) receive how it went and where.
    static bool Run(EFrom from, const CContext& context, const std::function<CSelection()>& select,
                    CExtractResult* pResult = nullptr, QString* pFolder = nullptr);
};
