#pragma once

#include <QCommandLineParser>
#include <QObject>
#include <QString>
#include <QStringList>

class CDataBackend;
class QEventLoop;

// The command-line front end: drives the back end through its public API the
// way a graphical front end would, one command per run.
class CCommandLine : public QObject
{
    Q_OBJECT

public:
    enum ENUM_EXIT_CODES { EXIT_OK = 0, EXIT_DEVICE_ERROR = 1, EXIT_USAGE = 2, EXIT_NO_CONNECTION = 3 };

    explicit CCommandLine(QObject* parent = nullptr);

    // Parses the arguments, runs the command and returns the exit code.
    int run(const QStringList& arguments);

private:
    bool connectDevice();
    int scan();
    int readRegisters();
    int writeRegister();

    // Waits in the event loop until finish() is called or the bound passes.
    int waitForCompletion(int timeoutMs);
    void finish(int exitCode);
    void reportMessage(const QString& caption, const QString& text);
    bool parseNumber(const QString& option, int maximum, int* value);

    static void printLine(const QString& line);

    void printError(const QString& line);

    QCommandLineParser m_parser;
    CDataBackend* m_backend = nullptr;
    QEventLoop* m_loop = nullptr;
    int m_exitCode = EXIT_OK;
    bool m_messageSeen = false;
};
