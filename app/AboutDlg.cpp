#include "app/AboutDlg.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

#include "VorpexVersion.h"

namespace vorpex {

namespace {

// The box is laid out in dialog units, which scale with its font: a horizontal unit is a quarter of the
// font's average character width, a vertical unit an eighth of its height.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font) {
        const QFontMetrics metrics(font);
        // The average width of the 52 Latin letters, rounded, as dialog layouts have always measured it.
        m_charWidth = (metrics.horizontalAdvance(
                           QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                           26 +
                       1) /
                      2;
        m_charHeight = metrics.height();
    }
    int dluX(int units) const { return units * m_charWidth / 4; }
    int dluY(int units) const { return units * m_charHeight / 8; }
    QRect rect(int x, int y, int cx, int cy) const { return QRect(dluX(x), dluY(y), dluX(cx), dluY(cy)); }

private:
    int m_charWidth = 0;
    int m_charHeight = 0;
};

} // namespace

AboutDlg::AboutDlg(QWidget* parent) : QDialog(parent), m_link(this) {
    setWindowTitle(QStringLiteral("About Vorpex"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setModal(true);

    const DialogUnits units(font());
    const auto addText = [&](const char* name, const QString& text, QRect place) {
        auto* label = new QLabel(text, this);
        label->setObjectName(QLatin1String(name));
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setGeometry(place);
    };

    // In the order of the layout, which is also the tab order.
    addText("version", QStringLiteral("Vorpex Version " VORPEX_VERSION " 08-18-1998"),
            units.rect(10, 10, 119, 8));
    addText("copyright", QStringLiteral("Freeware (C) 1998 Corvane"), units.rect(10, 20, 119, 8));
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("ok"));
    m_ok->setDefault(true);
    m_ok->setGeometry(units.rect(155, 10, 42, 14));
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    addText("updates", QStringLiteral("For the latest updates and news about Vorpex see:"),
            units.rect(10, 50, 185, 8));
    m_link.setObjectName(QStringLiteral("link"));
    m_link.setText(QString::fromLatin1(kPageAddress));
    m_link.setGeometry(units.rect(10, 60, 185, 10));
    addText("blank", QString(), units.rect(10, 35, 80, 10));
    addText("credits", QStringLiteral("Program icons drawn by Corvane"), units.rect(10, 75, 185, 8));

    setFixedSize(units.dluX(207), units.dluY(89));
    setupUi();
}

void AboutDlg::setupUi() {
    // Bound without a target, the link first takes the page address it shows as its target.
    m_link.preSubclassWindow();
    m_link.setLinkUrl(QString::fromLatin1(kHomeAddress));
    m_link.setLinkUnderline(true);
    m_ok->setFocus();
}

} // namespace vorpex
