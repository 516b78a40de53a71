#include "backend/CDataBackend.h"

#include "backend/CLog.h"
#include "backend/CPluginInterface.h"
#include "files/CParameterFile.h"
#include "interfaces/CBluetoothInterface.h"
#include "interfaces/CSerialInterface.h"
#include "interfaces/CTcpInterface.h"
#include "interfaces/nfc/CNfcInterface.h"
#include "items/CGlobals.h"
#include "items/CItem.h"
#include "models/CChartModel.h"
#include "models/CProgramTableModel.h"
#include "models/CTreeModel.h"
#include "protocol/CCheckDidProcess.h"
#include "protocol/CFlasher.h"
#include "protocol/CModbusMaster.h"
#include "protocol/CNfcMaster.h"
#include "protocol/CUpdateProcess.h"
#include "xml/CXmlParser.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QPluginLoader>
#include <QPointer>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <utility>

namespace {
// Takes models out of every lookup at once and releases them once control is
// back in the event loop: the answer that ends a device is handled inside one
// of its models.
template <typename Model>
void releaseModels(QList<Model*>& models)
{
    for (Model* model : qAsConst(models)) {
        model->setParent(nullptr);
        model->deleteLater();
    }
    models.clear();
}

const int SERIAL_RESET_WAIT_MS = 1500;
const quint8 FUNCTION_READ_HOLDING = 3;
const quint8 FUNCTION_DEVICE_ID = 0x2B;
const quint8 FUNCTION_GOTO = 0x57;
const quint16 SCAN_ADDRESS = 0x0400;
const quint16 SCAN_LENGTH = 20;
const quint16 GOTO_REGISTER = 0x5000;
const quint16 SECOND_SCAN_ADDRESS = 0x0300;
const QString NO_CHECK_VERSION = QStringLiteral("0.00");
const QString ACCESS_STATIC = QStringLiteral("static");
const QString ACCESS_DYNAMIC = QStringLiteral("dynamic");
// Order numbers are the device number followed by four digits of the variant.
const int ORDER_VARIANT_DIGITS = 4;
}

const QString CDataBackend::PLUGIN_PATH = QStringLiteral("/plugins");
const QString CDataBackend::PLUGIN_PREFIX = QString();
const QString CDataBackend::PLUGIN_EXTENSION = QStringLiteral("dll");
const QString CDataBackend::XML_PATH = QStringLiteral("/xml");
const QString CDataBackend::XML_TRANSLATIONS_PATH = CDataBackend::XML_PATH + QStringLiteral("/translations");
const QString CDataBackend::XML_SUFFIX = QStringLiteral(".xml");

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
    m_xmlParser = std::make_unique<CXmlParser>();
    m_log = new CLog(this);
    m_serialSettings = STRUCT_SERIAL_SETTINGS{ 115200, 2, 0, 8, 1 };
    // The device files are listed when first needed (deviceFiles()): reading
    // every installed description is the largest part of starting up, and
    // many uses of the back end never look at them.
    loadPlugins();

    connect(this, &CDataBackend::logMessage, m_log, &CLog::log);
    connect(m_log, &CLog::logMessage, this, &CDataBackend::log);
    connect(this, &CDataBackend::deviceChecked, this, &CDataBackend::initializeDevice);
    connect(this, &CDataBackend::deviceIdCheck, this, &CDataBackend::deviceIdRead);
}

CDataBackend::~CDataBackend() = default;

void CDataBackend::setComProtocol(ENUM_PROTOCOL_TYPE type)
{
    if (m_protocolMaster && m_protocolMaster->type() == type)
        return;
    retireMaster();
    closeInterface();

    if (type == PROTOCOL_NFC) {
        auto* nfc = new CNfcMaster(this);
        // A tag that arrives is identified.
        connect(nfc, &CNfcMaster::targetConnectionChanged, this, &CDataBackend::scanDevice);
        m_protocolMaster = nfc;
    } else if (type == PROTOCOL_MODBUS_RTU || type == PROTOCOL_MODBUS_TCP) {
        auto* modbus = new CModbusMaster(type, this);
        connect(modbus, &CModbusMaster::firmwareUpdateStarted, this, &CDataBackend::firmwareUpdateStarted);
        connect(modbus, &CModbusMaster::firmwareUpdateFinished, this, &CDataBackend::firmwareUpdateFinished);
        connect(modbus, &CModbusMaster::firmwareUpdateProgress, this, &CDataBackend::firmwareUpdateProgress);
        connect(modbus, &CModbusMaster::resetInterfaceInitiated, this, &CDataBackend::resetInterface);
        connect(this, &CDataBackend::interfaceReseted, modbus, &CModbusMaster::resetInterfaceFinished);
        m_protocolMaster = modbus;
    } else {
        return;
    }

    m_protocolMaster->setAnswerTimeout(m_answerTimeoutMs);
    connect(m_protocolMaster, &CProtocolMaster::warningMessage, this, &CDataBackend::warningMessage);
    connect(m_protocolMaster, &CProtocolMaster::logMessage, m_log, &CLog::log);
    connect(m_protocolMaster, &CProtocolMaster::scanResponse, this, &CDataBackend::scanResponse);
    connect(m_protocolMaster, &CProtocolMaster::didResponse, this, &CDataBackend::didResponse);
    connect(m_protocolMaster, &CProtocolMaster::dataResponse, this, &CDataBackend::dataResponse);
    connect(m_protocolMaster, &CProtocolMaster::programDataResponse, this, &CDataBackend::programDataResponse);
    connect(m_protocolMaster, &CProtocolMaster::recordResponse, this, &CDataBackend::recordResponse);
    connect(m_protocolMaster, &CProtocolMaster::ack, this, &CDataBackend::deviceAckResponse);
    connect(m_protocolMaster, &CProtocolMaster::nack, this, &CDataBackend::deviceNackResponse);
    // The models of an active device take the answers of whichever master is current.
    for (CTreeModel* treeModel : qAsConst(m_models))
        connectAnswers(treeModel);
}

void CDataBackend::stopRunningUpdate()
{
    if (auto* modbus = qobject_cast<CModbusMaster*>(m_protocolMaster)) {
        if (modbus->flasher()->isRunning())
            modbus->stopUpdate();
    }
}

void CDataBackend::retireMaster()
{
    stopRunningUpdate();
    if (!m_protocolMaster)
        return;
    // The master may be inside one of its own signals or a nested wait: it is
    // silenced now and released once control is back in the event loop.
    CProtocolMaster* master = m_protocolMaster;
    m_protocolMaster = nullptr;
    master->reset();
    master->disconnect(this);
    master->disconnect(m_log);
    for (CTreeModel* treeModel : qAsConst(m_models)) {
        master->disconnect(treeModel);
        for (CChartModel* chart : treeModel->findChildren<CChartModel*>())
            master->disconnect(chart);
    }
    disconnect(this, nullptr, master, nullptr);
    master->deleteLater();
}

void CDataBackend::connectAnswers(CTreeModel* treeModel)
{
    if (!m_protocolMaster)
        return;
    // A read-write section learns its values from the requests' own answers.
    if (!treeModel->hasFeature(CFunctionalFeature::Feature_Attribute_FC_RW))
        connect(m_protocolMaster, &CProtocolMaster::dataResponse, treeModel, &CTreeModel::newMultipleData,
                Qt::UniqueConnection);
    for (CChartModel* chart : treeModel->findChildren<CChartModel*>(QString(), Qt::FindDirectChildrenOnly))
        connect(m_protocolMaster, &CProtocolMaster::dataResponse, chart, &CChartModel::newMultipleData,
                Qt::UniqueConnection);
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
    case INTERFACE_BLUETOOTH: {
        auto* bluetooth = new CBluetoothInterface(this);
        bluetooth->setPortName(portName);
        // The module's UART serves the device: the plug-in's settings or the
        // device's defaults, never the ones set for a cable.
        STRUCT_UART_CONFIG uart;
        if (m_plugin) {
            const STRUCT_SERIAL_SETTINGS settings = m_plugin->serialSettings();
            uart = STRUCT_UART_CONFIG{ settings.baudRate, settings.parity, settings.flowControl };
        }
        bluetooth->setUartConfig(uart);
        connect(bluetooth, &CBluetoothInterface::error, this, &CDataBackend::interfaceError);
        m_interface = bluetooth;
        break;
    }
    case INTERFACE_TCP:
        m_interface = new CTcpInterface(this);
        m_interface->setPortName(portName);
        break;
    case INTERFACE_NFC: {
        auto* nfc = new CNfcInterface(this);
        connect(nfc, &CNfcInterface::adapterError, this, &CDataBackend::resetInterface);
        connect(nfc, &CNfcInterface::targetConnectionChanged, this, &CDataBackend::deviceConnected);
        if (auto* master = qobject_cast<CNfcMaster*>(m_protocolMaster)) {
            connect(nfc, &CNfcInterface::targetConnectionChanged, master, &CNfcMaster::targetConnected);
            connect(nfc, &CNfcInterface::ndefRecordsRead, master, &CNfcMaster::ndefRecordsRead);
            connect(master, &CNfcMaster::readNdefMessages, nfc, &CNfcInterface::readNdefMessages);
            // No tag is in the field of a reader not yet started, whatever
            // the master saw through an earlier transport.
            master->targetConnected(false);
        }
        m_interface = nfc;
        break;
    }
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

    const QPointer<CBaseInterface> opening = m_interface;
    const bool opened = opening->openPort();
    m_connectionError = opened || !opening ? QString() : opening->errorString();
    // Opening may wait in the event loop, where the front end can close the
    // interface or replace it: the result then belongs to nobody.
    if (opening != m_interface)
        return false;
    if (!opened && m_interface->type() == INTERFACE_NFC) {
        // It keeps trying until the reader is there; opening it again retries at once.
        emit logMessage(tr("Could not connect nfc interface."));
        return false;
    }
    if (!opened) {
        emit logMessage(tr("Could not connect interface %1.").arg(m_interface->portName()));
        closeInterface();
        return false;
    }
    emit logMessage(m_interface->type() == INTERFACE_NFC ? tr("Interface activated. Wait for device.")
                                                         : tr("Interface %1 connected.").arg(m_interface->portName()));
    if (m_interface->type() == INTERFACE_BLUETOOTH) {
        const int configured = opening->configurePort();
        if (opening != m_interface)
            return false;
        if (configured == 1) {
            emit logMessage(tr("Could not configure interface %1!").arg(m_interface->portName()));
            closeInterface();
            emit errorMessage(CAPTION_RESET_INTERFACE,
                              tr("Could not configure the wireless interface and establish device connection!"));
            return false;
        }
        if (configured == 2) {
            emit logMessage(tr("Configured interface %1 successfully.").arg(m_interface->portName()));
            emit warningMessage(CAPTION_RESET_INTERFACE,
                                tr("Configured the wireless interface successfully. Reconnect the wireless module "
                                   "manually in the Windows settings menu!"));
            closeInterface();
            return false;
        }
    }
    if (m_protocolMaster)
        m_protocolMaster->setDeviceAddress(address);
    if (m_deviceActive)
        readDeviceInfo();
    return true;
}

bool CDataBackend::closeInterface()
{
    stopRunningUpdate();
    if (m_interface) {
        CBaseInterface* interface = m_interface;
        m_interface = nullptr;
        if (interface->isPortOpen()) {
            if (interface->type() == INTERFACE_BLUETOOTH || interface->type() == INTERFACE_NFC)
                emit deviceConnected(false);
            emit logMessage(interface->type() == INTERFACE_NFC
                                ? tr("NFC interface deactivated.")
                                : tr("Interface %1 disconnected.").arg(interface->portName()));
        }
        // The transport may be inside one of its own signals or a connection
        // wait: it is cut off and closed now and released from the event loop.
        interface->disconnect();
        if (m_protocolMaster)
            m_protocolMaster->disconnect(interface);
        interface->closePort();
        interface->deleteLater();
    }
    if (m_protocolMaster)
        m_protocolMaster->reset();
    return true;
}

bool CDataBackend::isConnected() const
{
    // Over NFC the device is there while its tag is in the reader's field.
    if (auto* nfc = qobject_cast<CNfcInterface*>(m_interface))
        return nfc->isPortOpen() && nfc->isTargetConnected();
    return m_interface && m_interface->isPortOpen();
}

void CDataBackend::setAnswerTimeout(int milliseconds)
{
    m_answerTimeoutMs = milliseconds > 0 ? milliseconds : 0;
    if (m_protocolMaster)
        m_protocolMaster->setAnswerTimeout(m_answerTimeoutMs);
}

QString CDataBackend::version()
{
    return QStringLiteral(PARAMICA_LIBRARY_VERSION);
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
        const QPointer<CBaseInterface> serial = m_interface;
        if (serial->isPortOpen())
            serial->closePort();
        QEventLoop loop;
        QTimer::singleShot(SERIAL_RESET_WAIT_MS, &loop, &QEventLoop::quit);
        loop.exec();
        // The interface may have been closed or replaced while the loop ran.
        if (serial && serial == m_interface && !serial->isPortOpen())
            serial->openPort();
    } else if (m_interface->type() == INTERFACE_NFC) {
        // The reader is given up and taken again: its waiting starts afresh.
        // Whoever learns of the tag's loss may close the interface meanwhile.
        const QPointer<CBaseInterface> nfc = m_interface;
        nfc->closePort();
        if (nfc && nfc == m_interface)
            nfc->openPort();
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
    const ENUM_REQUEST_TYPE type = modus == 1 ? REQUEST_GOTO_BOOTLOADER
        : modus == 2                          ? REQUEST_GOTO_APPLICATION
                                              : REQUEST_NONE;
    buildRequest(CRequest(type, FUNCTION_GOTO, 0, 0, GOTO_REGISTER, 2, CItem::valueToLowByteFirstWord(modus)));
}

void CDataBackend::scanDevice()
{
    if (currentInterfaceType() == INTERFACE_NFC) {
        // The device-information record, then the version in tag memory.
        buildRequests({ CRequest(REQUEST_SCAN, 0, CNfcMaster::maxAddress(), CNfcMaster::DEVICE_INFO_LENGTH),
                        CRequest(REQUEST_SCAN, 0, CNfcMaster::VERSION_ADDRESS, CNfcMaster::VERSION_LENGTH) });
        return;
    }
    buildRequest(CRequest(REQUEST_SCAN, FUNCTION_READ_HOLDING, SCAN_ADDRESS, SCAN_LENGTH));
}

void CDataBackend::scanResponse(const QStringList& entries)
{
    if (entries.isEmpty()) {
        const QString text = tr("No valid device found!");
        emit logMessage(text);
        emit errorMessage(CAPTION_DEVICE, text);
        return;
    }
    if (activateDeviceById(entries.at(0), entries.value(1), false))
        return;
    deactivateDevice();
    // Tag memory has no second identification block: the tag is scanned again.
    if (m_noMatchCount == 1 && currentInterfaceType() == INTERFACE_NFC)
        scanDevice();
    else if (m_noMatchCount == 1)
        buildRequest(CRequest(REQUEST_SCAN, FUNCTION_READ_HOLDING, SECOND_SCAN_ADDRESS, SCAN_LENGTH));
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

bool CDataBackend::refuseSecondWorkflow()
{
    // Each of them steers the device through a sequence the other would cut into.
    if (!m_workflowRunning)
        return false;
    const QString text = tr("A firmware update or boot loader identification is already running!");
    emit logMessage(text);
    emit errorMessage(CAPTION_FIRMWARE_UPDATE, text);
    return true;
}

int CDataBackend::startUpdateFirmware(const QString& fileName, bool isBootLoader, bool withChecks)
{
    // Only the Modbus master carries a boot loader's telegrams.
    if (!isConnected() || !qobject_cast<CModbusMaster*>(m_protocolMaster))
        return 1;
    if (refuseSecondWorkflow())
        return 1;
    m_workflowRunning = true;
    CUpdateProcess process;
    connect(&process, &CUpdateProcess::infoMessage, this, &CDataBackend::infoMessage);
    connect(&process, &CUpdateProcess::errorMessage, this, &CDataBackend::errorMessage);
    connect(&process, &CUpdateProcess::logMessage, m_log, &CLog::log);
    const int result = process.start(fileName, isBootLoader, withChecks);
    m_workflowRunning = false;
    return result;
}

int CDataBackend::startReadDidProcess()
{
    if (!isConnected() || !m_protocolMaster)
        return 1;
    if (refuseSecondWorkflow())
        return 1;
    m_workflowRunning = true;
    CCheckDidProcess process;
    // The boot loader's identification is the procedure's, not a device found.
    disconnect(this, &CDataBackend::deviceIdCheck, this, &CDataBackend::deviceIdRead);
    const int result = process.start();
    connect(this, &CDataBackend::deviceIdCheck, this, &CDataBackend::deviceIdRead, Qt::UniqueConnection);
    m_workflowRunning = false;
    if (result == 0)
        emit deviceIdRead(process.deviceId(), process.version());
    return result;
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

QString CDataBackend::deviceNumber() const
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    const QString& orderNumber = m_currentDevice.orderNumber;
    if (!m_deviceActive || orderNumber.size() <= ORDER_VARIANT_DIGITS)
        return QString();
    const QString number = orderNumber.left(orderNumber.size() - ORDER_VARIANT_DIGITS);
    return digits.match(number).hasMatch() ? number : QString();
}

QObject* CDataBackend::deviceFront() const
{
    return m_plugin ? m_plugin->deviceFront() : nullptr;
}

bool CDataBackend::setupPlugin(const QString& text)
{
    return m_plugin && m_plugin->setup(this, text);
}

void CDataBackend::loadDeviceFileNames()
{
    loadDeviceFileNames(QCoreApplication::applicationDirPath() + XML_PATH);
}

void CDataBackend::loadDeviceFileNames(const QString& directory)
{
    m_deviceFiles.clear();
    m_refusedDeviceFiles.clear();
    m_deviceFilesListed = true;
    const QDir dir(directory);
    for (const QString& file : dir.entryList({ QStringLiteral("*") + XML_SUFFIX }, QDir::Files)) {
        if (m_xmlParser->readFileDeviceId(dir.filePath(file))) {
            m_deviceFiles.append(m_xmlParser->deviceDescription());
        } else {
            m_refusedDeviceFiles.append(m_xmlParser->errorString());
            emit logMessage(m_xmlParser->errorString());
        }
    }
}

const QList<CDeviceDescription>& CDataBackend::deviceFiles() const
{
    if (!m_deviceFilesListed)
        const_cast<CDataBackend*>(this)->loadDeviceFileNames();
    return m_deviceFiles;
}

QStringList CDataBackend::refusedDeviceFiles() const
{
    deviceFiles();
    return m_refusedDeviceFiles;
}

QStringList CDataBackend::availableDevices() const
{
    QStringList devices;
    for (const CDeviceDescription& file : deviceFiles()) {
        if (!file.name.isEmpty())
            devices.append(CGlobals::createDeviceIdString(file.name, file.orderNumber, file.parameterVersion));
    }
    return devices;
}

QString CDataBackend::currentDevice() const
{
    if (m_currentDevice.name.isEmpty())
        return QString();
    return CGlobals::createDeviceIdString(m_currentDevice.name, m_currentDevice.orderNumber,
                                          m_currentDevice.parameterVersion);
}

QMap<QString, QString> CDataBackend::parameterFileDescription() const
{
    CTreeModel* deviceInfo = model(CGlobals::ModelName_DeviceInfo);
    return {
        { CParameterFile::KEY_DEVICE, m_currentDevice.name },
        { CParameterFile::KEY_ORDER_NUMBER, CParameterFile::parameter(CGlobals::Item_Bestellnummer, deviceInfo) },
        { CParameterFile::KEY_SERIAL_NUMBER, CParameterFile::parameter(CGlobals::Item_Seriennummer, deviceInfo) },
        { CParameterFile::KEY_VERSION, m_currentDevice.parameterVersion },
        { CParameterFile::KEY_DEVICE_DESCRIPTION, currentDevice() },
        { CParameterFile::KEY_DATE, QDateTime::currentDateTime().toString(CItem::dateTimeFormat(false)) },
    };
}

bool CDataBackend::activateDeviceByName(const QString& deviceId)
{
    if (m_deviceActive)
        deactivateDevice();
    const QStringList parts = CGlobals::splitDeviceIdString(deviceId);
    const QString name = parts.value(0);
    const QString version = parts.value(1);
    const QString orderNumber = parts.value(2);
    CDeviceDescription description;
    if (!orderNumber.isEmpty())
        description = setupXmlData(CGlobals::orderNumberMask(orderNumber), version, name);
    if (description.name.isEmpty() || description.orderNumber.isEmpty()) {
        const QString text = tr("Device '%1' not supported!").arg(deviceId);
        emit logMessage(text);
        emit errorMessage(CAPTION_DEVICE, text);
        return false;
    }
    m_currentDevice = description;
    return activateDevice(orderNumber, version, true);
}

bool CDataBackend::activateDeviceById(const QString& orderNumber, const QString& version, bool selected)
{
    if (m_deviceActive)
        deactivateDevice();
    const CDeviceDescription description = setupXmlData(orderNumber, version, QString());
    if (description.name.isEmpty() || description.orderNumber.isEmpty())
        return false;
    m_currentDevice = description;
    return activateDevice(orderNumber, version, selected);
}

CDeviceDescription CDataBackend::setupXmlData(const QString& orderNumber, const QString& version, const QString& name)
{
    QList<CDeviceDescription> candidates;
    for (const CDeviceDescription& file : deviceFiles()) {
        if (orderNumber.startsWith(CGlobals::orderNumberMask(file.orderNumber)) && (name.isEmpty() || file.name == name))
            candidates.append(file);
    }
    if (candidates.isEmpty()) {
        // The first miss is silent: the second scan block may still match.
        if (++m_noMatchCount < 2)
            return CDeviceDescription();
        const QString text = tr("Device with order number '%1' and parameter version '%2' not supported!")
                                 .arg(orderNumber, version);
        emit logMessage(text);
        emit errorMessage(CAPTION_DEVICE, text);
        m_noMatchCount = 0;
        return CDeviceDescription();
    }
    std::stable_sort(candidates.begin(), candidates.end(), orderNumberLongerThen);
    if (!version.isEmpty()) {
        for (const CDeviceDescription& candidate : qAsConst(candidates)) {
            if (candidate.parameterVersion == version) {
                m_noMatchCount = 0;
                return candidate;
            }
        }
        const QString text = tr("No device file with a matching parameter version for device with order number "
                                "'%1' found! Device parameter version: '%2'!")
                                 .arg(orderNumber, version);
        emit logMessage(text);
        emit errorMessage(CAPTION_DEVICE, text);
        return CDeviceDescription();
    }
    if (candidates.size() >= 2) {
        emit warningMessage(CAPTION_DEVICE, tr("More then one device file found! Use file with highest parameter version!"));
        std::stable_sort(candidates.begin(), candidates.end(), paraVersionHigherThen);
    }
    return candidates.first();
}

bool CDataBackend::activateDevice(const QString& orderNumber, const QString& version, bool selected)
{
    setupFeatures();
    if (!setupModels(m_currentDevice.fileName)) {
        QString text = tr("Could not setup data model for device '%1'!").arg(m_currentDevice.name);
        if (!m_xmlParser->errorString().isEmpty())
            text += QLatin1Char('\n') + m_xmlParser->errorString();
        emit logMessage(text);
        emit errorMessage(CAPTION_DEVICE, text);
        return false;
    }
    // The programs of an earlier device are not this device's.
    releaseModels(m_programModels);
    setupProgramModels(feature(CFunctionalFeature::FEATURE_PROGRAMME));
    m_deviceActive = true;

    CTreeModel* deviceInfo = model(CGlobals::ModelName_DeviceInfo);
    CItem* versionItem = deviceInfo ? firstItemContaining(deviceInfo, CGlobals::Item_Parameterversion) : nullptr;
    const bool checkOnAnswer = versionItem && version != NO_CHECK_VERSION;
    if (checkOnAnswer) {
        // Every answer that carries the version is checked, also one that
        // leaves the description's default value as it was; the check runs
        // once the whole answer has been taken in.
        const auto versionAnswered = std::make_shared<bool>(false);
        connect(versionItem, &CItem::newValue, this, [versionAnswered] { *versionAnswered = true; });
        connect(deviceInfo, &CTreeModel::dataFinished, this, [this, versionAnswered] {
            if (std::exchange(*versionAnswered, false))
                checkDevice();
        });
    }

    if (activatePlugin(orderNumber))
        m_plugin->setup(this, orderNumber);
    emit logMessage(tr("Device '%1' %2.").arg(m_currentDevice.name, selected ? tr("selected") : tr("found")));
    emit deviceActivated(m_currentDevice.name);
    // A device that needs no check is taken as checked at once, after the
    // front end has learnt of it and its models.
    if (!checkOnAnswer)
        emit deviceChecked(true);
    readDeviceInfo();
    return true;
}

void CDataBackend::setupFeatures()
{
    m_features.clear();
    for (auto it = m_currentDevice.features.constBegin(); it != m_currentDevice.features.constEnd(); ++it) {
        CFunctionalFeature functionalFeature;
        functionalFeature.setName(it.key());
        functionalFeature.setup(it.value());
        m_features.append(functionalFeature);
    }
}

CFunctionalFeature CDataBackend::feature(int type) const
{
    for (const CFunctionalFeature& candidate : m_features) {
        if (candidate.type() == type)
            return candidate;
    }
    return CFunctionalFeature();
}

QHash<QString, QHash<QString, QString>> CDataBackend::translations() const
{
    QHash<QString, QHash<QString, QString>> result;
    const QString directory = QCoreApplication::applicationDirPath() + XML_TRANSLATIONS_PATH;
    for (const QString& file : CXmlParser::languageFiles(m_currentDevice, directory)) {
        const CXmlParser::Language language = CXmlParser::readDeviceLanguages(file);
        result.insert(language.first, language.second);
    }
    return result;
}

void CDataBackend::setupChartModel(CTreeModel* treeModel, const CElementMap* object,
                                   const QHash<QString, QHash<QString, QString>>& texts)
{
    auto* chartModel = new CChartModel(treeModel->objectName() + CGlobals::ModelName_Data, treeModel);
    chartModel->setupListEntries(object->lists);
    chartModel->setupBitfieldEntries(object->bitfields);
    // Its tree model was built from the same classes, so this cannot fail;
    // a chart without columns would be of no use to anybody.
    if (chartModel->setupModel(object->classes)) {
        delete chartModel;
        return;
    }
    chartModel->setupTranslationTexts(texts);
}

CChartModel* CDataBackend::chartModel(const QString& name) const
{
    for (CTreeModel* treeModel : m_models) {
        if (auto* chart = treeModel->findChild<CChartModel*>(name + CGlobals::ModelName_Data, Qt::FindDirectChildrenOnly))
            return chart;
    }
    return nullptr;
}

bool CDataBackend::setupModels(const QString& fileName)
{
    if (!m_xmlParser->readFileContent(fileName))
        return false;
    const QHash<QString, QHash<QString, QString>> texts = translations();
    const QMap<QString, CElementMap*> content = m_xmlParser->content();
    for (auto it = content.constBegin(); it != content.constEnd(); ++it) {
        const QString& objectName = it.key();
        const CElementMap* object = it.value();
        auto* treeModel = new CTreeModel(objectName, this);
        treeModel->setupListEntries(object->lists);
        treeModel->setupBitfieldEntries(object->bitfields);
        treeModel->setupFeatures(object->features);
        if (treeModel->setupModel(object->classes)) {
            delete treeModel;
            return false;
        }
        treeModel->setupTranslationTexts(texts);

        const QString access = treeModel->feature(CFunctionalFeature::Feature_Attribute_Access).toString();
        bool keep = false;
        if (objectName == CGlobals::ModelName_DeviceInfo || objectName == CGlobals::ModelName_Parameter) {
            if (access == ACCESS_STATIC) {
                connect(treeModel, &CTreeModel::validChanged, treeModel, &CTreeModel::checkValidity);
                keep = true;
            }
        } else if (objectName.contains(CGlobals::ModelName_Pab)) {
            keep = treeModel->hasFeature(CFunctionalFeature::Feature_Attribute_FC_RD);
            if (keep && access == ACCESS_DYNAMIC)
                setupChartModel(treeModel, object, texts);
        }

        if (treeModel->hasFeature(CFunctionalFeature::Feature_Attribute_FC_RW)) {
            keep = true;
        } else if (treeModel->hasFeature(CFunctionalFeature::Feature_Attribute_FC_WR)
                   || treeModel->hasFeature(CFunctionalFeature::Feature_Attribute_FC_WRS)) {
            keep = true;
        } else if (treeModel->hasFeature(CFunctionalFeature::Feature_Attribute_FC_RD)) {
            treeModel->setReadOnly(true);
            disconnect(treeModel, &CTreeModel::validChanged, treeModel, &CTreeModel::checkValidity);
            keep = true;
        }

        const auto special = [treeModel](const QString& name) {
            return treeModel->feature(name).toString() == CFunctionalFeature::Feature_Attribute_Function_Special;
        };
        if (!special(CFunctionalFeature::Feature_Attribute_Function_RD)) {
            connect(treeModel, &CTreeModel::buildReadRequests, this, &CDataBackend::buildRequests);
            connect(treeModel, &CTreeModel::buildReadRequest, this, &CDataBackend::buildRequest);
        }
        if (!special(CFunctionalFeature::Feature_Attribute_Function_WR)) {
            connect(treeModel, &CTreeModel::buildWriteRequests, this, &CDataBackend::buildRequests);
            connect(treeModel, &CTreeModel::buildWriteRequest, this, &CDataBackend::buildRequest);
        }
        if (!special(CFunctionalFeature::Feature_Attribute_Function_RW)) {
            connect(treeModel, &CTreeModel::buildReadWriteRequests, this, &CDataBackend::buildRequests);
            connect(treeModel, &CTreeModel::buildReadWriteRequest, this, &CDataBackend::buildRequest);
        }
        if (keep) {
            connectAnswers(treeModel);
            m_models.append(treeModel);
        } else {
            delete treeModel;
        }
    }
    return true;
}

void CDataBackend::setupProgramModels(const CFunctionalFeature& programmes)
{
    if (programmes.type() != CFunctionalFeature::FEATURE_PROGRAMME)
        return;
    const CFunctionalFeature::FeatureData data = programmes.data();
    for (auto it = data.constBegin(); it != data.constEnd(); ++it) {
        if (it.key() == CFunctionalFeature::Feature_Base_Key)
            continue;
        auto* program = new CProgramTableModel(this);
        program->setup(it.key(), it.value());
        m_programModels.append(program);
    }
}

CTreeModel* CDataBackend::model(const QString& name) const
{
    for (CTreeModel* treeModel : m_models) {
        if (treeModel->objectName() == name)
            return treeModel;
    }
    return nullptr;
}

CItem* CDataBackend::firstItemContaining(CTreeModel* treeModel, const QString& part) const
{
    for (CItem* item : treeModel->findChildren<CItem*>()) {
        if (item->objectName().contains(part))
            return item;
    }
    return nullptr;
}

void CDataBackend::readDeviceInfo()
{
    if (CTreeModel* deviceInfo = model(CGlobals::ModelName_DeviceInfo))
        deviceInfo->readData();
}

void CDataBackend::checkDevice()
{
    if (!m_deviceActive) {
        emit errorMessage(CAPTION_DEVICE, tr("Something went wrong!\nDevice check without active device..."));
        emit deviceChecked(false);
        return;
    }
    const auto refuse = [this](const QString& text) {
        emit errorMessage(CAPTION_DEVICE, text);
        emit deviceChecked(false);
    };
    if (CTreeModel* deviceInfo = model(CGlobals::ModelName_DeviceInfo)) {
        const CItem* orderItem = firstItemContaining(deviceInfo, CGlobals::Item_Bestellnummer);
        if (orderItem && !m_currentDevice.orderNumber.isEmpty()) {
            const QString text = orderItem->toValueString();
            if (!text.contains(CGlobals::orderNumberMask(m_currentDevice.orderNumber))) {
                refuse(tr("Mismatch beetween selected device and read data.\nWrong device selected! ('%1' != '%2')")
                           .arg(m_currentDevice.orderNumber, text));
                return;
            }
        }
        const CItem* versionItem = firstItemContaining(deviceInfo, CGlobals::Item_Parameterversion);
        if (versionItem && !m_currentDevice.parameterVersion.isEmpty()) {
            const QString text = versionItem->toValueString();
            if (text != m_currentDevice.parameterVersion) {
                refuse(tr("Parameter version mismatch beetween selected device and read data!\n('%1' != '%2')")
                           .arg(m_currentDevice.parameterVersion, text));
                return;
            }
        }
    }
    emit deviceChecked(true);
}

void CDataBackend::initializeDevice(bool state)
{
    if (!m_deviceActive)
        return;
    if (!state) {
        deactivateDevice();
        return;
    }
    CTreeModel* parameter = model(CGlobals::ModelName_Parameter);
    if (parameter && !parameter->isValid())
        parameter->readData();
}

void CDataBackend::setupDevice()
{
    if (m_deviceActive)
        readDeviceInfo();
}

bool CDataBackend::deactivateDevice()
{
    if (m_protocolMaster)
        m_protocolMaster->reset();
    m_currentDevice.clear();
    m_deviceActive = false;
    resetModels();
    m_plugin = nullptr;
    emit deviceDeactivated();
    return true;
}

void CDataBackend::resetModels()
{
    for (CTreeModel* treeModel : qAsConst(m_models)) {
        if (m_protocolMaster) {
            m_protocolMaster->disconnect(treeModel);
            for (CChartModel* chart : treeModel->findChildren<CChartModel*>())
                m_protocolMaster->disconnect(chart);
        }
        treeModel->disconnect(this);
    }
    releaseModels(m_models);
}

void CDataBackend::dataResponse(const QByteArray& data)
{
    if (data.size() < 2)
        return;
    const quint16 address = quint16((uchar(data[0]) << 8) | uchar(data[1]));
    const QByteArray payload = data.mid(2);
    const struct {
        CFunctionalFeature::ENUM_FEATURE_TYPE type;
        void (CDataBackend::*signal)(QByteArray);
    } routes[] = { { CFunctionalFeature::FEATURE_IO_MAPPING, &CDataBackend::ioMappingResponse },
                   { CFunctionalFeature::FEATURE_RTC, &CDataBackend::dateTimeResponse },
                   { CFunctionalFeature::FEATURE_ERROR_LOG, &CDataBackend::errorLogResponse } };
    for (const auto& route : routes) {
        const CFunctionalFeature candidate = feature(route.type);
        if (candidate.type() != route.type)
            continue;
        QVariant value = candidate.value(CFunctionalFeature::Feature_Attribute_Addr_RD, CFunctionalFeature::Feature_Base_Key);
        if (!value.isValid())
            value = candidate.value(CFunctionalFeature::Feature_Attribute_Addr_RW, CFunctionalFeature::Feature_Base_Key);
        if (value.isValid() && value.toUInt() == address) {
            emit(this->*route.signal)(payload);
            return;
        }
    }
}
