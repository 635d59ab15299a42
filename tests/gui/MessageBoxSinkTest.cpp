// The message box sink: a modal box captioned "Vorpex" with one OK button, from any thread.
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>

#include "app/MessageBoxSink.h"

class MessageBoxSinkTest : public QObject {
    Q_OBJECT

    struct CSeen {
        QString m_strCaption;
        QString m_strText;
        int m_nButtons = 0;
        bool m_bModal = false;
        const std::atomic<bool>* m_pReturned = nullptr; // the reporter's "Report returned" flag
        bool m_bReturnedWhileUp = false;
    };

    // Closes the next modal box with its OK button once it is up, noting what it showed.
    static void CloseNextBox(CSeen& seen) {
        auto* poll = new QTimer;
        QObject::connect(poll, &QTimer::timeout, poll, [poll, &seen] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            seen.m_strCaption = box->windowTitle();
            seen.m_strText = box->text();
            seen.m_nButtons = int(box->buttons().size());
            seen.m_bModal = box->isModal();
            seen.m_bReturnedWhileUp = seen.m_pReturned && seen.m_pReturned->load();
            box->button(QMessageBox::Ok)->click();
            poll->deleteLater();
        });
        poll->start(10);
    }

private slots:
    void showsTheMessageAndWaitsForOk() {
        CMessageBoxSink sink;
        CSeen seen;
        CloseNextBox(seen);
        sink.Report({"Could not find file ", "A.TXT", ".", true});
        QCOMPARE(seen.m_strCaption, QStringLiteral("Vorpex"));
        QCOMPARE(seen.m_strText, QStringLiteral("Could not find file A.TXT."));
        QCOMPARE(seen.m_nButtons, 1);
        QVERIFY(seen.m_bModal);
    }

    void workerWaitsWhileTheGuiThreadShowsIt() {
        CMessageBoxSink sink;
        CSeen seen;
        std::atomic<bool> returned = false;
        seen.m_pReturned = &returned;
        QThread* worker = QThread::create([&] {
            sink.Report({"Could not make directory ", "MAPS", "", true});
            returned = true;
        });
        CloseNextBox(seen);
        worker->start();
        QTRY_VERIFY_WITH_TIMEOUT(worker->isFinished(), 10000);
        QVERIFY(returned);
        QVERIFY(!seen.m_bReturnedWhileUp);
        QCOMPARE(seen.m_strText, QStringLiteral("Could not make directory MAPS"));
        delete worker;
    }
};

QTEST_MAIN(MessageBoxSinkTest)
#include "MessageBoxSinkTest.moc"
