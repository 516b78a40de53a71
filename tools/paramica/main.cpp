#include "CCommandLine.h"

#include <QGuiApplication>
#include <QTemporaryDir>

int main(int argc, char* argv[])
{
    // Printing lays out text with fonts, which needs a GUI application; a
    // shell has no display, so render off screen unless told otherwise.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt wants a private runtime directory and complains on stderr without one.
    QTemporaryDir runtimeDir;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtimeDir.isValid())
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("paramica"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PARAMICA_VERSION));
    CCommandLine commandLine;
    return commandLine.run(QCoreApplication::arguments());
}
