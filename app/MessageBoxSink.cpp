#include "app/MessageBoxSink.h"

#include "platform/MessageTexts.h"
#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QThread>
#include <QVBoxLayout>

namespace vorpex {

void MessageBoxSink::report(const Message& message) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        show(message);
        return;
    }
    // Posted, not waited for: the worker goes on while the box is up.
    QMetaObject::invokeMethod(
        app, [message] { show(message); }, Qt::QueuedConnection);
}

// Names come from strangers' archives and from what the user typed: always plain text, never markup.
void MessageBoxSink::show(const Message& message) {
    const QString text = QString::fromStdString(message.full());
    if (text.count(QLatin1Char('\n')) < kMaxLines) {
        QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kCaption), text, QMessageBox::Ok,
                        QApplication::activeWindow());
        box.setTextFormat(Qt::PlainText);
        box.exec();
        return;
    }
    // A long list (the messages an extraction gathered): its first line above the rest, which scrolls.
    QDialog box(QApplication::activeWindow());
    box.setObjectName(QStringLiteral("MessageList"));
    box.setWindowTitle(QString::fromLatin1(kCaption));
    const qsizetype cut = text.indexOf(QLatin1Char('\n'));
    auto* head = new QLabel(text.left(cut), &box);
    head->setTextFormat(Qt::PlainText);
    auto* list = new QPlainTextEdit(text.mid(cut + 1), &box);
    list->setReadOnly(true);
    list->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    auto* layout = new QVBoxLayout(&box);
    layout->addWidget(head);
    layout->addWidget(list);
    layout->addWidget(buttons);
    box.resize(520, 360);
    box.exec();
}

} // namespace vorpex
