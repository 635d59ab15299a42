#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <cstdio>

#include "VorpexVersion.h"
#include "app/VorpexApp.h"
#include "platform/FileDescriptor.h"

// vorpex [ARCHIVE]
int main(int argc, char* argv[]) {
    OpenStandardDescriptors();
    QApplication qtApp(argc, argv);
    QApplication::setOrganizationName(QString::fromLatin1(CVorpexApp::kCompany));
    QApplication::setApplicationName(QString::fromLatin1(CVorpexApp::kAppName));
    QApplication::setApplicationVersion(QStringLiteral(VORPEX_VERSION));
    // Window managers match the window to the installed desktop entry and its icon by this name.
    QApplication::setDesktopFileName(QStringLiteral(VORPEX_APP_ID));
    // The installed theme's icon when there is one, else the renderings built into the program.
    QIcon builtIn;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        builtIn.addFile(QStringLiteral(":/icons/%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(VORPEX_APP_ID), builtIn));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Browse a game-data archive and extract its folders and files."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("ARCHIVE"),
                                 QStringLiteral("The archive to open at start-up."),
                                 QStringLiteral("[ARCHIVE]"));
    const bool parsed = parser.parse(QApplication::arguments());
    if (parsed && parser.isSet(QStringLiteral("version")))
        parser.showVersion(); // exits 0
    if (parsed && parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parsed && parser.isSet(QStringLiteral("help-all")))
        parser.process(QApplication::arguments()); // prints the help with Qt's own options, exits 0
    const QStringList args = parser.positionalArguments();
    if (!parsed || args.size() > 1) {
        const QString error = parsed ? QStringLiteral("only one ARCHIVE can be opened") : parser.errorText();
        std::fprintf(stderr, "vorpex: %s\n\n%s", qPrintable(error), qPrintable(parser.helpText()));
        return 2;
    }
    return CVorpexApp::Run(args);
}
