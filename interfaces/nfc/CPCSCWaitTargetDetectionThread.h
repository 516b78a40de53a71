#pragma once

#include "interfaces/nfc/CPCSCWaitThread.h"

// Waits until a tag is in the reader's field.
class PARAMICA_EXPORT CPCSCWaitTargetDetectionThread : public CPCSCWaitThread
{
    Q_OBJECT

public:
    CPCSCWaitTargetDetectionThread(SCARDCONTEXT context, const QString& readerName, QObject* parent);

signals:
    void targetDetected();

protected:
    void stateReached() override;
};
