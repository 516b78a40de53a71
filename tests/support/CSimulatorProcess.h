#pragma once

// The device simulator as a child process of a test. A test using it adds
//   target_compile_definitions(<test> PRIVATE PARAMICA_DEVSIM_PATH="$<TARGET_FILE:paramica-devsim>")
//   add_dependencies(<test> paramica-devsim)
// The simulator is stopped by stop() or the destructor, so none is left behind.

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QtDebug>

class CSimulatorProcess
{
public:
    ~CSimulatorProcess() { stop(); }

    // Modbus TCP on 127.0.0.1 with a port the system picks.
    bool startTcp(const QStringList& extraArguments = {})
    {
        static const QRegularExpression listening(QStringLiteral("listening on ([0-9.]+):([0-9]+)"));
        const QRegularExpressionMatch match =
            start(QStringList{ QStringLiteral("--port"), QStringLiteral("0") } + extraArguments, listening);
        if (!match.hasMatch())
            return false;
        m_host = match.captured(1);
        m_port = quint16(match.captured(2).toUInt());
        return true;
    }

    // Modbus RTU on a serial device, such as one end of a socat pty pair.
    bool startRtu(const QString& device, const QStringList& extraArguments = {})
    {
        static const QRegularExpression serving(QStringLiteral("serving (\\S+)"));
        return start(QStringList{ QStringLiteral("--serial"), device } + extraArguments, serving).hasMatch();
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }

    QString host() const { return m_host; }
    quint16 port() const { return m_port; }
    QString endpoint() const { return QStringLiteral("%1:%2").arg(m_host).arg(m_port); }
    QString stderrText() { return QString::fromLocal8Bit(m_process.readAllStandardError()); }

private:
    QRegularExpressionMatch start(const QStringList& arguments, const QRegularExpression& readyLine)
    {
        stop();
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start(QStringLiteral(PARAMICA_DEVSIM_PATH), arguments);
        QByteArray output;
        QRegularExpressionMatch match;
        while (m_process.waitForReadyRead(5000)) {
            output += m_process.readAllStandardOutput();
            match = readyLine.match(QString::fromLocal8Bit(output));
            if (match.hasMatch())
                return match;
        }
        qWarning("simulator did not start: %s", qPrintable(QString::fromLocal8Bit(output + m_process.readAllStandardError())));
        return match;
    }

    QProcess m_process;
    QString m_host;
    quint16 m_port = 0;
};
