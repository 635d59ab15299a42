#pragma once

#include "dialogs/FolderPromptDlg.h"

// Edits the default extraction folder; the Options command stores what it returns.
class COptionsDlg : public CFolderPromptDlg {
    Q_OBJECT

public:
    explicit COptionsDlg(const QString& folder, QWidget* pParent = nullptr)
        : CFolderPromptDlg(ELayout::Options, folder, pParent) {}
};
