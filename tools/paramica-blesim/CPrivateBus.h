#pragma once

// A dbus-daemon of our own that plays the system bus, so that an emulated
// BlueZ can own org.bluez without touching the machine's bus. Everyone may
// own names and talk on it. The daemon goes with the object.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class CPrivateBus
{
public:
    CPrivateBus()
    {
        QFile config(m_dir.filePath(QStringLiteral("system.conf")));
        if (!m_dir.isValid() || !config.open(QIODevice::WriteOnly))
            return;
        config.write(QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                                    "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                                    "<busconfig><type>system</type><listen>unix:path=%1</listen><auth>EXTERNAL</auth>"
                                    "<policy context=\"default\"><allow user=\"*\"/><allow own=\"*\"/>"
                                    "<allow send_type=\"method_call\"/><allow send_type=\"signal\"/>"
                                    "<allow send_type=\"method_return\"/><allow send_type=\"error\"/>"
                                    "<allow receive_type=\"method_call\"/><allow receive_type=\"signal\"/>"
                                    "<allow receive_type=\"method_return\"/><allow receive_type=\"error\"/>"
                                    "</policy></busconfig>\n")
                         .arg(m_dir.filePath(QStringLiteral("bus")))
                         .toUtf8());
        config.close();
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       { "--config-file=" + config.fileName(), "--nofork", "--print-address" });
        const QDeadlineTimer deadline(5000);
        while (!m_address.endsWith('\n') && !deadline.hasExpired()
               && m_daemon.waitForReadyRead(int(deadline.remainingTime())))
            m_address += m_daemon.readAllStandardOutput();
        m_address = m_address.trimmed();
    }

    ~CPrivateBus()
    {
        if (m_daemon.state() == QProcess::NotRunning)
            return;
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(3000)) {
            m_daemon.kill();
            m_daemon.waitForFinished(3000);
        }
    }

    CPrivateBus(const CPrivateBus&) = delete;
    CPrivateBus& operator=(const CPrivateBus&) = delete;

    bool isValid() const { return !m_address.isEmpty() && m_daemon.state() == QProcess::Running; }
    // The address clients connect to, as DBUS_SYSTEM_BUS_ADDRESS takes it.
    QByteArray address() const { return m_address; }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QByteArray m_address;
};
