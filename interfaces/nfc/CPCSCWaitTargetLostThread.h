#pragma once

#include "interfaces/nfc/CPCSCWaitThread.h"

// Waits until the reader's field is empty.
class PARAMICA_EXPORT CPCSCWaitTargetLostThread : public CPCSCWaitThread
{
    Q_OBJECT

public:
    CPCSCWaitTargetLostThread(SCARDCONTEXT context, const QString& readerName, QObject* parent);

signals:
    void targetLost();

protected:
    void stateReached() override;
};
