#include "CCommandLine.h"

#include <QGuiApplication>

int main(int argc, char* argv[])
{
    // Printing lays out text with fonts, which needs a GUI application; a
    // shell has no display, so render off screen unless told otherwise.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("paramica"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PARAMICA_VERSION));
    CCommandLine commandLine;
    return commandLine.run(QCoreApplication::arguments());
}
