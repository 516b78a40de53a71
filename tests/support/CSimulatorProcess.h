#pragma once

// The device simulator paramica-devsim as a child process of a test. A test
// using it adds to its CMakeLists.txt:
//   target_compile_definitions(<test> PRIVATE PARAMICA_DEVSIM_PATH="$<TARGET_FILE:paramica-devsim>")
//   add_dependencies(<test> paramica-devsim)
// The simulator is stopped by stop() or the destructor, so none is left behind.

#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTest>

class CSimulatorProcess
{
public:
    CSimulatorProcess() = default;
    CSimulatorProcess(const CSimulatorProcess&) = delete;
    CSimulatorProcess& operator=(const CSimulatorProcess&) = delete;
    ~CSimulatorProcess() { stop(); }

    // Modbus TCP on 127.0.0.1 with a port the system picks.
    bool startTcp(const QStringList& extraArgs = {})
    {
        static const QRegularExpression listening(QStringLiteral("^listening on (\\S+):([0-9]+)$"),
                                                  QRegularExpression::MultilineOption);
        const QRegularExpressionMatch match =
            start(QStringList{ QStringLiteral("--port"), QStringLiteral("0") } + extraArgs, listening);
        if (!match.hasMatch())
            return false;
        m_host = match.captured(1);
        m_port = quint16(match.captured(2).toUInt());
        return true;
    }

    // Modbus RTU on a serial device, such as the device end of a CSocatPtyPair.
    bool startRtu(const QString& ptyPath, const QStringList& extraArgs = {})
    {
        static const QRegularExpression serving(QStringLiteral("^serving \\S+$"),
                                                QRegularExpression::MultilineOption);
        return start(QStringList{ QStringLiteral("--serial"), ptyPath } + extraArgs, serving).hasMatch();
    }

    // SIGTERM, then SIGKILL if it does not end within three seconds.
    void stop()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(3000)) {
                m_process.kill();
                m_process.waitForFinished(3000);
            }
        }
        collectStderr();
    }

    QString host() const { return m_host; }
    quint16 port() const { return m_port; }
    QString endpoint() const { return QStringLiteral("%1:%2").arg(m_host).arg(m_port); }
    // Everything the simulator wrote on stderr so far (its --verbose log, errors).
    QString stderrText()
    {
        collectStderr();
        return QString::fromLocal8Bit(m_stderr);
    }
    // Exit code and status of the last run, once it has ended.
    int exitCode() const { return m_process.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return m_process.exitStatus(); }
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }

private:
    QRegularExpressionMatch start(const QStringList& arguments, const QRegularExpression& readyLine)
    {
        stop();
        m_stderr.clear();
        m_host.clear();
        m_port = 0;
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.setReadChannel(QProcess::StandardOutput);
        m_process.start(QStringLiteral(PARAMICA_DEVSIM_PATH), arguments);
        QByteArray output;
        QRegularExpressionMatch match;
        const QDeadlineTimer deadline(5000);
        while (m_process.waitForReadyRead(int(qMax<qint64>(deadline.remainingTime(), 1)))) {
            output += m_process.readAllStandardOutput();
            match = readyLine.match(QString::fromLocal8Bit(output));
            if (match.hasMatch())
                return match;
            if (deadline.hasExpired())
                break;
        }
        collectStderr();
        QWARN(qPrintable(QStringLiteral("paramica-devsim %1 did not start: %2 %3")
                             .arg(arguments.join(QLatin1Char(' ')), QString::fromLocal8Bit(output),
                                  QString::fromLocal8Bit(m_stderr))));
        stop();
        return match;
    }

    void collectStderr()
    {
        if (m_process.isOpen())
            m_stderr += m_process.readAllStandardError();
    }

    QProcess m_process;
    QByteArray m_stderr;
    QString m_host;
    quint16 m_port = 0;
};
