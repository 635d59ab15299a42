#include "app/EncodingMenu.h"

#include <QActionGroup>
#include <QInputDialog>
#include <QSettings>

#include "catalogue/NameCodec.h"

namespace {

// iconv's name of each code page and the menu's text for it.
const char* const kEncodings[][2] = {
    {"WINDOWS-1252", "&Western (Windows-1252)"},
    {"CP437", "DOS (&437)"},
    {"CP850", "DOS Latin 1 (&850)"},
    {"WINDOWS-1250", "&Central European (Windows-1250)"},
    {"WINDOWS-1251", "C&yrillic (Windows-1251)"},
    {"SHIFT_JIS", "&Japanese (Shift_JIS)"},
    {"GBK", "Chinese Simplified (&GBK)"},
    {"BIG5", "Chinese Traditional (&Big5)"},
    {"UTF-8", "&Unicode (UTF-8)"},
};

constexpr const char* kKey = "Settings/Encoding";

} // namespace

CEncodingMenu::CEncodingMenu(std::function<bool(const QString&)> accepts, QWidget* parent)
    : QMenu(QStringLiteral("&Encoding"), parent), m_fnAccepts(std::move(accepts)) {
    setObjectName(QStringLiteral("EncodingMenu"));
    m_pGroup = new QActionGroup(this);
    for (const auto& encoding : kEncodings) {
        QAction* action = addAction(QString::fromLatin1(encoding[1]));
        action->setObjectName(QString::fromLatin1(encoding[0]));
        action->setData(QString::fromLatin1(encoding[0]));
        action->setCheckable(true);
        action->setStatusTip(QStringLiteral("Show the archive's names in this code page"));
        m_pGroup->addAction(action);
        connect(action, &QAction::triggered, this, [this, action] { Choose(action->data().toString()); });
    }
    addSeparator();
    m_pOther = addAction(QStringLiteral("Other..."));
    m_pOther->setObjectName(QStringLiteral("OtherEncoding"));
    m_pOther->setCheckable(true);
    m_pOther->setStatusTip(QStringLiteral("Show the archive's names in a code page given by name"));
    m_pGroup->addAction(m_pOther);
    connect(m_pOther, &QAction::triggered, this, &CEncodingMenu::OnOther);
    m_fnAskName = [](QWidget* parent, const QString& current) {
        return QInputDialog::getText(parent, QStringLiteral("Encoding"),
                                     QStringLiteral("Name of the code page (as iconv knows it):"),
                                     QLineEdit::Normal, current);
    };
}

QString CEncodingMenu::Stored() {
    const QString stored = QSettings().value(QString::fromLatin1(kKey)).toString();
    return stored.isEmpty() ? QString::fromLatin1(CNameCodec::kDefault) : stored;
}

void CEncodingMenu::SetCurrent(const QString& encoding) {
    m_strCurrent = encoding;
    for (QAction* action : m_pGroup->actions()) {
        if (action != m_pOther && action->data().toString().compare(encoding, Qt::CaseInsensitive) == 0) {
            action->setChecked(true);
            return;
        }
    }
    m_pOther->setChecked(true);
}

void CEncodingMenu::Choose(const QString& encoding) {
    QSettings().setValue(QString::fromLatin1(kKey), encoding);
    SetCurrent(encoding);
    emit EncodingChosen(encoding);
}

void CEncodingMenu::OnOther() {
    const QString name = m_fnAskName(parentWidget(), m_strCurrent).trimmed();
    if (!name.isEmpty() && m_fnAccepts(name)) {
        Choose(name);
        return;
    }
    SetCurrent(m_strCurrent); // the check goes back where it was
    if (!name.isEmpty())
        emit EncodingRefused(name);
}
