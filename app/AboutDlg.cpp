#include "app/AboutDlg.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

#include "VorpexVersion.h"

namespace {

// The box is laid out in dialog units, which scale with its font: a horizontal unit is a quarter of the
// font's average character width, a vertical unit an eighth of its height.
class CDialogUnits {
public:
    explicit CDialogUnits(const QFont& font) {
        const QFontMetrics metrics(font);
        // The average width of the 52 Latin letters, rounded, as dialog layouts have always measured it.
        m_nCharWidth = (metrics.horizontalAdvance(
                            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                            26 +
                        1) /
                       2;
        m_nCharHeight = metrics.height();
    }
    int DluX(int units) const { return units * m_nCharWidth / 4; }
    int DluY(int units) const { return units * m_nCharHeight / 8; }
    QRect Rect(int x, int y, int cx, int cy) const { return QRect(DluX(x), DluY(y), DluX(cx), DluY(cy)); }

private:
    int m_nCharWidth = 0;
    int m_nCharHeight = 0;
};

} // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent), m_wndLink(this) {
    setWindowTitle(QStringLiteral("About Vorpex"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setModal(true);

    const CDialogUnits units(font());
    const auto addText = [&](const char* name, const QString& text, QRect place) {
        auto* label = new QLabel(text, this);
        label->setObjectName(QLatin1String(name));
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setGeometry(place);
    };

    // In the order of the layout, which is also the tab order.
    addText("version", QStringLiteral("Vorpex Version " VORPEX_VERSION " 08-18-1998"),
            units.Rect(10, 10, 119, 8));
    addText("copyright", QStringLiteral("Freeware (C) 1998 Corvane"), units.Rect(10, 20, 119, 8));
    m_pOk = new QPushButton(QStringLiteral("OK"), this);
    m_pOk->setObjectName(QStringLiteral("ok"));
    m_pOk->setDefault(true);
    m_pOk->setGeometry(units.Rect(155, 10, 42, 14));
    connect(m_pOk, &QPushButton::clicked, this, &QDialog::accept);
    addText("updates", QStringLiteral("For the latest updates and news about Vorpex see:"),
            units.Rect(10, 50, 185, 8));
    m_wndLink.setObjectName(QStringLiteral("link"));
    m_wndLink.setText(QString::fromLatin1(kPageAddress));
    m_wndLink.setGeometry(units.Rect(10, 60, 185, 10));
    addText("blank", QString(), units.Rect(10, 35, 80, 10));
    addText("credits", QStringLiteral("Program icons drawn by Corvane"), units.Rect(10, 75, 185, 8));

    setFixedSize(units.DluX(207), units.DluY(89));
    OnInitDialog();
}

void CAboutDlg::OnInitDialog() {
    // Bound without a target, the link first takes the page address it shows as its target.
    m_wndLink.PreSubclassWindow();
    m_wndLink.SetLinkURL(QString::fromLatin1(kHomeAddress));
    m_wndLink.SetLinkUnderline(true);
    m_pOk->setFocus();
}
