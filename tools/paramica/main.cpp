#include "CCommandLine.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("paramica"));
    CCommandLine commandLine;
    return commandLine.run(QCoreApplication::arguments());
}
