#include <QApplication>
#include <cstdio>

#include "app/VorpexApp.h"
#include "platform/FileDescriptor.h"

// vorpex [ARCHIVE]
int main(int argc, char* argv[]) {
    OpenStandardDescriptors();
    QApplication qtApp(argc, argv);
    QApplication::setOrganizationName(QString::fromLatin1(CVorpexApp::kCompany));
    QApplication::setApplicationName(QString::fromLatin1(CVorpexApp::kAppName));
    QApplication::setApplicationVersion(QStringLiteral("0.3"));

    QStringList args = QApplication::arguments();
    args.removeFirst();
    if (args.size() > 1) {
        std::fputs("usage: vorpex [ARCHIVE]\n", stderr);
        return 2;
    }
    CVorpexApp app;
    if (!app.InitInstance(args))
        return 1;
    return QApplication::exec();
}
