#include "views/FindBar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

CFindBar::CFindBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FindBar"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    auto* label = new QLabel(QStringLiteral("Fi&nd:"), this);
    m_pEdit = new QLineEdit(this);
    m_pEdit->setObjectName(QStringLiteral("FindEdit"));
    m_pEdit->setPlaceholderText(QStringLiteral("Part of a name, or a pattern with * and ?"));
    m_pEdit->setClearButtonEnabled(true);
    m_pEdit->installEventFilter(this);
    label->setBuddy(m_pEdit);
    m_pResult = new QLabel(this);
    m_pResult->setObjectName(QStringLiteral("FindResult"));
    auto* close = new QToolButton(this);
    close->setObjectName(QStringLiteral("FindClose"));
    close->setText(QStringLiteral("Close"));
    close->setToolTip(QStringLiteral("Close the find bar (Esc)"));
    close->setAutoRaise(true);
    layout->addWidget(label);
    layout->addWidget(m_pEdit, 1);
    layout->addWidget(m_pResult);
    layout->addWidget(close);
    connect(m_pEdit, &QLineEdit::textChanged, this, &CFindBar::TextChanged);
    connect(m_pEdit, &QLineEdit::returnPressed, this, &CFindBar::Accepted);
    connect(close, &QToolButton::clicked, this, &CFindBar::Close);
    hide();
}

QString CFindBar::Text() const {
    return m_pEdit->text();
}

void CFindBar::Open() {
    show();
    m_pEdit->setFocus(Qt::ShortcutFocusReason);
    m_pEdit->selectAll();
}

void CFindBar::SetResultText(const QString& text) {
    m_pResult->setText(text);
}

void CFindBar::Close() {
    hide();
    emit Closed();
}

bool CFindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pEdit && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down) {
        emit MoveToResults();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CFindBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        Close();
        return;
    }
    QWidget::keyPressEvent(event);
}
