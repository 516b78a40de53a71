#pragma once

#include "support/StopProcess.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

// Two connected pseudo-terminals made by socat, standing in for a serial cable
// between the library and a device. The pair goes away with the object.
class CSocatPtyPair
{
public:
    CSocatPtyPair()
    {
        m_socat.setReadChannel(QProcess::StandardError); // socat reports on stderr
        m_socat.start(QStringLiteral("socat"), { "-d", "-d", "pty,raw,echo=0", "pty,raw,echo=0" });
        // socat names each end ("... N PTY is /dev/pts/7"), then reports that it
        // transfers data: from then on the pair is usable.
        QByteArray output;
        while (!output.contains("starting data transfer loop") && m_socat.waitForReadyRead(5000))
            output += m_socat.readAllStandardError();
        static const QRegularExpression ptyLine(QStringLiteral("PTY is (\\S+)"));
        for (auto matches = ptyLine.globalMatch(QString::fromLocal8Bit(output)); matches.hasNext();)
            m_ends.append(matches.next().captured(1));
    }

    ~CSocatPtyPair()
    {
        stopProcess(m_socat);
    }

    bool isValid() const { return m_ends.size() == 2 && m_socat.state() == QProcess::Running; }
    QString libraryEnd() const { return m_ends.value(0); }
    QString deviceEnd() const { return m_ends.value(1); }

private:
    QProcess m_socat;
    QStringList m_ends;
};
