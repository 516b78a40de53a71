#include "interfaces/nfc/CPCSCWaitTargetDetectionThread.h"

CPCSCWaitTargetDetectionThread::CPCSCWaitTargetDetectionThread(SCARDCONTEXT context, const QString& readerName,
                                                               QObject* parent)
    : CPCSCWaitThread(context, readerName, SCARD_STATE_PRESENT, parent)
{
}

void CPCSCWaitTargetDetectionThread::stateReached()
{
    emit targetDetected();
}
