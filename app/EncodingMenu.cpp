#include "app/EncodingMenu.h"

#include <QActionGroup>
#include <QInputDialog>
#include <QSettings>

#include "catalogue/NameCodec.h"

namespace vorpex {

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

EncodingMenu::EncodingMenu(std::function<bool(const QString&)> accepts, QWidget* parent)
    : QMenu(QStringLiteral("&Encoding"), parent), m_accepts(std::move(accepts)) {
    setObjectName(QStringLiteral("EncodingMenu"));
    m_group = new QActionGroup(this);
    for (const auto& encoding : kEncodings) {
        QAction* action = addAction(QString::fromLatin1(encoding[1]));
        action->setObjectName(QString::fromLatin1(encoding[0]));
        action->setData(QString::fromLatin1(encoding[0]));
        action->setCheckable(true);
        action->setStatusTip(QStringLiteral("Show the archive's names in this code page"));
        m_group->addAction(action);
        connect(action, &QAction::triggered, this, [this, action] { choose(action->data().toString()); });
    }
    addSeparator();
    m_other = addAction(QStringLiteral("Other..."));
    m_other->setObjectName(QStringLiteral("OtherEncoding"));
    m_other->setCheckable(true);
    m_other->setStatusTip(QStringLiteral("Show the archive's names in a code page given by name"));
    m_group->addAction(m_other);
    connect(m_other, &QAction::triggered, this, &EncodingMenu::onOther);
    m_askName = [](QWidget* parent, const QString& current) {
        return QInputDialog::getText(parent, QStringLiteral("Encoding"),
                                     QStringLiteral("Name of the code page (as iconv knows it):"),
                                     QLineEdit::Normal, current);
    };
}

QString EncodingMenu::stored() {
    const QString stored = QSettings().value(QString::fromLatin1(kKey)).toString();
    return stored.isEmpty() ? QString::fromLatin1(NameCodec::kDefault) : stored;
}

void EncodingMenu::setCurrent(const QString& encoding) {
    m_current = encoding;
    for (QAction* action : m_group->actions()) {
        if (action != m_other && action->data().toString().compare(encoding, Qt::CaseInsensitive) == 0) {
            action->setChecked(true);
            return;
        }
    }
    m_other->setChecked(true);
}

void EncodingMenu::choose(const QString& encoding) {
    QSettings().setValue(QString::fromLatin1(kKey), encoding);
    setCurrent(encoding);
    emit encodingChosen(encoding);
}

void EncodingMenu::onOther() {
    const QString name = m_askName(parentWidget(), m_current).trimmed();
    if (!name.isEmpty() && m_accepts(name)) {
        choose(name);
        return;
    }
    setCurrent(m_current); // the check goes back where it was
    if (!name.isEmpty())
        emit encodingRefused(name);
}

} // namespace vorpex
