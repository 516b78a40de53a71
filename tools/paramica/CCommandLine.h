#pragma once

#include <QCommandLineParser>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

class CDataBackend;
struct CDataPoint;
class CItem;
class CTreeModel;
class QEventLoop;

// The command-line front end: drives the back end through its public API the
// way a graphical front end would, one command per run.
class CCommandLine : public QObject
{
    Q_OBJECT

public:
    enum ENUM_EXIT_CODES {
        EXIT_OK = 0,
        EXIT_DEVICE_ERROR = 1,
        EXIT_USAGE = 2,
        EXIT_NO_CONNECTION = 3,
        EXIT_FILE_ERROR = 4
    };

    explicit CCommandLine(QObject* parent = nullptr);

    // Parses the arguments, runs the command and returns the exit code.
    int run(const QStringList& arguments);

private:
    typedef int (CCommandLine::*Command)();
    typedef bool (*SaveFunction)(const QString&, const QMap<QString, QString>&, const QList<CDataPoint>&);

    // Raw register access
    int scan();
    int readRegisters();
    int writeRegister();
    // Described devices
    int devices();
    int identify();
    int show();
    int set();
    int save();
    int load();
    int print();
    int record();

    bool connectDevice();
    // Scans, lets the back end choose and activate the description and waits
    // until the device has been checked against it.
    bool identifyDevice();
    CTreeModel* namedModel(const QString& name);
    // Reads or writes every section of the model and waits for the answers.
    bool readModel(CTreeModel* model);
    bool writeModel(CTreeModel* model);
    void printModel(CTreeModel* model);
    QMap<QString, QString> fileDescription();
    // Reads the parameters and saves them through the given file writer.
    int saveParameters(const QString& what, SaveFunction saveFunction, const QString& failure, const QString& success);
    QString positional(int index, const QString& what);

    // Waits in the event loop until finish() is called, the bound passes or,
    // if asked, the protocol master has nothing left to do; the latter two
    // set m_unanswered and give EXIT_DEVICE_ERROR.
    int waitForCompletion(int timeoutMs, bool untilMasterIdle);
    void finish(int exitCode);
    void reportMessage(const QString& caption, const QString& text);
    bool parseNumber(const QString& option, int maximum, int* value);

    static void printLine(const QString& line);
    void printError(const QString& line);

    QCommandLineParser m_parser;
    CDataBackend* m_backend = nullptr;
    QEventLoop* m_loop = nullptr;
    int m_exitCode = EXIT_OK;
    // The last wait ended without the answers it waited for and without a
    // message of the library.
    bool m_unanswered = false;
};
