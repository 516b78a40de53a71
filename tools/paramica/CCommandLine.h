#pragma once

#include "CCommandGroup.h"

#include "interfaces/CBaseInterface.h"

#include <QCommandLineParser>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class CDataBackend;
class CTreeModel;
struct CDataPoint;
class QEventLoop;

// The command-line front end: drives the back end through its public API the
// way a graphical front end would, one command per run. It parses the
// options, runs the command from its group's table and offers the commands
// what they share: the connection, the identified device, reads and writes
// of its models, bounded waits and the output.
class CCommandLine : public QObject
{
    Q_OBJECT

public:
    enum ENUM_EXIT_CODES {
        EXIT_OK = 0,
        EXIT_DIFFERENT = 1, // diff: the device and the file differ
        EXIT_USAGE = 2,
        EXIT_NO_CONNECTION = 3, // no port, or no answer from the device at all
        EXIT_FILE_ERROR = 4,
        EXIT_DEVICE_ERROR = 5 // refused, unknown or partly unanswered
    };
    // A read is sent up to three times with a 3 s time-out before it is reported.
    static const int COMMAND_TIMEOUT_MS = 15000;

    explicit CCommandLine(QObject* parent = nullptr);
    ~CCommandLine() override;

    // Parses the arguments, runs the command and returns the exit code.
    int run(const QStringList& arguments);

    CDataBackend* backend() const { return m_backend; }
    QString option(const QString& name) const { return unescapeNegative(m_parser.value(name)); }
    bool isSet(const QString& name) const { return m_parser.isSet(name); }
    // The option as a number from minimum to maximum (decimal or 0x hex); prints why not.
    bool parseNumber(const QString& option, int maximum, int* value, int minimum = 0);
    // The exit code that goes with the last failed step below.
    int failure() const { return m_exitCode; }

    // Opens the transport given by --tcp, --serial, --nfc or --ble; over NFC
    // it also waits, up to --timeout, for a tag on the reader. A serial port
    // takes the settings given, or else those of --baud and --parity.
    bool connectDevice(const STRUCT_SERIAL_SETTINGS* serialSettings = nullptr);
    // Every combination of the rates of --baud and the parities of --parity
    // (comma-separated lists); prints why not.
    bool serialSettingsList(QList<STRUCT_SERIAL_SETTINGS>* list);
    static QString serialSettingsText(const STRUCT_SERIAL_SETTINGS& settings);
    // Where the device is reached: "at HOST:PORT" or "on PORT (SETTINGS)".
    QString connectionText() const;
    // The answer bound of --timeout in milliseconds, 0 when not given.
    int answerTimeout() const { return m_answerTimeoutMs; }
    // Over NFC the back end scans each tag that arrives by itself.
    bool overNfc() const { return m_parser.isSet(QStringLiteral("nfc")); }
    // The port name of --ble, "NAME,ADDRESS[,CLASS]"; prints why not.
    bool bluetoothPort(QString* portName);
    // Connects, scans, lets the back end choose and activate the description
    // and waits until the device has been checked against it.
    bool identifyDevice();
    // The model of the identified device, or null with a message listing them.
    CTreeModel* namedModel(const QString& name);
    // Reads every block of the model and waits for the answers. A model read
    // completely during this run (the back end reads the device information
    // and the parameters of a device it activates) is not read again unless
    // asked for; one being read is waited for.
    bool readModel(CTreeModel* model, bool again = false);
    // Writes every block of the model and waits for the acknowledgements.
    bool writeModel(CTreeModel* model);

    // Reads a parameter file before anything else is done; prints why not.
    bool loadParameterFile(const QString& fileName, QMap<QString, QString>* description,
                           QList<CDataPoint>* records);
    // Reads a parameter file and activates, without a device, the
    // description it was saved from, so that its values can be shown,
    // checked and edited: its Parameter model, or null with the reason printed.
    CTreeModel* openFileOffline(const QString& fileName, QMap<QString, QString>* description,
                                QList<CDataPoint>* records);

    // Waits in the event loop until finish() is called, the bound passes or,
    // if asked, the protocol master has nothing left to do; the latter two
    // set unanswered() and give EXIT_DEVICE_ERROR.
    int waitForCompletion(int timeoutMs, bool untilMasterIdle);
    void finish(int exitCode);
    // The last wait ended without the answers it waited for and without a
    // message of the library.
    bool unanswered() const { return m_unanswered; }

    // A message of the library as "caption: text" on stderr; communication
    // failures end the running wait.
    void reportMessage(const QString& caption, const QString& text);
    // While muted, the library's messages still end a wait but are not shown.
    void muteMessages(bool mute) { m_messagesMuted = mute; }
    // The progress of a long command on stderr: one line redrawn in place on
    // a terminal, otherwise a line at each tenth of the way.
    void showProgress(const QString& text, int percent);
    // Ends a progress line (a terminal's cursor goes to the next line).
    void endProgress();
    static void printLine(const QString& line);
    static void printError(const QString& line);
    static QString hexWord(int value);

private:
    // Negative numbers ("-5") are arguments, not options: they pass the
    // parser in disguise and are restored after it.
    static QString escapeNegative(const QString& argument);
    static QString unescapeNegative(const QString& argument);
    QString helpText() const;
    // Follows the answers of the device just connected to.
    void watchAnswers();
    void deviceAnswered();
    // A device failure of a device that never answered is a missing device:
    // the unit and the port settings are named and scan --units suggested.
    int explainSilence(int exitCode);
    bool openNfcReader();
    bool openBluetooth(uchar unit);
    // Waits for a tag in the reader's field, saying so once if none is there yet.
    bool waitForTag(int timeoutMs);
    // Follows the read requests of the device's models and their answers.
    void trackReads();
    void blockAnswered(const QByteArray& data);

    QCommandLineParser m_parser;
    std::vector<std::unique_ptr<CCommandGroup>> m_groups;
    CDataBackend* m_backend = nullptr;
    QEventLoop* m_loop = nullptr;
    bool m_loopEnding = false; // the running wait has been told how it ends
    int m_exitCode = EXIT_OK;
    bool m_unanswered = false;
    bool m_progressOnTerminal = false;
    int m_progressTenths = -1; // the last tenth written off a terminal
    bool m_progressShown = false;
    // Start addresses of the blocks each model has asked for and not yet got.
    QHash<CTreeModel*, QList<quint16>> m_unansweredBlocks;
    QSet<CTreeModel*> m_readModels;
    CTreeModel* m_awaitedModel = nullptr;
    QString m_descriptionLanguage; // the device's texts in the language of --language
    QMetaObject::Connection m_tagWatch; // tells of a tag that leaves during the command
    int m_answerTimeoutMs = 0;
    bool m_messagesMuted = false;
    QString m_endpoint; // HOST:PORT of --tcp
    bool m_connected = false;
    bool m_deviceAnswered = false; // any byte came from the device since connecting
};
