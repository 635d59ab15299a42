#pragma once

#include "dialogs/FolderPromptDlg.h"

namespace vorpex {

// Asks for the destination of one extraction; both Extract commands open it prefilled with the default
// extraction folder, and what is typed or chosen here is used once and never stored.
class ExtractDlg : public FolderPromptDlg {
    Q_OBJECT

public:
    explicit ExtractDlg(const QString& folder, QWidget* pParent = nullptr)
        : FolderPromptDlg(Layout::Extract, folder, pParent) {}
};

} // namespace vorpex
