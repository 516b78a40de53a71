#include "interfaces/CBluetoothInterface.h"

#include <QBluetoothAddress>
#include <QEventLoop>
#include <QPointer>
#include <QStringList>
#include <QTimer>

const QByteArray CBluetoothInterface::ENABLE_NOTIFICATION = QByteArray::fromHex("0100");
const QByteArray CBluetoothInterface::DISABLE_NOTIFICATION = QByteArray::fromHex("0000");

const QMap<uchar, STRUCT_UART_CONFIG> CBluetoothInterface::UART_CONFIG_TABLE = {
    { 0, { 1200, 0, 0 } },    { 1, { 1200, 0, 1 } },    { 2, { 2400, 0, 0 } },    { 3, { 2400, 0, 1 } },
    { 4, { 4800, 0, 0 } },    { 5, { 4800, 0, 1 } },    { 6, { 9600, 0, 0 } },    { 7, { 9600, 0, 1 } },
    { 10, { 19200, 0, 0 } },  { 11, { 19200, 0, 1 } },  { 14, { 38400, 0, 0 } },  { 15, { 38400, 0, 1 } },
    { 18, { 57600, 0, 0 } },  { 19, { 57600, 0, 1 } },  { 22, { 115200, 0, 0 } }, { 23, { 115200, 0, 1 } },
    { 64, { 1200, 2, 0 } },   { 65, { 1200, 2, 1 } },   { 66, { 2400, 2, 0 } },   { 67, { 2400, 2, 1 } },
    { 68, { 4800, 2, 0 } },   { 69, { 4800, 2, 1 } },   { 70, { 9600, 2, 0 } },   { 71, { 9600, 2, 1 } },
    { 74, { 19200, 2, 0 } },  { 75, { 19200, 2, 1 } },  { 78, { 38400, 2, 0 } },  { 79, { 38400, 2, 1 } },
    { 82, { 57600, 2, 0 } },  { 83, { 57600, 2, 1 } },  { 86, { 115200, 2, 0 } }, { 87, { 115200, 2, 1 } },
};

CBluetoothInterface::CBluetoothInterface(QObject* parent)
    : CBaseInterface(INTERFACE_BLUETOOTH, parent)
    , m_receiveTimer(new QTimer(this))
{
    m_receiveTimer->setSingleShot(true);
    connect(m_receiveTimer, &QTimer::timeout, this, &CBluetoothInterface::dataReadFinished);
}

CBluetoothInterface::~CBluetoothInterface()
{
    endWaits();
}

void CBluetoothInterface::setPortName(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','), Qt::KeepEmptyParts);
    m_deviceName = parts.value(0);
    m_deviceAddress = parts.value(1);
    m_classOfDevice = parts.value(2).toUInt(); // 0 when missing
}

QString CBluetoothInterface::portName() const
{
    return m_deviceName;
}

void CBluetoothInterface::setUartConfig(const STRUCT_UART_CONFIG& config)
{
    for (auto entry = UART_CONFIG_TABLE.cbegin(); entry != UART_CONFIG_TABLE.cend(); ++entry) {
        if (entry.value() == config) {
            m_wantedUartConfigIndex = entry.key();
            return;
        }
    }
}

QByteArray CBluetoothInterface::createDataPacket()
{
    return QByteArray(1, char(RF_HEADER_DATA));
}

QByteArray CBluetoothInterface::createCmdPacket()
{
    return QByteArray(1, char(RF_HEADER_CMD));
}

bool CBluetoothInterface::wait(QEventLoop& loop, int timeoutMs, void (CBluetoothInterface::*start)())
{
    const QPointer<CBluetoothInterface> alive(this);
    m_waits.append(&loop);
    // A coarse timer may end up to 5 % early; the time-out is a promise.
    QTimer::singleShot(timeoutMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    // Bound to the loop: a wait that ended early starts nothing afterwards.
    if (start)
        QTimer::singleShot(WAIT_START_DELAY_MS, &loop, [alive, start] {
            if (alive)
                (alive->*start)();
        });
    loop.exec();
    if (!alive)
        return false;
    m_waits.removeOne(&loop);
    return true;
}

void CBluetoothInterface::endWaits()
{
    for (QEventLoop* loop : qAsConst(m_waits))
        loop->quit();
}

bool CBluetoothInterface::openPort()
{
    QEventLoop loop;
    connect(this, &CBluetoothInterface::connected, &loop, &QEventLoop::quit);
    connect(this, &CBluetoothInterface::disconnected, &loop, &QEventLoop::quit);
    if (!wait(loop, WAIT_TIMEOUT_MS, &CBluetoothInterface::connectDevice))
        return false;
    return m_open;
}

bool CBluetoothInterface::closePort()
{
    // Closing ends the waits of an opening or a configuration in progress.
    endWaits();
    // Nothing is connected or connecting: nothing would confirm a disconnect.
    const bool linked = m_notificationDescriptor.isValid()
        || (m_controller && m_controller->state() != QLowEnergyController::UnconnectedState);
    if (!linked)
        return true;
    QEventLoop loop;
    connect(this, &CBluetoothInterface::connected, &loop, &QEventLoop::quit);
    connect(this, &CBluetoothInterface::disconnected, &loop, &QEventLoop::quit);
    wait(loop, WAIT_TIMEOUT_MS, &CBluetoothInterface::disconnectDevice);
    return true;
}

int CBluetoothInterface::configurePort()
{
    m_configResult = 0;
    if (!m_open)
        return m_configResult;
    const QMetaObject::Connection check =
        connect(this, &CBluetoothInterface::uartConfigIndexReceived, this, &CBluetoothInterface::checkUartConfigIndex);
    const QMetaObject::Connection reset =
        connect(this, &CBluetoothInterface::uartConfigIndexWritten, this, &CBluetoothInterface::resetRfInteface);
    QEventLoop loop;
    connect(this, &CBluetoothInterface::configured, &loop, &QEventLoop::quit);
    connect(this, &CBluetoothInterface::disconnected, &loop, &QEventLoop::quit);
    if (!wait(loop, WAIT_TIMEOUT_MS, &CBluetoothInterface::readUartConfigIndex))
        return 1;
    disconnect(check);
    disconnect(reset);
    return m_configResult;
}

void CBluetoothInterface::connectDevice()
{
    QBluetoothDeviceInfo info(QBluetoothAddress(m_deviceAddress), m_deviceName, m_classOfDevice);
    info.setCoreConfigurations(QBluetoothDeviceInfo::LowEnergyCoreConfiguration);
    connectDevice(info);
}

void CBluetoothInterface::connectDevice(const QBluetoothDeviceInfo& info)
{
    if (m_controller) {
        m_controller->disconnect(this);
        m_controller->deleteLater();
        forgetService();
    }
    m_controller = QLowEnergyController::createCentral(info, this);
    // Qt's Bluetooth objects are heard from the event loop, never inside their
    // own callbacks: what the interface or its owner does in answer (a nested
    // wait, closing, releasing the controller) would otherwise run inside them.
    // A delivery from a controller retired meanwhile is dropped.
    const QPointer<QLowEnergyController> controller = m_controller;
    const auto current = [this, controller] { return controller && controller == m_controller; };
    connect(m_controller, &QLowEnergyController::discoveryFinished, this, [this, current] {
        if (current())
            serviceScanDone();
    }, Qt::QueuedConnection);
    connect(m_controller, QOverload<QLowEnergyController::Error>::of(&QLowEnergyController::error), this,
            [this, current](QLowEnergyController::Error controllerError) {
                if (current())
                    this->controllerError(controllerError);
            }, Qt::QueuedConnection);
    connect(m_controller, &QLowEnergyController::connected, this, [this, current] {
        if (current())
            deviceConnected();
    }, Qt::QueuedConnection);
    // A connection attempt given up before it was made ends without disconnected().
    connect(m_controller, &QLowEnergyController::stateChanged, this,
            [this, current](QLowEnergyController::ControllerState state) {
                if (current() && state == QLowEnergyController::UnconnectedState)
                    deviceDisconnected();
            }, Qt::QueuedConnection);
    connect(m_controller, &QLowEnergyController::disconnected, this, [this, current] {
        if (current())
            deviceDisconnected();
    }, Qt::QueuedConnection);
    m_controller->connectToDevice();
}

void CBluetoothInterface::disconnectDevice()
{
    if (m_notificationDescriptor.isValid() && m_service)
        m_service->writeDescriptor(m_notificationDescriptor, DISABLE_NOTIFICATION);
    else if (m_controller && m_controller->state() != QLowEnergyController::UnconnectedState)
        m_controller->disconnectFromDevice();
}

void CBluetoothInterface::deviceConnected()
{
    if (!m_controller) {
        emit disconnected();
        return;
    }
    m_controller->discoverServices();
}

void CBluetoothInterface::deviceDisconnected()
{
    if (m_controller) {
        m_controller->disconnect(this);
        m_controller->deleteLater();
        m_controller = nullptr;
    }
    if (m_open)
        emit logMessage(tr("Wireless connection to %1 ended.").arg(m_deviceName));
    m_open = false;
    forgetService();
    m_serviceError = 0;
    emit disconnected();
}

void CBluetoothInterface::controllerError(QLowEnergyController::Error controllerError)
{
    if (m_controller)
        emit logMessage(tr("Wireless device %1: %2 (error %3)")
                            .arg(m_deviceName, m_controller->errorString())
                            .arg(int(controllerError)));
    deviceDisconnected();
}

void CBluetoothInterface::forgetService()
{
    // The service objects are the controller's children and go with it.
    m_service = nullptr;
    m_unsearchedServices.clear();
    m_writeCharacteristic = QLowEnergyCharacteristic();
    m_notifyCharacteristic = QLowEnergyCharacteristic();
    m_notificationDescriptor = QLowEnergyDescriptor();
}

void CBluetoothInterface::serviceScanDone()
{
    if (!m_controller || m_controller->services().isEmpty()) {
        emit disconnected();
        return;
    }
    const QList<QBluetoothUuid> uuids = m_controller->services();
    QList<QLowEnergyService*> services;
    for (const QBluetoothUuid& uuid : uuids) {
        QLowEnergyService* service = m_controller->createServiceObject(uuid, m_controller);
        if (!service)
            continue;
        // As the controller's, from the event loop; a service dropped meanwhile is not heard.
        const QPointer<QLowEnergyService> guarded = service;
        const auto searched = [this, guarded] { return guarded && m_unsearchedServices.contains(guarded); };
        const auto current = [this, guarded] { return guarded && guarded == m_service; };
        connect(service, &QLowEnergyService::stateChanged, this,
                [this, guarded, searched, current](QLowEnergyService::ServiceState state) {
                    if (searched() || current())
                        serviceStateChanged(guarded, state);
                }, Qt::QueuedConnection);
        connect(service, QOverload<QLowEnergyService::ServiceError>::of(&QLowEnergyService::error), this,
                [this, guarded, searched, current](QLowEnergyService::ServiceError serviceError) {
                    if (searched() || current())
                        this->serviceError(guarded, serviceError);
                }, Qt::QueuedConnection);
        connect(service, &QLowEnergyService::characteristicChanged, this,
                [this, current](const QLowEnergyCharacteristic& characteristic, const QByteArray& value) {
                    if (current())
                        characteristicChanged(characteristic, value);
                }, Qt::QueuedConnection);
        connect(service, &QLowEnergyService::characteristicWritten, this, [this, current] {
            if (current())
                emit dataWritten();
        }, Qt::QueuedConnection);
        connect(service, &QLowEnergyService::descriptorWritten, this,
                [this, current](const QLowEnergyDescriptor& descriptor, const QByteArray& value) {
                    if (current())
                        descriptorWritten(descriptor, value);
                }, Qt::QueuedConnection);
        services.append(service);
    }
    m_unsearchedServices = services;
    for (QLowEnergyService* service : qAsConst(services)) {
        if (service->state() == QLowEnergyService::DiscoveryRequired)
            service->discoverDetails();
        else
            searchService(service);
    }
}

void CBluetoothInterface::serviceStateChanged(QLowEnergyService* service, QLowEnergyService::ServiceState state)
{
    if (state == QLowEnergyService::ServiceDiscovered) {
        searchService(service);
    } else if (state == QLowEnergyService::InvalidService) {
        if (service == m_service)
            m_service = nullptr;
        service->deleteLater();
        settleService(service);
    }
}

void CBluetoothInterface::searchService(QLowEnergyService* service)
{
    if (m_open)
        return;
    m_writeCharacteristic = QLowEnergyCharacteristic();
    m_notifyCharacteristic = QLowEnergyCharacteristic();
    const QList<QLowEnergyCharacteristic> characteristics = service->characteristics();
    for (const QLowEnergyCharacteristic& characteristic : characteristics) {
        if (!characteristic.isValid())
            continue;
        const QLowEnergyCharacteristic::PropertyTypes properties = characteristic.properties();
        if (properties & (QLowEnergyCharacteristic::Write | QLowEnergyCharacteristic::WriteNoResponse)) {
            m_writeCharacteristic = characteristic;
            m_writeMode = properties & QLowEnergyCharacteristic::WriteNoResponse ? QLowEnergyService::WriteWithoutResponse
                                                                                 : QLowEnergyService::WriteWithResponse;
        }
        if (properties & QLowEnergyCharacteristic::Notify) {
            m_notifyCharacteristic = characteristic;
            m_notificationDescriptor =
                characteristic.descriptor(QBluetoothUuid(QBluetoothUuid::ClientCharacteristicConfiguration));
        }
    }
    // Notifications are switched on only for a service that will be used.
    if (m_writeCharacteristic.isValid() && m_notifyCharacteristic.isValid() && m_notificationDescriptor.isValid()) {
        m_service = service;
        m_service->writeDescriptor(m_notificationDescriptor, ENABLE_NOTIFICATION);
    } else {
        m_writeCharacteristic = QLowEnergyCharacteristic();
        m_notifyCharacteristic = QLowEnergyCharacteristic();
        m_notificationDescriptor = QLowEnergyDescriptor();
        if (service == m_service)
            m_service = nullptr;
        service->deleteLater();
    }
    settleService(service);
}

void CBluetoothInterface::settleService(QLowEnergyService* service)
{
    if (!m_unsearchedServices.removeOne(service) || !m_unsearchedServices.isEmpty() || m_service || m_open)
        return;
    emit logMessage(tr("Wireless device %1 offers no service with a writable and a notifying characteristic.")
                        .arg(m_deviceName));
    emit disconnected();
}

void CBluetoothInterface::descriptorWritten(const QLowEnergyDescriptor& descriptor, const QByteArray& value)
{
    if (!m_notificationDescriptor.isValid() || descriptor != m_notificationDescriptor)
        return;
    if (value == ENABLE_NOTIFICATION) {
        m_open = true;
        emit connected();
    } else if (value == DISABLE_NOTIFICATION) {
        m_notificationDescriptor = QLowEnergyDescriptor();
        disconnectDevice();
    }
}

void CBluetoothInterface::serviceError(QLowEnergyService* service, QLowEnergyService::ServiceError serviceError)
{
    if (service != m_service) {
        service->deleteLater();
        settleService(service);
        return;
    }
    switch (serviceError) {
    case QLowEnergyService::OperationError:
        emit logMessage(tr("An operation was attempted while the wireless service was not ready!"));
        break;
    case QLowEnergyService::CharacteristicWriteError:
        emit logMessage(tr("An attempt to write a new value to a characteristic failed!"));
        break;
    case QLowEnergyService::DescriptorWriteError:
        emit logMessage(tr("An attempt to write a new value to a descriptor failed!"));
        break;
    case QLowEnergyService::UnknownError:
        emit logMessage(tr("An unknown error occurred when interacting with the service!"));
        break;
    case QLowEnergyService::CharacteristicReadError:
        emit logMessage(tr("An attempt to read a characteristic value failed!"));
        break;
    case QLowEnergyService::DescriptorReadError:
        emit logMessage(tr("An attempt to read a descriptor value failed!"));
        break;
    default:
        break;
    }
    if (m_serviceError == 0) {
        m_serviceError = serviceError;
        m_service->deleteLater();
        m_service = nullptr;
    }
    if (m_open)
        emit error();
    else
        disconnectDevice();
}

void CBluetoothInterface::sendData(const char* buffer, int byteCount)
{
    if (!m_open || !m_service || !m_writeCharacteristic.isValid() || !buffer || byteCount < 0)
        return;
    // A confirmation wait runs the event loop, where the sender's buffer may go.
    const QByteArray bytes(buffer, byteCount);
    const bool confirmEach = bytes.size() > MAX_PAYLOAD_LENGTH && m_writeMode == QLowEnergyService::WriteWithResponse;
    int offset = 0;
    do {
        if (!m_service)
            return;
        const QByteArray payload = bytes.mid(offset, MAX_PAYLOAD_LENGTH);
        m_service->writeCharacteristic(m_writeCharacteristic, createDataPacket() + payload, m_writeMode);
        offset += payload.size();
        if (confirmEach && !waitForWrite())
            return;
    } while (offset < bytes.size());
}

bool CBluetoothInterface::waitForWrite()
{
    QEventLoop loop;
    // The service's error reaches the interface later, from the event loop.
    bool failed = false;
    connect(m_service, &QLowEnergyService::characteristicWritten, &loop, &QEventLoop::quit);
    connect(m_service, QOverload<QLowEnergyService::ServiceError>::of(&QLowEnergyService::error), &loop,
            [&failed, &loop] {
                failed = true;
                loop.quit();
            });
    connect(this, &CBluetoothInterface::disconnected, &loop, &QEventLoop::quit);
    return wait(loop, WRITE_CONFIRM_TIMEOUT_MS) && !failed && m_open && m_service && m_serviceError == 0;
}

void CBluetoothInterface::characteristicChanged(const QLowEnergyCharacteristic&, const QByteArray& value)
{
    if (value.isEmpty())
        return;
    switch (uchar(value.at(0))) {
    case RF_HEADER_DATA:
        m_receiveTimer->start(RECEIVE_SILENCE_MS);
        m_receiveBuffer.append(value.mid(1));
        break;
    case RF_HEADER_CMD:
        if (value.size() < 2)
            emit logMessage(tr("Wireless module: command packet without command ignored."));
        else if (uchar(value.at(1)) == CMD_HEADER_READ_RESPONSE)
            cmdReadFinished(value.mid(2));
        else
            cmdWriteFinished(value.mid(2));
        break;
    default:
        emit logMessage(tr("Wireless module: packet of unknown kind 0x%1 ignored.")
                            .arg(uchar(value.at(0)), 2, 16, QLatin1Char('0')));
        break;
    }
}

void CBluetoothInterface::dataReadFinished()
{
    if (m_receiveBuffer.isEmpty())
        return;
    // Whoever takes the block may send again, or close this transport.
    const QByteArray block = m_receiveBuffer;
    m_receiveBuffer.clear();
    emit dataRead(block.constData(), block.size());
}

void CBluetoothInterface::cmdReadFinished(const QByteArray& answer)
{
    const bool ok = !answer.isEmpty() && uchar(answer.at(0)) == CMD_HEADER_RESPONSE_OK;
    const QByteArray value = answer.mid(1);
    switch (m_pendingSettingsIndex) {
    case SETTINGS_INDEX_RF_DEVICE_NAME:
    case SETTINGS_INDEX_RF_STATIC_PASS_KEY: {
        const int end = value.indexOf('\0');
        const QString text = ok ? QString::fromLatin1(value.left(end < 0 ? value.size() : end)) : QString();
        if (m_pendingSettingsIndex == SETTINGS_INDEX_RF_DEVICE_NAME)
            emit rfDeviceNameReceived(text);
        else
            emit rfStaticPassKeyReceived(text);
        break;
    }
    case SETTINGS_INDEX_UART_CONFIG_INDEX:
    case SETTINGS_INDEX_RF_ADVERTISING_FLAGS: {
        const int byte = ok && !value.isEmpty() ? uchar(value.at(0)) : -1;
        if (m_pendingSettingsIndex == SETTINGS_INDEX_UART_CONFIG_INDEX)
            emit uartConfigIndexReceived(byte);
        else
            emit rfAdvertisingFlagsReceived(byte);
        break;
    }
    default:
        break;
    }
}

void CBluetoothInterface::cmdWriteFinished(const QByteArray& answer)
{
    const bool ok = !answer.isEmpty() && uchar(answer.at(0)) == CMD_HEADER_RESPONSE_OK;
    switch (m_pendingSettingsIndex) {
    case SETTINGS_INDEX_RF_DEVICE_NAME:
        emit rfDeviceNameWritten(ok);
        break;
    case SETTINGS_INDEX_UART_CONFIG_INDEX:
        emit uartConfigIndexWritten(ok);
        break;
    case SETTINGS_INDEX_RF_STATIC_PASS_KEY:
        emit rfStaticPassKeyWritten(ok);
        break;
    case SETTINGS_INDEX_RF_ADVERTISING_FLAGS:
        emit rfAdvertisingFlagsWritten(ok);
        break;
    default:
        break;
    }
}

void CBluetoothInterface::writeCmdData(const QByteArray& packet)
{
    if (m_service && m_writeCharacteristic.isValid())
        m_service->writeCharacteristic(m_writeCharacteristic, packet, m_writeMode);
}

void CBluetoothInterface::readSetting(uchar index)
{
    m_pendingSettingsIndex = index;
    writeCmdData(createCmdPacket() + char(CMD_HEADER_READ_REQUEST) + char(index));
}

void CBluetoothInterface::writeSetting(uchar index, const QByteArray& value)
{
    m_pendingSettingsIndex = index;
    writeCmdData(createCmdPacket() + char(CMD_HEADER_WRITE_REQUEST) + char(index) + value);
}

void CBluetoothInterface::readRfDeviceName()
{
    readSetting(SETTINGS_INDEX_RF_DEVICE_NAME);
}

void CBluetoothInterface::readUartConfigIndex()
{
    readSetting(SETTINGS_INDEX_UART_CONFIG_INDEX);
}

void CBluetoothInterface::readRfStaticPassKey()
{
    readSetting(SETTINGS_INDEX_RF_STATIC_PASS_KEY);
}

void CBluetoothInterface::readRfAdvertisingFlags()
{
    readSetting(SETTINGS_INDEX_RF_ADVERTISING_FLAGS);
}

void CBluetoothInterface::writeRfDeviceName(const QString& name)
{
    writeSetting(SETTINGS_INDEX_RF_DEVICE_NAME, name.toLatin1());
}

void CBluetoothInterface::writeUartConfigIndex(uchar index)
{
    writeSetting(SETTINGS_INDEX_UART_CONFIG_INDEX, QByteArray(1, char(index)));
}

void CBluetoothInterface::writeRfStaticPassKey(const QString& key)
{
    writeSetting(SETTINGS_INDEX_RF_STATIC_PASS_KEY, key.toLatin1());
}

void CBluetoothInterface::writeRfAdvertisingFlags(uchar flags)
{
    writeSetting(SETTINGS_INDEX_RF_ADVERTISING_FLAGS, QByteArray(1, char(flags)));
}

void CBluetoothInterface::checkUartConfigIndex(int index)
{
    if (index == m_wantedUartConfigIndex) {
        emit configured();
        return;
    }
    // An index outside the table could leave the module's UART unusable.
    if (m_wantedUartConfigIndex == NO_UART_CONFIG_INDEX) {
        emit logMessage(tr("No UART configuration of the wireless module matches the serial settings."));
        resetRfInteface(false);
        return;
    }
    writeUartConfigIndex(m_wantedUartConfigIndex);
}

void CBluetoothInterface::resetRfInteface(bool ok)
{
    m_configResult = ok ? 2 : 1;
    emit configured();
}
