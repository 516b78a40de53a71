#pragma once

#include "CBridgeOptions.h"

#include <QByteArray>
#include <QMap>
#include <QObject>

class QSerialPort;
class QTimer;

// The bridge module's own behaviour: it keeps its settings and answers the
// command packets that read and write them, passes data packets to its UART
// (or echoes them), and sends what the UART receives back in notification
// packets. Its packet bytes are written down here from the module's protocol,
// not taken from the library, so that the two check each other.
class CBridgeModule : public QObject
{
    Q_OBJECT

public:
    static constexpr char PACKET_DATA = 0x01;
    static constexpr char PACKET_COMMAND = 0x02;
    static constexpr char COMMAND_READ = 0x10;
    static constexpr char COMMAND_WRITE = 0x11;
    static constexpr char ANSWER_READ = 0x50;
    static constexpr char ANSWER_WRITE = 0x51;
    static constexpr char STATUS_OK = 0x00;
    static constexpr char STATUS_FAILED = 0x01;
    static constexpr char STATUS_DENIED = char(0xFF);
    static constexpr int SETTING_NAME = 2;
    static constexpr int SETTING_UART_INDEX = 11;
    static constexpr int SETTING_PASS_KEY = 18;
    static constexpr int SETTING_ADVERTISING_FLAGS = 29;
    // A packet is at most 244 bytes: the kind and 243 data bytes.
    static constexpr int MAX_DATA_PER_PACKET = 243;
    // Texts are read as fields of this length, padded with zero bytes; a
    // text that fills its field has no terminator.
    static constexpr int TEXT_FIELD_LENGTH = 20;

    explicit CBridgeModule(const CBridgeOptions& options, QObject* parent = nullptr);

    // Opens the UART when one is given; false with the reason otherwise.
    bool openSerial(QString* error);
    // A packet the central wrote; false when the module refuses it.
    bool receivePacket(const QByteArray& packet);
    QString name() const;

signals:
    // A notification for the central.
    void packetToSend(QByteArray packet);
    void vanishRequested();
    void report(QString line);

private slots:
    void readSerial();
    void sendNextPacket();

private:
    void answerCommand(const QByteArray& command);
    QByteArray readAnswer(int index);
    QByteArray writeAnswer(int index, const QByteArray& value);
    void queueData(const QByteArray& bytes);
    void applyUartConfig();
    static bool isText(int index);

    const CBridgeOptions m_options;
    // Settings index to its stored value: text, or one byte.
    QMap<int, QByteArray> m_settings;
    QSerialPort* m_serial = nullptr;
    QTimer* m_packetTimer;
    QByteArray m_outgoing;
    int m_dataPackets = 0;
};
