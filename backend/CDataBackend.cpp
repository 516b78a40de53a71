#include "backend/CDataBackend.h"

#include "backend/CLog.h"
#include "backend/CPluginInterface.h"
#include "interfaces/CSerialInterface.h"
#include "interfaces/CTcpInterface.h"
#include "items/CGlobals.h"
#include "protocol/CFlasher.h"
#include "protocol/CModbusMaster.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QPluginLoader>
#include <QTimer>

namespace {
const int SERIAL_RESET_WAIT_MS = 1500;
const quint8 FUNCTION_READ_HOLDING = 3;
const quint8 FUNCTION_DEVICE_ID = 0x2B;
const quint8 FUNCTION_GOTO = 0x57;
const quint16 SCAN_ADDRESS = 0x0400;
const quint16 SCAN_LENGTH = 20;
const quint16 GOTO_REGISTER = 0x5000;
const QString CAPTION_DEVICE = QStringLiteral("Device");
}

const QString CDataBackend::PLUGIN_PATH = QStringLiteral("/plugins");
const QString CDataBackend::PLUGIN_PREFIX = QString();
const QString CDataBackend::PLUGIN_EXTENSION = QStringLiteral("dll");

CDataBackend* CDataBackend::Instance = nullptr;

CDataBackend* CDataBackend::instance()
{
    if (!Instance)
        Instance = new CDataBackend;
    return Instance;
}

CDataBackend::CDataBackend()
    : CMessageSender(nullptr)
{
    setObjectName(QStringLiteral("Paramica_Backend"));
    qRegisterMetaType<CRequest>();
    qRegisterMetaType<QList<CRequest>>();
    m_log = new CLog(this);
    m_serialSettings = STRUCT_SERIAL_SETTINGS{ 115200, 2, 0, 8, 1 };
    loadPlugins();

    connect(this, &CDataBackend::logMessage, m_log, &CLog::log);
    connect(m_log, &CLog::logMessage, this, &CDataBackend::log);
    connect(this, &CDataBackend::deviceIdCheck, this, &CDataBackend::deviceIdRead);
}

void CDataBackend::setComProtocol(ENUM_PROTOCOL_TYPE type)
{
    if (m_protocolMaster && m_protocolMaster->type() == type)
        return;
    delete m_protocolMaster;
    m_protocolMaster = nullptr;
    closeInterface();

    if (type != PROTOCOL_MODBUS_RTU && type != PROTOCOL_MODBUS_TCP)
        return;
    auto* modbus = new CModbusMaster(type, this);
    connect(modbus, &CModbusMaster::firmwareUpdateStarted, this, &CDataBackend::firmwareUpdateStarted);
    connect(modbus, &CModbusMaster::firmwareUpdateFinished, this, &CDataBackend::firmwareUpdateFinished);
    connect(modbus, &CModbusMaster::firmwareUpdateProgress, this, &CDataBackend::firmwareUpdateProgress);
    connect(modbus, &CModbusMaster::resetInterfaceInitiated, this, &CDataBackend::resetInterface);
    connect(this, &CDataBackend::interfaceReseted, modbus, &CModbusMaster::resetInterfaceFinished);
    m_protocolMaster = modbus;

    connect(m_protocolMaster, &CProtocolMaster::warningMessage, this, &CDataBackend::warningMessage);
    connect(m_protocolMaster, &CProtocolMaster::logMessage, m_log, &CLog::log);
    connect(m_protocolMaster, &CProtocolMaster::scanResponse, this, &CDataBackend::scanResponse);
    connect(m_protocolMaster, &CProtocolMaster::didResponse, this, &CDataBackend::didResponse);
    connect(m_protocolMaster, &CProtocolMaster::programDataResponse, this, &CDataBackend::programDataResponse);
    connect(m_protocolMaster, &CProtocolMaster::recordResponse, this, &CDataBackend::recordResponse);
    connect(m_protocolMaster, &CProtocolMaster::ack, this, &CDataBackend::deviceAckResponse);
    connect(m_protocolMaster, &CProtocolMaster::nack, this, &CDataBackend::deviceNackResponse);
}

void CDataBackend::setInterfaceSettings(const STRUCT_SERIAL_SETTINGS& settings)
{
    m_serialSettings = settings;
}

bool CDataBackend::openInterface(ENUM_INTERFACE_TYPE type, const QString& portName, uchar address)
{
    if (m_interface) {
        if (m_interface->type() == type)
            return isConnected() ? true : openInterface(address);
        closeInterface();
    }

    switch (type) {
    case INTERFACE_SERIAL: {
        auto* serial = new CSerialInterface(this);
        serial->setPortName(portName);
        // The plug-in is asked once per value, as it may compute them.
        serial->setBaudRate(QSerialPort::BaudRate(m_plugin ? m_plugin->serialSettings().baudRate
                                                           : m_serialSettings.baudRate));
        serial->setFlowControl(QSerialPort::FlowControl(m_plugin ? m_plugin->serialSettings().flowControl
                                                                 : m_serialSettings.flowControl));
        serial->setParity(QSerialPort::Parity(m_plugin ? m_plugin->serialSettings().parity
                                                       : m_serialSettings.parity));
        serial->setDataBits(QSerialPort::DataBits(m_plugin ? m_plugin->serialSettings().dataBits
                                                           : m_serialSettings.dataBits));
        serial->setStopBits(QSerialPort::StopBits(m_plugin ? m_plugin->serialSettings().stopBits
                                                           : m_serialSettings.stopBits));
        m_interface = serial;
        break;
    }
    case INTERFACE_TCP:
        m_interface = new CTcpInterface(this);
        m_interface->setPortName(portName);
        break;
    default:
        return false;
    }

    if (m_protocolMaster) {
        connect(m_interface, &CBaseInterface::dataRead, m_protocolMaster, &CProtocolMaster::resolveResponse);
        connect(m_protocolMaster, &CProtocolMaster::write, m_interface, &CBaseInterface::sendData);
    }
    connect(m_interface, &CBaseInterface::dataRead, this, &CDataBackend::dataRead);
    connect(m_interface, &CBaseInterface::dataWritten, this, &CDataBackend::dataWritten);
    connect(m_interface, &CBaseInterface::logMessage, m_log, &CLog::log);
    connect(m_interface, &CBaseInterface::errorMessage, this, &CDataBackend::errorMessage);
    connect(m_interface, &CBaseInterface::warningMessage, this, &CDataBackend::warningMessage);
    connect(m_interface, &CBaseInterface::infoMessage, this, &CDataBackend::infoMessage);
    return openInterface(address);
}

bool CDataBackend::openInterface(uchar address)
{
    if (m_protocolMaster)
        m_protocolMaster->reset();
    if (!m_interface)
        return false;

    if (!m_interface->openPort()) {
        emit logMessage(tr("Could not connect interface %1.").arg(m_interface->portName()));
        closeInterface();
        return false;
    }
    emit logMessage(tr("Interface %1 connected.").arg(m_interface->portName()));
    if (m_protocolMaster)
        m_protocolMaster->setDeviceAddress(address);
    return true;
}

bool CDataBackend::closeInterface()
{
    if (m_interface) {
        if (m_interface->isPortOpen())
            emit logMessage(tr("Interface %1 disconnected.").arg(m_interface->portName()));
        delete m_interface;
        m_interface = nullptr;
    }
    if (m_protocolMaster)
        m_protocolMaster->reset();
    return true;
}

bool CDataBackend::isConnected() const
{
    return m_interface && m_interface->isPortOpen();
}

QString CDataBackend::portName() const
{
    return m_interface ? m_interface->portName() : QString();
}

ENUM_INTERFACE_TYPE CDataBackend::currentInterfaceType() const
{
    return m_interface ? m_interface->type() : INTERFACE_NONE;
}

void CDataBackend::resetInterface()
{
    if (!m_interface)
        return;
    if (m_interface->type() == INTERFACE_SERIAL) {
        if (m_interface->isPortOpen())
            m_interface->closePort();
        QEventLoop loop;
        QTimer::singleShot(SERIAL_RESET_WAIT_MS, &loop, &QEventLoop::quit);
        loop.exec();
        // The interface may have been closed while the loop ran.
        if (m_interface && !m_interface->isPortOpen())
            m_interface->openPort();
    }
    emit interfaceReseted();
}

void CDataBackend::interfaceError()
{
    if (isConnected())
        closeInterface();
}

void CDataBackend::buildRequest(const CRequest& request)
{
    if (isConnected() && m_protocolMaster)
        m_protocolMaster->buildRequest(request);
}

void CDataBackend::buildRequests(const QList<CRequest>& requests)
{
    if (isConnected() && m_protocolMaster)
        m_protocolMaster->buildRequests(requests);
}

void CDataBackend::setDeviceAddress(uchar address)
{
    if (m_protocolMaster)
        m_protocolMaster->setDeviceAddress(address);
}

void CDataBackend::cyclicReadPabChanged(bool state)
{
    if (!state && isConnected() && m_protocolMaster)
        m_protocolMaster->clearRequests(REQUEST_READ_PAB);
}

void CDataBackend::readDid()
{
    buildRequest(CRequest(REQUEST_READ_DEVICE_ID, FUNCTION_DEVICE_ID));
}

void CDataBackend::writeGotoBl(ushort modus)
{
    const int type = modus == 1 ? REQUEST_GOTO_BOOTLOADER : modus == 2 ? REQUEST_GOTO_APPLICATION : -1;
    QByteArray data;
    data.append(char(modus & 0xFF));
    data.append(char(modus >> 8));
    buildRequest(CRequest(static_cast<ENUM_REQUEST_TYPE>(type), FUNCTION_GOTO, 0, 0, GOTO_REGISTER, 2, data));
}

void CDataBackend::scanDevice()
{
    buildRequest(CRequest(REQUEST_SCAN, FUNCTION_READ_HOLDING, SCAN_ADDRESS, SCAN_LENGTH));
}

void CDataBackend::scanResponse(const QStringList& entries)
{
    if (entries.isEmpty()) {
        const QString text = tr("No valid device found!");
        emit logMessage(text);
        emit errorMessage(CAPTION_DEVICE, text);
    }
}

void CDataBackend::didResponse(const QStringList& entries)
{
    if (entries.size() >= 3 && entries.at(0).contains(QLatin1String("VELTA"))) {
        QString version = entries.at(2);
        version.remove(QLatin1Char('V'));
        if (CFlasher::isBootLoader(entries.at(1)))
            version = QStringLiteral("0.0");
        emit deviceIdCheck(entries.at(1), version);
        return;
    }
    const QString text = tr("No valid device!")
        + QStringLiteral(" (Vendor Name: %1)").arg(entries.size() >= 3 ? entries.at(0) : QString());
    emit logMessage(text);
    emit errorMessage(CAPTION_DEVICE, text);
}

void CDataBackend::updateFirmware(const QString& fileName, bool withChecks)
{
    if (!isConnected())
        return;
    if (auto* modbus = qobject_cast<CModbusMaster*>(m_protocolMaster))
        modbus->startUpdate(fileName, withChecks);
}

void CDataBackend::abortUpdateFirmware()
{
    if (!isConnected())
        return;
    if (auto* modbus = qobject_cast<CModbusMaster*>(m_protocolMaster))
        modbus->stopUpdate();
}

void CDataBackend::loadPlugins()
{
    loadPlugins(QCoreApplication::applicationDirPath() + PLUGIN_PATH);
}

void CDataBackend::loadPlugins(const QString& directory)
{
    const QDir dir(directory);
    // Qt plug-ins are .dll files on Windows and .so files here.
    const QStringList filters{ PLUGIN_PREFIX + QStringLiteral("plugin_*.") + PLUGIN_EXTENSION,
                               PLUGIN_PREFIX + QStringLiteral("plugin_*.so") };
    m_pluginInstances.clear();
    const QStringList files = dir.entryList(filters, QDir::Files);
    for (const QString& file : files) {
        auto* loader = new QPluginLoader(dir.absolutePath() + QLatin1Char('/') + file, this);
        if (QObject* root = loader->instance())
            m_pluginInstances.append(root);
        else
            emit logMessage(tr("Could not load plug-in %1: %2").arg(file, loader->errorString()));
    }
}

bool CDataBackend::activatePlugin(const QString& id)
{
    for (const QString& wanted : { id, CGlobals::PluginIdDefault }) {
        for (QObject* root : qAsConst(m_pluginInstances)) {
            auto* plugin = qobject_cast<CPluginInterface*>(root);
            if (plugin && plugin->supportsDevice(wanted)) {
                m_plugin = plugin;
                return true;
            }
        }
    }
    return false;
}

QString CDataBackend::pluginName() const
{
    return m_plugin ? m_plugin->pluginName() : QString();
}

QList<CBaseWidget*> CDataBackend::pluginWidgets() const
{
    return m_plugin ? m_plugin->pluginWidgets() : QList<CBaseWidget*>();
}

QStringList CDataBackend::getDeviceFlashNames(const QString& name) const
{
    return m_plugin ? m_plugin->deviceFlashNames(name) : QStringList{ name };
}

QObject* CDataBackend::deviceFront() const
{
    return m_plugin ? m_plugin->deviceFront() : nullptr;
}

bool CDataBackend::setupPlugin(const QString& text)
{
    return m_plugin && m_plugin->setup(this, text);
}
