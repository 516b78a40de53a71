#pragma once

#include "interfaces/nfc/CNfcAdapter.h"

#include <winscard.h>

class CNdefMessage;
class CPCSCWaitTargetDetectionThread;
class CPCSCWaitTargetLostThread;

// The NFC adapter on PC/SC: the first reader the service lists, a tag in its
// field watched by two waiting threads, and all card input and output on the
// adapter's own thread. Every PC/SC result is logged and, when it is a
// failure, reported with the caption "NFC Adapter".
class PARAMICA_EXPORT CPCSCAdapter : public CNfcAdapter
{
    Q_OBJECT

public:
    static constexpr int RECEIVE_BUFFER_SIZE = 300;

    explicit CPCSCAdapter(QObject* parent = nullptr);
    ~CPCSCAdapter() override;

    bool start() override;
    bool stop() override;
    void readNdefMessages() override;
    bool isActive() const override;
    bool isTargetConnected() const override;
    QString readerName() const override;
    QString targetType() const override;
    QString targetSNr() const override;
    QByteArray resolveResponse(const QByteArray& response) const override;

    // Takes the target type from a contactless card's ATR; an ATR of another
    // form leaves it as it is.
    void parseAtr(const QByteArray& atr);

    // The text of a PC/SC result for the user.
    static QString statusText(long status);
    // The log line of a PC/SC result: "function: Error 0x... text";
    // "No error was encountered." for success.
    static QString printStatus(long status, const QString& function);

public slots:
    void writeData(const char* data, int length) override;
    void writeData(QByteArray data) override;

private slots:
    void targetDetected();
    void targetRemoved();
    void adapterError();
    void statusMessage(long status, QString message);

private:
    LONG connectReader();
    LONG disconnectReader();
    void startTargetDetection();
    void startTargetLostDetection();
    LONG activateTarget();
    LONG readAtr(QByteArray* atr);
    LONG exchange(const QByteArray& apdu, QByteArray* response);
    void handlePolledNdefMessage(const CNdefMessage& message);
    // Logs and reports a PC/SC result; returns it.
    LONG report(LONG status, const QString& function);
    // Drops the tag's handle: disconnected, also when the tag has gone.
    void releaseTarget();
    void stopThreads();

    CPCSCWaitTargetDetectionThread* m_detectionThread = nullptr;
    CPCSCWaitTargetLostThread* m_lostThread = nullptr;
    // Card input and output.
    SCARDCONTEXT m_context = 0;
    // The waiting threads': pcsc-lite locks a context for the whole of a
    // wait, which would hold up the card input and output.
    SCARDCONTEXT m_waitContext = 0;
    SCARDHANDLE m_card = 0;
    DWORD m_activeProtocol = 0;
};
