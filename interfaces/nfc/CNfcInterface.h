#pragma once

#include "interfaces/CBaseInterface.h"
#include "interfaces/nfc/NdefRecordList.h"

class CNfcAdapter;
class QTimer;

// The transport of interface type NFC: a PC/SC reader presented as a port.
// It keeps trying until the reader is available, forwards the adapter's data,
// messages and NDEF records, and turns a tag's arrival and departure into a
// connection signal.
class PARAMICA_EXPORT CNfcInterface : public CBaseInterface
{
    Q_OBJECT

public:
    static constexpr int RETRY_INTERVAL_MS = 100;

    explicit CNfcInterface(QObject* parent = nullptr);
    ~CNfcInterface() override;

    // The reader is chosen by the adapter.
    void setPortName(const QString& name) override;
    bool openPort() override;
    bool closePort() override;
    int configurePort() override;
    bool isPortOpen() const override;
    QString portName() const override;

    bool isTargetConnected() const;
    CNfcAdapter* adapter() const { return m_adapter; }

public slots:
    void sendData(const char* buffer, int byteCount) override;
    void readNdefMessages();

signals:
    void adapterError();
    void targetConnectionChanged(bool connected);
    void targetSerialNumberChanged(QString serialNumber);
    void ndefRecordsRead(NdefRecordList records);
    // Declared for front ends; the interface delivers data through dataRead.
    void dataReceived(QByteArray data);

private slots:
    void waitForAdapter();
    void targetConnected();
    void targetLost();

private:
    void connectMessages();
    void disconnectMessages();

    CNfcAdapter* m_adapter;
    bool m_portOpen = false;
    QTimer* m_retryTimer;
};
