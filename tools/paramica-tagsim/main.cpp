// paramica-tagsim: the NFC tag of a device on this machine's virtual smart-card
// reader, for tests and for trying the NFC transport by hand.

#include "CIso15693Tag.h"
#include "CTagMemory.h"
#include "CTagPresence.h"
#include "CTagSimOptions.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>

namespace {
const int EXIT_BAD_SETUP = 2;
// The NFC sample, where the build puts it beside the program.
const QString DEFAULT_DESCRIPTION = QStringLiteral("xml/TC200N.xml");
}

int main(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(CTagSimOptions::usage(), stdout);
            return 0;
        }
    }
    // The description reader is Qt code; the emulator lays out any file it
    // is given, sealed or not.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    int qtArgc = 2;
    char checkOff[] = "--no-xml-check";
    char* qtArgv[] = { argv[0], checkOff, nullptr };
    QCoreApplication application(qtArgc, qtArgv);

    CTagSimOptions options;
    QString error;
    if (!options.parse(arguments, error)) {
        std::fprintf(stderr, "paramica-tagsim: %s\nTry 'paramica-tagsim --help'.\n", qPrintable(error));
        return EXIT_BAD_SETUP;
    }
    if (options.descriptionPath.isEmpty())
        options.descriptionPath = QCoreApplication::applicationDirPath() + QLatin1Char('/') + DEFAULT_DESCRIPTION;
    CTagMemory memory;
    if (!memory.load(options.descriptionPath, error)) {
        std::fprintf(stderr, "paramica-tagsim: %s\n", qPrintable(error));
        return EXIT_BAD_SETUP;
    }
    for (const int address : qAsConst(options.corruptCrcAddresses)) {
        if (!memory.corruptCrc(address)) {
            std::fprintf(stderr, "paramica-tagsim: no range starts at byte address %d\n", address);
            return EXIT_BAD_SETUP;
        }
    }
    CIso15693Tag tag(memory, options);
    return CTagPresence(options, tag).run();
}
