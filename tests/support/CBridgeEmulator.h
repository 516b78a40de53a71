#pragma once

// The Bluetooth LE bridge emulator paramica-blesim as a child process of a
// test, on the bus that DBUS_SYSTEM_BUS_ADDRESS names (see CPrivateSystemBus).
// A test using it adds to its CMakeLists.txt:
//   target_compile_definitions(<test> PRIVATE PARAMICA_BLESIM_PATH="$<TARGET_FILE:paramica-blesim>")
//   add_dependencies(<test> paramica-blesim)
// The emulator is stopped by stop() or the destructor.

#include "support/StopProcess.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTest>

class CBridgeEmulator
{
public:
    ~CBridgeEmulator() { stop(); }

    // Starts it and waits until it owns org.bluez.
    bool start(const QStringList& options = {})
    {
        stop();
        m_lines.clear();
        m_process.start(QStringLiteral(PARAMICA_BLESIM_PATH), options);
        const QDeadlineTimer deadline(5000);
        while (m_portName.isEmpty() && !deadline.hasExpired() && m_process.waitForReadyRead(int(deadline.remainingTime()))) {
            const QStringList all = lines();
            if (!all.isEmpty() && all.first().startsWith(QLatin1String("serving ")))
                m_portName = all.first().mid(8);
        }
        if (m_portName.isEmpty())
            QWARN(qPrintable(QStringLiteral("paramica-blesim %1 did not start: %2")
                                 .arg(options.join(' '), QString::fromLocal8Bit(m_process.readAllStandardError()))));
        return !m_portName.isEmpty();
    }

    void stop()
    {
        stopProcess(m_process);
        m_portName.clear();
    }

    // "NAME,ADDRESS", the port name of the interface that reaches it.
    QString portName() const { return m_portName; }

    // Every line it reported since it started; the test's event loop need not run.
    QStringList lines()
    {
        m_pending += m_process.readAllStandardOutput();
        for (int end = m_pending.indexOf('\n'); end >= 0; end = m_pending.indexOf('\n')) {
            m_lines.append(QString::fromUtf8(m_pending.left(end)));
            m_pending.remove(0, end + 1);
        }
        return m_lines;
    }

    // The reported lines that start with prefix.
    QStringList lines(const QString& prefix)
    {
        return lines().filter(QRegularExpression(QStringLiteral("^") + QRegularExpression::escape(prefix)));
    }

private:
    QProcess m_process;
    QByteArray m_pending;
    QStringList m_lines;
    QString m_portName;
};
