#include "CStudioWindow.h"

#include "backend/CLanguage.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include <cstdio>

namespace {
const int EXIT_USAGE = 2;
const int DEFAULT_TCP_PORT = 502;

struct STRUCT_OPTIONS
{
    QString language;
    bool connect = false;
    CConnectDialog::Settings settings;
};

// Checks the arguments; -1 to go on, otherwise the exit code.
int parseArguments(STRUCT_OPTIONS* options)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Reference front end of the Paramica library: connect to a "
                                                    "device, edit its values, save and compare parameter files, "
                                                    "chart and record process values, update the firmware."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption language(QStringLiteral("language"),
                                      QStringLiteral("Language of the library's messages and the device's texts, "
                                                     "e.g. de or en (default: the system's)."),
                                      QStringLiteral("lang"));
    const QCommandLineOption tcp(QStringLiteral("tcp"),
                                 QStringLiteral("Connect at start to a Modbus TCP device, port 502 unless given."),
                                 QStringLiteral("host[:port]"));
    parser.addOption(language);
    parser.addOption(tcp);
    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "paramica-studio: %s\nSee paramica-studio --help.\n", qPrintable(parser.errorText()));
        return EXIT_USAGE;
    }
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        std::fprintf(stdout, "%s", qPrintable(parser.helpText()));
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "paramica-studio: unexpected argument '%s'.\nSee paramica-studio --help.\n",
                     qPrintable(parser.positionalArguments().first()));
        return EXIT_USAGE;
    }
    options->language = parser.value(language);
    options->connect = parser.isSet(tcp);
    if (options->connect) {
        QString& endpoint = options->settings.port;
        endpoint = parser.value(tcp);
        if (!endpoint.contains(QLatin1Char(':')))
            endpoint += QStringLiteral(":%1").arg(DEFAULT_TCP_PORT);
        bool ok = false;
        const uint port = endpoint.section(QLatin1Char(':'), -1).toUInt(&ok);
        if (!ok || port < 1 || port > 65535 || endpoint.section(QLatin1Char(':'), 0, -2).isEmpty()) {
            std::fprintf(stderr, "paramica-studio: invalid --tcp '%s' (HOST or HOST:PORT, port 1 to 65535).\n",
                         qPrintable(parser.value(tcp)));
            return EXIT_USAGE;
        }
    }
    return -1;
}
}

int main(int argc, char* argv[])
{
    STRUCT_OPTIONS options;
    {
        // The arguments are checked before a display is needed, so that
        // --help and a wrong argument answer in any shell.
        QCoreApplication arguments(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("paramica-studio"));
        const int exitCode = parseArguments(&options);
        if (exitCode >= 0)
            return exitCode;
    }

    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("paramica-studio"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PARAMICA_VERSION));
    CLanguage::install(options.language);
    CStudioWindow window(options.language);
    window.show();
    if (options.connect)
        QTimer::singleShot(0, &window, [&window, &options] { window.connectDevice(options.settings); });
    return app.exec();
}
