#pragma once

// The PC/SC service with its virtual readers "Virtual PCD 00 00" and
// "Virtual PCD 00 01" (vsmartcard-vpcd), for the NFC suites. A service that
// already runs is used as it is; otherwise pcscd is started in the
// foreground as a child process (root only), and stopped by stop() or the
// destructor. The suites that use it are registered with PCSCD (tests/CMakeLists.txt),
// which runs them one at a time on this machine.

#include "support/StopProcess.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QTest>

#include <winscard.h>

#include <cstring>
#include <unistd.h>

class CPcscdProcess
{
public:
    static constexpr const char* FIRST_READER = "Virtual PCD 00 00";

    ~CPcscdProcess() { stop(); }

    // True once a service lists the virtual readers.
    bool start()
    {
        if (servesVirtualReaders())
            return true;
        if (geteuid() != 0) {
            QWARN("pcscd is not running and only root may start it");
            return false;
        }
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("pcscd"), { QStringLiteral("--foreground") });
        if (!m_process.waitForStarted(5000)) {
            QWARN(qPrintable(QStringLiteral("pcscd did not start: %1").arg(m_process.errorString())));
            return false;
        }
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
            if (servesVirtualReaders())
                return true;
            QTest::qWait(20);
        }
        QWARN("pcscd did not list the virtual readers");
        stop();
        return false;
    }

    // Stops the service if this fixture started it.
    void stop()
    {
        stopProcess(m_process, 5000);
    }

    bool startedHere() const { return m_process.state() != QProcess::NotRunning; }

    static bool servesVirtualReaders()
    {
        SCARDCONTEXT context = 0;
        if (SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &context) != SCARD_S_SUCCESS)
            return false;
        char readers[1024];
        DWORD length = sizeof readers;
        const bool listed = SCardListReaders(context, nullptr, readers, &length) == SCARD_S_SUCCESS
            && std::strncmp(readers, FIRST_READER, std::strlen(FIRST_READER)) == 0;
        SCardReleaseContext(context);
        return listed;
    }

    // Waits until the reader's state has the bit (SCARD_STATE_EMPTY,
    // SCARD_STATE_PRESENT): the service notices a card coming or going only
    // when it next polls the reader.
    static bool waitForState(const QString& reader, DWORD bit, int timeoutMs)
    {
        SCARDCONTEXT context = 0;
        if (SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &context) != SCARD_S_SUCCESS)
            return false;
        const QByteArray name = reader.toUtf8();
        SCARD_READERSTATE state{};
        state.szReader = name.constData();
        state.dwCurrentState = SCARD_STATE_UNAWARE;
        const QDeadlineTimer deadline(timeoutMs);
        LONG result = SCardGetStatusChange(context, 0, &state, 1);
        while (result == SCARD_S_SUCCESS && !(state.dwEventState & bit) && !deadline.hasExpired()) {
            state.dwCurrentState = state.dwEventState & ~DWORD(SCARD_STATE_CHANGED);
            result = SCardGetStatusChange(context, DWORD(qMax<qint64>(1, deadline.remainingTime())), &state, 1);
        }
        SCardReleaseContext(context);
        return (state.dwEventState & bit) != 0;
    }

private:
    QProcess m_process;
};
