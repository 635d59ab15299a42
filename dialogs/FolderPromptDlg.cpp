#include "dialogs/FolderPromptDlg.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "dialogs/FolderDialog.h"

namespace vorpex {

namespace {

// A rectangle in dialog units: a quarter of the font's average character width across, an eighth of its
// height down, so the dialog grows with the font the way the templates intend.
struct DluRect {
    int m_x, m_y, m_cx, m_cy;
};

struct Template {
    const char* m_id;
    const char* m_title;
    int m_cx, m_cy;
    bool m_groupBox; // the caption is a group box framing the folder row, not a static text above it
    const char* m_captionText;
    DluRect m_caption, m_folder, m_browse, m_ok, m_cancel;
};

constexpr Template kExtract = {"IDD_EXTRACT",
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

constexpr Template kOptions = {"IDD_OPTIONS",
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
class DluScale {
public:
    explicit DluScale(const QFont& font) {
        QFontMetrics fm(font);
        static const QString kAlphabet =
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        m_baseX = (fm.horizontalAdvance(kAlphabet) / 26 + 1) / 2;
        m_baseY = fm.height();
    }
    int x(int dlu) const { return (dlu * m_baseX + 2) / 4; }
    int y(int dlu) const { return (dlu * m_baseY + 4) / 8; }
    QRect rect(const DluRect& r) const { return QRect(x(r.m_x), y(r.m_y), x(r.m_cx), y(r.m_cy)); }

private:
    int m_baseX;
    int m_baseY;
};

} // namespace

FolderPromptDlg::FolderPromptDlg(Layout layout, const QString& folder, QWidget* pParent)
    : QDialog(pParent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_folder(folder) {
    const Template& t = layout == Layout::Extract ? kExtract : kOptions;
    setObjectName(QString::fromLatin1(t.m_id));
    setWindowTitle(QString::fromLatin1(t.m_title));
    const DluScale scale(font());

    // Made in the templates' order, which is also the tab order; later siblings lie above earlier ones,
    // so the controls stay clickable inside the group box's frame.
    QWidget* caption;
    if (t.m_groupBox)
        caption = new QGroupBox(QString::fromLatin1(t.m_captionText), this);
    else
        caption = new QLabel(QString::fromLatin1(t.m_captionText), this);
    caption->setGeometry(scale.rect(t.m_caption));

    m_editFolder = new QLineEdit(this);
    m_editFolder->setObjectName(QStringLiteral("IDC_FOLDER"));
    m_editFolder->setGeometry(scale.rect(t.m_folder));

    m_browse = new QPushButton(tr("Browse..."), this);
    m_browse->setObjectName(QStringLiteral("IDC_BROWSE"));
    m_browse->setGeometry(scale.rect(t.m_browse));

    m_ok = new QPushButton(tr("OK"), this);
    m_ok->setObjectName(QStringLiteral("IDOK"));
    m_ok->setGeometry(scale.rect(t.m_ok));
    m_ok->setDefault(true);

    m_cancel = new QPushButton(tr("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("IDCANCEL"));
    m_cancel->setGeometry(scale.rect(t.m_cancel));

    setTabOrder(m_editFolder, m_browse);
    setTabOrder(m_browse, m_ok);
    setTabOrder(m_ok, m_cancel);

    setFixedSize(scale.x(t.m_cx), scale.y(t.m_cy));

    connect(m_browse, &QPushButton::clicked, this, &FolderPromptDlg::onBrowse);
    connect(m_ok, &QPushButton::clicked, this, &FolderPromptDlg::accept);
    connect(m_cancel, &QPushButton::clicked, this, &FolderPromptDlg::reject);
}

int FolderPromptDlg::exec() {
    m_editFolder->setText(m_folder);
    m_editFolder->selectAll();
    m_editFolder->setFocus();
    return QDialog::exec();
}

void FolderPromptDlg::accept() {
    m_folder = m_editFolder->text();
    QDialog::accept();
}

void FolderPromptDlg::onBrowse() {
    QString result;
    FolderDialog chooser(&result, this);
    if (chooser.exec() != QDialog::Accepted)
        return;
    m_folder = result;
    m_editFolder->setText(result);
}

} // namespace vorpex
