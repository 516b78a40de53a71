#pragma once

// The device simulator paramica-devsim as a child process of a test, on Modbus
// TCP (127.0.0.1, a port the system picks) or on Modbus RTU over a
// pseudo-terminal pair of its own. A test using it adds to its CMakeLists.txt:
//   target_compile_definitions(<test> PRIVATE PARAMICA_DEVSIM_PATH="$<TARGET_FILE:paramica-devsim>")
//   add_dependencies(<test> paramica-devsim)
// The simulator is stopped by stop() or the destructor, so none is left behind.

#include "backend/CDataBackend.h"
#include "support/CSocatPtyPair.h"
#include "support/StopProcess.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <memory>

class CSimulatorProcess
{
public:
    ~CSimulatorProcess() { stop(); }

    bool startTcp(const QStringList& options = {})
    {
        static const QRegularExpression listening(QStringLiteral("^listening on (\\S+):([0-9]+)$"),
                                                  QRegularExpression::MultilineOption);
        stop();
        const QRegularExpressionMatch match = start(QStringList{ "--port", "0" } + options, listening);
        m_host = match.captured(1);
        m_port = quint16(match.captured(2).toUInt());
        return match.hasMatch();
    }

    bool startRtu(const QStringList& options = {})
    {
        static const QRegularExpression serving(QStringLiteral("^serving \\S+$"), QRegularExpression::MultilineOption);
        stop();
        m_pty.reset(new CSocatPtyPair);
        return m_pty->isValid() && start(QStringList{ "--serial", m_pty->deviceEnd() } + options, serving).hasMatch();
    }

    // Starts the simulator and connects the back end to it as a front end would.
    bool serve(CDataBackend* backend, const QStringList& options, bool rtu = false, uchar unit = 1)
    {
        if (!(rtu ? startRtu(options) : startTcp(options)))
            return false;
        backend->setComProtocol(rtu ? PROTOCOL_MODBUS_RTU : PROTOCOL_MODBUS_TCP);
        return backend->openInterface(rtu ? INTERFACE_SERIAL : INTERFACE_TCP, endpoint(), unit);
    }

    // SIGTERM, then SIGKILL if it does not end within three seconds.
    void stop()
    {
        stopProcess(m_process);
        m_pty.reset();
    }

    QString host() const { return m_host; }
    quint16 port() const { return m_port; }
    // Where a client reaches the simulator: host:port, or its pseudo-terminal.
    QString endpoint() const { return m_pty ? m_pty->libraryEnd() : QStringLiteral("%1:%2").arg(m_host).arg(m_port); }
    int exitCode() const { return m_process.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return m_process.exitStatus(); }
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }

private:
    QRegularExpressionMatch start(const QStringList& arguments, const QRegularExpression& readyLine)
    {
        m_process.setReadChannel(QProcess::StandardOutput);
        m_process.start(QStringLiteral(PARAMICA_DEVSIM_PATH), arguments);
        QString output;
        const QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired() && m_process.waitForReadyRead(int(deadline.remainingTime()))) {
            output += QString::fromLocal8Bit(m_process.readAllStandardOutput());
            const QRegularExpressionMatch match = readyLine.match(output);
            if (match.hasMatch())
                return match;
        }
        QWARN(qPrintable(QStringLiteral("paramica-devsim %1 did not start: %2 %3")
                             .arg(arguments.join(' '), output, QString::fromLocal8Bit(m_process.readAllStandardError()))));
        stop();
        return {};
    }

    QProcess m_process;
    std::unique_ptr<CSocatPtyPair> m_pty;
    QString m_host;
    quint16 m_port = 0;
};
