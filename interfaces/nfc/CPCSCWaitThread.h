#pragma once

#include "paramica_export.h"

#include <QAtomicInteger>
#include <QByteArray>
#include <QString>
#include <QThread>

#include <winscard.h>

// Waits in SCardGetStatusChange until the reader's state carries the awaited
// bit, then reports it and ends. The wait blocks on state changes instead of
// polling, so a reader without a tag costs no processor time; stop() cancels
// it. Its context must be one that no other thread uses meanwhile: pcsc-lite
// holds a context's lock for the whole wait.
class PARAMICA_EXPORT CPCSCWaitThread : public QThread
{
    Q_OBJECT

public:
    CPCSCWaitThread(SCARDCONTEXT context, const QString& readerName, DWORD awaitedState, QObject* parent);

    // Ends a run, if one is going on, and returns when it has ended.
    void stop();

signals:
    void error();
    void printMessage(long status, QString message);

protected:
    void run() override;
    // The awaited state has been reached.
    virtual void stateReached() = 0;

private:
    const SCARDCONTEXT m_context;
    // The reader name as PC/SC wants it here (UTF-8); each user has its own copy.
    const QByteArray m_readerName;
    const DWORD m_awaitedState;
    QAtomicInteger<int> m_stopRequested = 0;
};
