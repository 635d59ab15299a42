#include "views/FindBar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace vorpex {

FindBar::FindBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FindBar"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    auto* label = new QLabel(QStringLiteral("Fi&nd:"), this);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("FindEdit"));
    m_edit->setPlaceholderText(QStringLiteral("Part of a name, or a pattern with * and ?"));
    m_edit->setClearButtonEnabled(true);
    m_edit->installEventFilter(this);
    label->setBuddy(m_edit);
    m_result = new QLabel(this);
    m_result->setObjectName(QStringLiteral("FindResult"));
    auto* close = new QToolButton(this);
    close->setObjectName(QStringLiteral("FindClose"));
    close->setText(QStringLiteral("Close"));
    close->setToolTip(QStringLiteral("Close the find bar (Esc)"));
    close->setAutoRaise(true);
    layout->addWidget(label);
    layout->addWidget(m_edit, 1);
    layout->addWidget(m_result);
    layout->addWidget(close);
    connect(m_edit, &QLineEdit::textChanged, this, &FindBar::textChanged);
    connect(m_edit, &QLineEdit::returnPressed, this, &FindBar::accepted);
    connect(close, &QToolButton::clicked, this, &FindBar::close);
    hide();
}

QString FindBar::text() const {
    return m_edit->text();
}

void FindBar::open() {
    show();
    m_edit->setFocus(Qt::ShortcutFocusReason);
    m_edit->selectAll();
}

void FindBar::setResultText(const QString& text) {
    m_result->setText(text);
}

void FindBar::close() {
    hide();
    emit closed();
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_edit && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down) {
        emit moveToResults();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void FindBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace vorpex
