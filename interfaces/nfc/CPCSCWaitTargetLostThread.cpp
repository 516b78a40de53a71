#include "interfaces/nfc/CPCSCWaitTargetLostThread.h"

CPCSCWaitTargetLostThread::CPCSCWaitTargetLostThread(SCARDCONTEXT context, const QString& readerName,
                                                     QObject* parent)
    : CPCSCWaitThread(context, readerName, SCARD_STATE_EMPTY, parent)
{
}

void CPCSCWaitTargetLostThread::stateReached()
{
    emit targetLost();
}
