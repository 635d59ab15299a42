#pragma once

#include "dialogs/FolderPromptDlg.h"

// Asks for the destination of one extraction; both Extract commands open it prefilled with the default
// extraction folder, and what is typed or chosen here is used once and never stored.
class CExtractDlg : public CFolderPromptDlg {
    Q_OBJECT

public:
    explicit CExtractDlg(const QString& folder, QWidget* pParent = nullptr)
        : CFolderPromptDlg(ELayout::Extract, folder, pParent) {}
};
