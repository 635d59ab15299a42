#include "app/MessageBoxSink.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

void CMessageBoxSink::Report(const CMessage& message) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        Show(message);
        return;
    }
    QMetaObject::invokeMethod(
        app, [&message] { Show(message); }, Qt::BlockingQueuedConnection);
}

void CMessageBoxSink::Show(const CMessage& message) {
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kCaption),
                    QString::fromStdString(message.Full()), QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}
