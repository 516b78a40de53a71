#include "interfaces/nfc/CPCSCWaitThread.h"

#include "interfaces/nfc/CPCSCAdapter.h"

namespace {
// A cancel that reaches the thread just before it enters its wait is lost;
// it is repeated until the run has ended.
const unsigned long CANCEL_REPEAT_MS = 20;
const QString FUNCTION_NAME = QStringLiteral("SCardGetStatusChange");
}

CPCSCWaitThread::CPCSCWaitThread(SCARDCONTEXT context, const QString& readerName, DWORD awaitedState,
                                 QObject* parent)
    : QThread(parent)
    , m_context(context)
    , m_readerName(readerName.toUtf8())
    , m_awaitedState(awaitedState)
{
}

void CPCSCWaitThread::stop()
{
    m_stopRequested = 1;
    while (!wait(CANCEL_REPEAT_MS))
        SCardCancel(m_context);
    m_stopRequested = 0;
}

void CPCSCWaitThread::run()
{
    SCARD_READERSTATE state{};
    state.szReader = m_readerName.constData();
    state.dwCurrentState = SCARD_STATE_UNAWARE;
    LONG result = SCardGetStatusChange(m_context, 0, &state, 1);
    emit printMessage(long(result), CPCSCAdapter::printStatus(long(result), FUNCTION_NAME));
    while (result == SCARD_S_SUCCESS && !(state.dwEventState & m_awaitedState) && !m_stopRequested) {
        // Passing the last event state back makes the call return only when
        // the reader's state has changed.
        state.dwCurrentState = state.dwEventState & ~DWORD(SCARD_STATE_CHANGED);
        result = SCardGetStatusChange(m_context, INFINITE, &state, 1);
    }
    if (m_stopRequested)
        return;
    if (result == SCARD_S_SUCCESS) {
        stateReached();
        return;
    }
    emit printMessage(long(result), CPCSCAdapter::printStatus(long(result), FUNCTION_NAME));
    emit error();
}
