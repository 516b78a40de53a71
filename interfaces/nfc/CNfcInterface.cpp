#include "interfaces/nfc/CNfcInterface.h"

#include "interfaces/nfc/CPCSCAdapter.h"

#include <QTimer>

CNfcInterface::CNfcInterface(QObject* parent)
    : CBaseInterface(INTERFACE_NFC, parent)
    , m_adapter(new CPCSCAdapter(this))
    , m_retryTimer(new QTimer(this))
{
    m_retryTimer->setSingleShot(true);
    m_retryTimer->setInterval(RETRY_INTERVAL_MS);
    connect(m_retryTimer, &QTimer::timeout, this, &CNfcInterface::waitForAdapter);
    connect(m_adapter, &CNfcAdapter::targetConnected, this, &CNfcInterface::targetConnected);
    connect(m_adapter, &CNfcAdapter::targetLost, this, &CNfcInterface::targetLost);
    connect(m_adapter, &CNfcAdapter::error, this, &CNfcInterface::adapterError);
    connect(m_adapter, &CNfcAdapter::dataRead, this, &CBaseInterface::dataRead);
    connect(m_adapter, &CNfcAdapter::dataWritten, this, &CBaseInterface::dataWritten);
    connect(m_adapter, &CNfcAdapter::targetSNrChanged, this, &CNfcInterface::targetSerialNumberChanged);
    connect(m_adapter, &CNfcAdapter::ndefRecordsRead, this, &CNfcInterface::ndefRecordsRead);
    connectMessages();
}

CNfcInterface::~CNfcInterface()
{
    // Its threads must have ended before the adapter goes.
    m_adapter->disconnect(this);
    m_adapter->stop();
}

void CNfcInterface::connectMessages()
{
    // The adapter's log lines reach the log as the interface's own.
    connect(m_adapter, &CMessageSender::logMessage, this, &CMessageSender::logMessage, Qt::UniqueConnection);
    connect(m_adapter, &CMessageSender::errorMessage, this, &CMessageSender::errorMessage, Qt::UniqueConnection);
    connect(m_adapter, &CMessageSender::warningMessage, this, &CMessageSender::warningMessage, Qt::UniqueConnection);
    connect(m_adapter, &CMessageSender::infoMessage, this, &CMessageSender::infoMessage, Qt::UniqueConnection);
}

void CNfcInterface::disconnectMessages()
{
    disconnect(m_adapter, &CMessageSender::logMessage, this, &CMessageSender::logMessage);
    disconnect(m_adapter, &CMessageSender::errorMessage, this, &CMessageSender::errorMessage);
    disconnect(m_adapter, &CMessageSender::warningMessage, this, &CMessageSender::warningMessage);
    disconnect(m_adapter, &CMessageSender::infoMessage, this, &CMessageSender::infoMessage);
}

void CNfcInterface::setPortName(const QString&)
{
}

bool CNfcInterface::openPort()
{
    if (m_portOpen)
        return true;
    m_portOpen = m_adapter->start();
    if (!m_portOpen)
        m_retryTimer->start();
    return m_portOpen;
}

void CNfcInterface::waitForAdapter()
{
    // Only the first attempt speaks: retries every 100 ms would flood the user.
    disconnectMessages();
    m_portOpen = m_adapter->start();
    if (!m_portOpen) {
        m_retryTimer->start();
        return;
    }
    connectMessages();
    const QString text = tr("NFC interface is ready!");
    emit logMessage(text);
    emit infoMessage(CAPTION_NFC_INTERFACE, text);
}

bool CNfcInterface::closePort()
{
    m_retryTimer->stop();
    connectMessages();
    // The adapter is stopped even when the service fails to say so.
    m_adapter->stop();
    m_portOpen = false;
    return m_portOpen;
}

int CNfcInterface::configurePort()
{
    return 0;
}

bool CNfcInterface::isPortOpen() const
{
    return m_portOpen;
}

QString CNfcInterface::portName() const
{
    return m_adapter->readerName();
}

bool CNfcInterface::isTargetConnected() const
{
    return m_adapter->isTargetConnected();
}

void CNfcInterface::sendData(const char* buffer, int byteCount)
{
    if (m_portOpen)
        m_adapter->writeData(QByteArray(buffer, byteCount));
}

void CNfcInterface::readNdefMessages()
{
    m_adapter->readNdefMessages();
}

void CNfcInterface::targetConnected()
{
    emit logMessage(tr("Device connected."));
    emit targetConnectionChanged(true);
}

void CNfcInterface::targetLost()
{
    emit targetConnectionChanged(false);
    emit logMessage(tr("Device removed."));
}
