#include "ModalScript.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QWidget>

CModalScript::CModalScript() {
    connect(&m_Timer, &QTimer::timeout, this, &CModalScript::Poll);
    m_Timer.start(5);
}

CModalScript& CModalScript::Then(Action action) {
    m_Actions.push_back(std::move(action));
    return *this;
}

void CModalScript::Poll() {
    QWidget* w = QApplication::activeModalWidget();
    if (!w || !w->isVisible() || w == m_pLast)
        return;
    // A dialog that opened one of its own (the chooser of Browse) is not answered again until that one is
    // gone: the code that ran it has then taken its result.
    for (QDialog* child : w->findChildren<QDialog*>()) {
        if (child != w)
            return;
    }
    m_pLast = w;
    if (m_Actions.empty()) {
        m_Unexpected << w->windowTitle();
        if (auto* dlg = qobject_cast<QDialog*>(w))
            QMetaObject::invokeMethod(dlg, &QDialog::reject, Qt::QueuedConnection);
        else
            QMetaObject::invokeMethod(w, &QWidget::close, Qt::QueuedConnection);
        return;
    }
    m_Seen << w->windowTitle();
    Action action = std::move(m_Actions.front());
    m_Actions.pop_front();
    action(w);
}

void CModalScript::Click(QWidget* button) {
    auto* b = qobject_cast<QAbstractButton*>(button);
    Q_ASSERT(b);
    QMetaObject::invokeMethod(b, &QAbstractButton::click, Qt::QueuedConnection);
}

QWidget* CModalScript::Child(QWidget* w, const QString& nameOrText) {
    if (auto* named = w->findChild<QWidget*>(nameOrText))
        return named;
    for (QAbstractButton* b : w->findChildren<QAbstractButton*>()) {
        if (b->text() == nameOrText && b->isVisible())
            return b;
    }
    return nullptr;
}
