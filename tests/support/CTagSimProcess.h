#pragma once

// The tag emulator paramica-tagsim as a child process of a test: an NFC tag
// on the first virtual reader (or the second with --port 35964). A test
// using it adds to its CMakeLists.txt:
//   target_compile_definitions(<test> PRIVATE PARAMICA_TAGSIM_PATH="$<TARGET_FILE:paramica-tagsim>")
//   add_dependencies(<test> paramica-tagsim)
// The emulator is stopped by stop() or the destructor.

#include "support/CPcscdProcess.h"
#include "support/StopProcess.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QTest>

#include <csignal>

class CTagSimProcess
{
public:
    ~CTagSimProcess() { stop(); }

    // Starts the emulator; true once its tag is in the reader's field.
    bool start(const QStringList& options = {})
    {
        stop();
        m_output.clear();
        m_reader = options.contains(QStringLiteral("35964")) ? QStringLiteral("Virtual PCD 00 01")
                                                            : QString(CPcscdProcess::FIRST_READER);
        m_process.setReadChannel(QProcess::StandardOutput);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(PARAMICA_TAGSIM_PATH), options);
        if (waitForLine(PRESENTING, 5000))
            return true;
        QWARN(qPrintable(QStringLiteral("paramica-tagsim %1 did not present its tag: %2").arg(options.join(' '), m_output)));
        stop();
        return false;
    }

    // Takes the tag away, or brings it back, and waits until it has.
    bool toggle()
    {
        const bool present = m_output.count(PRESENTING) > m_output.count(REMOVED);
        ::kill(pid_t(m_process.processId()), SIGUSR1);
        return waitForLine(present ? REMOVED : PRESENTING, 5000);
    }

    // Waits for the line to be printed once more than it had been.
    bool waitForLine(const QString& line, int timeoutMs)
    {
        const int seen = m_output.count(line);
        const QDeadlineTimer deadline(timeoutMs);
        while (m_output.count(line) <= seen && !deadline.hasExpired()
               && m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            m_output += QString::fromLocal8Bit(m_process.readAllStandardOutput());
        m_output += QString::fromLocal8Bit(m_process.readAllStandardOutput());
        return m_output.count(line) > seen;
    }

    // Ends the emulator and waits until the service has seen its tag go, so
    // that the next tag is taken as a new one.
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        stopProcess(m_process);
        if (CPcscdProcess::servesVirtualReaders() && !CPcscdProcess::waitForState(m_reader, SCARD_STATE_EMPTY, 5000))
            QWARN("the reader did not see the tag leave");
    }

    static inline const QString PRESENTING = QStringLiteral("presenting tag on");
    static inline const QString REMOVED = QStringLiteral("tag removed");

private:
    QProcess m_process;
    QString m_output;
    QString m_reader;
};
