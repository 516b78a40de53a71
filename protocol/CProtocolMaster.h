#pragma once

#include "backend/CMessageSender.h"
#include "paramica_export.h"
#include "protocol/CRequest.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QStringList>

class QTimer;

// Base of the protocol masters: owns the request queue, the state machine that
// sends one telegram at a time, the cycle and response timers and the telegram
// log form. Subclasses build telegrams, decode answers and decide on retries.
class PARAMICA_EXPORT CProtocolMaster : public CMessageSender
{
    Q_OBJECT

public:
    enum ENUM_LOG_TYPES { LOG_RX = 0, LOG_TX = 1 };
    enum ENUM_STATES { STATE_IDLE = 0, STATE_RETRY = 1, STATE_WAITING = 2 };

    explicit CProtocolMaster(ENUM_PROTOCOL_TYPE type, QObject* parent = nullptr);

    ENUM_PROTOCOL_TYPE type() const { return m_type; }
    void setType(ENUM_PROTOCOL_TYPE type);
    int state() const { return m_state; }
    bool isAnswered() const { return m_answered; }
    bool isReady() const { return m_ready; }
    int queuedCount() const { return m_queue.size(); }
    // The request last sent; its type is -1 when none is current.
    CRequest currentRequest() const { return m_currentRequest; }

    virtual void setDeviceAddress(uchar address);
    virtual void reset();

    // Bounds the answer wait of every request, its retries included, so that
    // a missing device is known within this time; 0 (the default) leaves each
    // request type its own time-out and retries.
    void setAnswerTimeout(int milliseconds) { m_answerTimeoutMs = milliseconds > 0 ? milliseconds : 0; }
    int answerTimeout() const { return m_answerTimeoutMs; }

    void clearRequests(ENUM_REQUEST_TYPE type);

    static QString requestToString(ENUM_REQUEST_TYPE type);
    static QString requestTypeText(ENUM_REQUEST_TYPE type);
    static QString telegramToString(const QByteArray& telegram, ENUM_LOG_TYPES logType);

signals:
    void ack();
    void nack();
    void dataResponse(QByteArray data);
    void scanResponse(QStringList entries);
    void didResponse(QStringList entries);
    void programDataResponse(QByteArray data);
    void recordResponse(QByteArray data);
    void write(const char* buffer, int byteCount);

public slots:
    void buildRequests(const QList<CRequest>& requests);
    void setStateToNone();
    virtual void buildRequest(const CRequest& request);
    virtual void resolveResponse(const char* buffer, int byteCount);

protected slots:
    virtual void timeout();

private slots:
    void statemachine();

protected:
    // Appends a ready-built telegram; an empty one is never queued.
    void enqueue(const CRequest& request, const QByteArray& telegram);
    // The wait for the answer to one try of a request of this type.
    int responseTimeout(ENUM_REQUEST_TYPE type) const;
    // Whether a request that has gone unanswered `tries` times, of at most
    // `maxTries`, is sent again within the answer bound.
    bool mayRetry(ENUM_REQUEST_TYPE type, int tries, int maxTries) const;

    int m_state = STATE_IDLE;
    bool m_answered = true;
    bool m_ready = true;
    ENUM_PROTOCOL_TYPE m_type;
    QTimer* m_cycleTimer = nullptr;
    QTimer* m_responseTimer = nullptr;
    QList<QPair<CRequest, QByteArray>> m_queue;
    CRequest m_currentRequest;
    // The telegram of the current request, which its answer must match.
    QByteArray m_currentTelegram;
    // Telegrams sent so far: a nested wait compares it to learn whether the
    // request it waited on is still the one on the line.
    quint64 m_sendCount = 0;
    // Collected by the NFC master while it scans; emptied on reset.
    QStringList m_scanList;
    QStringList m_lastScanList;
    int m_answerTimeoutMs = 0;
};
