#include "dialogs/FolderPromptDlg.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "dialogs/FolderDialog.h"

namespace {

// A rectangle in dialog units: a quarter of the font's average character width across, an eighth of its
// height down, so the dialog grows with the font the way the templates intend.
struct CDluRect {
    int x, y, cx, cy;
};

struct CTemplate {
    const char* pszId;
    const char* pszTitle;
    int cx, cy;
    bool bGroupBox; // the caption is a group box framing the folder row, not a static text above it
    const char* pszCaption;
    CDluRect caption, folder, browse, ok, cancel;
};

constexpr CTemplate kExtract = {"IDD_EXTRACT",
                                "Extract",
                                182,
                                79,
                                false,
                                "Extract to...",
                                {5, 5, 90, 8},
                                {5, 15, 175, 12},
                                {135, 30, 45, 15},
                                {75, 60, 50, 14},
                                {130, 60, 50, 14}};

constexpr CTemplate kOptions = {"IDD_OPTIONS",
                                "Options",
                                242,
                                74,
                                true,
                                "Extract Options",
                                {5, 5, 235, 45},
                                {10, 20, 158, 12},
                                {175, 20, 45, 14},
                                {130, 55, 50, 14},
                                {185, 55, 50, 14}};

// Converts dialog units to pixels for one font, rounding as the classic dialog manager does.
class CDluScale {
public:
    explicit CDluScale(const QFont& font) {
        QFontMetrics fm(font);
        static const QString kAlphabet =
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        m_nBaseX = (fm.horizontalAdvance(kAlphabet) / 26 + 1) / 2;
        m_nBaseY = fm.height();
    }
    int X(int dlu) const { return (dlu * m_nBaseX + 2) / 4; }
    int Y(int dlu) const { return (dlu * m_nBaseY + 4) / 8; }
    QRect Rect(const CDluRect& r) const { return QRect(X(r.x), Y(r.y), X(r.cx), Y(r.cy)); }

private:
    int m_nBaseX;
    int m_nBaseY;
};

} // namespace

CFolderPromptDlg::CFolderPromptDlg(ELayout layout, const QString& folder, QWidget* pParent)
    : QDialog(pParent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_strFolder(folder) {
    const CTemplate& t = layout == ELayout::Extract ? kExtract : kOptions;
    setObjectName(QString::fromLatin1(t.pszId));
    setWindowTitle(QString::fromLatin1(t.pszTitle));
    const CDluScale scale(font());

    // Made in the templates' order, which is also the tab order; later siblings lie above earlier ones,
    // so the controls stay clickable inside the group box's frame.
    QWidget* caption;
    if (t.bGroupBox)
        caption = new QGroupBox(QString::fromLatin1(t.pszCaption), this);
    else
        caption = new QLabel(QString::fromLatin1(t.pszCaption), this);
    caption->setGeometry(scale.Rect(t.caption));

    m_editFolder = new QLineEdit(this);
    m_editFolder->setObjectName(QStringLiteral("IDC_FOLDER"));
    m_editFolder->setGeometry(scale.Rect(t.folder));

    m_pBrowse = new QPushButton(tr("Browse..."), this);
    m_pBrowse->setObjectName(QStringLiteral("IDC_BROWSE"));
    m_pBrowse->setGeometry(scale.Rect(t.browse));

    m_pOk = new QPushButton(tr("OK"), this);
    m_pOk->setObjectName(QStringLiteral("IDOK"));
    m_pOk->setGeometry(scale.Rect(t.ok));
    m_pOk->setDefault(true);

    m_pCancel = new QPushButton(tr("Cancel"), this);
    m_pCancel->setObjectName(QStringLiteral("IDCANCEL"));
    m_pCancel->setGeometry(scale.Rect(t.cancel));

    setTabOrder(m_editFolder, m_pBrowse);
    setTabOrder(m_pBrowse, m_pOk);
    setTabOrder(m_pOk, m_pCancel);

    setFixedSize(scale.X(t.cx), scale.Y(t.cy));

    connect(m_pBrowse, &QPushButton::clicked, this, &CFolderPromptDlg::OnBrowse);
    connect(m_pOk, &QPushButton::clicked, this, &CFolderPromptDlg::accept);
    connect(m_pCancel, &QPushButton::clicked, this, &CFolderPromptDlg::reject);
}

int CFolderPromptDlg::DoModal() {
    m_editFolder->setText(m_strFolder);
    m_editFolder->selectAll();
    m_editFolder->setFocus();
    return exec();
}

void CFolderPromptDlg::accept() {
    m_strFolder = m_editFolder->text();
    QDialog::accept();
}

void CFolderPromptDlg::OnBrowse() {
    QString strResult;
    CFolderDialog chooser(&strResult, this);
    if (chooser.DoModal() != QDialog::Accepted)
        return;
    m_strFolder = strResult;
    m_editFolder->setText(strResult);
}
