#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QIcon>
#include <cstdio>

#include "VorpexVersion.h"
#include "app/VorpexApp.h"
#include "platform/FileDescriptor.h"

using namespace vorpex;

namespace {

// The program's name, version and command line; set before any application object exists.
void describe(QCommandLineParser& parser) {
    QCoreApplication::setOrganizationName(QString::fromLatin1(VorpexApp::kCompany));
    QCoreApplication::setApplicationName(QString::fromLatin1(VorpexApp::kAppName));
    QCoreApplication::setApplicationVersion(QStringLiteral(VORPEX_VERSION));
    parser.setApplicationDescription(
        QStringLiteral("Browse a game-data archive and extract its folders and files."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("ARCHIVE"),
                                 QStringLiteral("The archive to open at start-up."),
                                 QStringLiteral("[ARCHIVE]"));
}

// Prints what is wrong with the command line and the usage; returns the exit status for it.
int usageError(const QCommandLineParser& parser, const QString& error) {
    std::fprintf(stderr, "vorpex: %s\n\n%s", qPrintable(error), qPrintable(parser.helpText()));
    return 2;
}

// Answers --help, --version and a second ARCHIVE without a window system (there is none over ssh, and
// QApplication aborts without one): a command line holding anything but the program's own options (Qt's
// -platform, -style, ...) is left to the full parse once QApplication has taken its options. Returns the
// exit status when the command line has been answered, -1 when the window is to start.
int answerWithoutWindow(int argc, char* argv[]) {
    QCoreApplication core(argc, argv);
    QCommandLineParser parser;
    describe(parser);
    if (!parser.parse(QCoreApplication::arguments()))
        return -1;
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion(); // exits 0
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.positionalArguments().size() > 1)
        return usageError(parser, QStringLiteral("only one ARCHIVE can be opened"));
    return -1;
}

} // namespace

// vorpex [ARCHIVE]
int main(int argc, char* argv[]) {
    openStandardDescriptors();
    if (const int status = answerWithoutWindow(argc, argv); status >= 0)
        return status;
    QApplication qtApp(argc, argv);
    QCommandLineParser parser;
    describe(parser);
    // Window managers match the window to the installed desktop entry and its icon by this name.
    QApplication::setDesktopFileName(QStringLiteral(VORPEX_APP_ID));
    // The installed theme's icon when there is one, else the renderings built into the program.
    QIcon builtIn;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        builtIn.addFile(QStringLiteral(":/icons/%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(VORPEX_APP_ID), builtIn));

    const bool parsed = parser.parse(QApplication::arguments());
    if (parsed && parser.isSet(QStringLiteral("version")))
        parser.showVersion(); // exits 0
    if (parsed && parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parsed && parser.isSet(QStringLiteral("help-all")))
        parser.process(QApplication::arguments()); // prints the help with Qt's own options, exits 0
    const QStringList args = parser.positionalArguments();
    if (!parsed || args.size() > 1)
        return usageError(parser,
                          parsed ? QStringLiteral("only one ARCHIVE can be opened") : parser.errorText());
    return VorpexApp::run(args);
}
