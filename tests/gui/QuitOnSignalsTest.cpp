// The desktop program ended by SIGTERM, SIGHUP or SIGINT: a real process, run as main() runs it, that has
// opened a file of its archive; the signal ends it the normal way, its private folder with it.
#include <QDir>
#include <QProcess>
#include <csignal>
#include <cstdio>

#include "app/EntryCommands.h"
#include "tests/gui/AppTestSupport.h"

using namespace vorpex;

namespace {

// The program on `archive`; once its window is up it opens DATA/TEXT.TXT and prints where that was put.
int runChild(int argc, char* argv[]) {
    QApplication qtApp(argc, argv);
    useEmptySettings();
    return VorpexApp::run({QString::fromLocal8Bit(argv[2])}, [](VorpexApp& app) {
        MainFrame* frame = app.mainWnd();
        EntryCommands* actions = frame->entryCommands();
        actions->setOpener([](const QUrl& url) {
            std::printf("%s\n", qPrintable(url.toLocalFile()));
            return std::fflush(stdout) == 0;
        });
        frame->dirView()->setCurrentIndex(treeItem(frame->dirView()->model(), {"DATA"}));
        frame->setActiveView(frame->filesView());
        frame->filesView()->setCurrentIndex(frame->filesView()->model()->index(0, 0));
        actions->open();
    });
}

} // namespace

class QuitOnSignalsTest : public QObject {
    Q_OBJECT

private slots:
    void signalEndsTheProgramAndTakesItsPrivateFolder() {
        QTemporaryDir dir;
        const QString archive =
            writeArchive(dir, "test.dir", {folderNode("DATA", {fileNode("TEXT.TXT", "text")})});
        for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
            QTemporaryDir runtime;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            QProcess child;
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), archive});
            QTRY_VERIFY_WITH_TIMEOUT(child.canReadLine() || child.state() == QProcess::NotRunning, 30000);
            const QString staged = QString::fromLocal8Bit(child.readLine()).trimmed();
            QVERIFY2(staged.startsWith(runtime.path() + "/vorpex-") && QFile::exists(staged),
                     qPrintable(staged));

            ::kill(child.processId(), signal);
            QVERIFY(child.waitForFinished(30000));
            // Ended by the signal itself, as its sender expects, and with nothing left behind.
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
            QCOMPARE(child.exitCode(), signal);
            QCOMPARE(QDir(runtime.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                     QStringList());
        }
    }
};

int main(int argc, char* argv[]) {
    if (argc == 3 && qstrcmp(argv[1], "--child") == 0)
        return runChild(argc, argv);
    QApplication app(argc, argv);
    QuitOnSignalsTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "QuitOnSignalsTest.moc"
