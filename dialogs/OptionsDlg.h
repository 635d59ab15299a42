#pragma once

#include "dialogs/FolderPromptDlg.h"

namespace vorpex {

// Edits the default extraction folder; the Options command stores what it returns.
class OptionsDlg : public FolderPromptDlg {
    Q_OBJECT

public:
    explicit OptionsDlg(const QString& folder, QWidget* pParent = nullptr)
        : FolderPromptDlg(Layout::Options, folder, pParent) {}
};

} // namespace vorpex
