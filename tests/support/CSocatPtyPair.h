#pragma once

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
        m_socat.setProcessChannelMode(QProcess::SeparateChannels);
        m_socat.setReadChannel(QProcess::StandardError); // socat reports on stderr
        m_socat.start(QStringLiteral("socat"),
                      {QStringLiteral("-d"), QStringLiteral("-d"), QStringLiteral("pty,raw,echo=0"),
                       QStringLiteral("pty,raw,echo=0")});
        if (!m_socat.waitForStarted(5000))
            return;
        // socat names each end on stderr: "... N PTY is /dev/pts/7".
        static const QRegularExpression ptyLine(QStringLiteral("PTY is (\\S+)"));
        QByteArray output;
        while (m_ends.size() < 2 && m_socat.waitForReadyRead(5000)) {
            output += m_socat.readAllStandardError();
            m_ends.clear();
            auto matches = ptyLine.globalMatch(QString::fromLocal8Bit(output));
            while (matches.hasNext())
                m_ends.append(matches.next().captured(1));
        }
        // The pair is usable once socat reports that it transfers data.
        while (!output.contains("starting data transfer loop") && m_socat.waitForReadyRead(5000))
            output += m_socat.readAllStandardError();
    }

    ~CSocatPtyPair()
    {
        m_socat.terminate();
        if (!m_socat.waitForFinished(3000)) {
            m_socat.kill();
            m_socat.waitForFinished(3000);
        }
    }

    bool isValid() const { return m_ends.size() == 2; }
    QString libraryEnd() const { return m_ends.value(0); }
    QString deviceEnd() const { return m_ends.value(1); }

private:
    QProcess m_socat;
    QStringList m_ends;
};
