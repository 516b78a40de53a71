#include "protocol/CUpdateProcess.h"

#include "backend/CDataBackend.h"
#include "files/CParameterFile.h"
#include "files/CParameterValues.h"
#include "items/CGlobals.h"
#include "items/CItem.h"
#include "models/CTreeModel.h"
#include "protocol/CFirmwareImage.h"
#include "protocol/CFlasher.h"

#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QTimer>

namespace {
const QString TEMPORARY_FILE_NAME = QStringLiteral("/ParamicaControls_TempPara");
const int START_DELAY_MS = 100;
const int RESTORE_DELAY_MS = 1000;
const int WATCHDOG_MS = CFlasher::FLASHER_TIMOUT * 1000;
const int TRANSFER_WATCHDOG_MS = CFlasher::FLASHER_TIMOUT * 6000;

CDataBackend* backend()
{
    return CDataBackend::instance();
}
}

CUpdateProcess::CUpdateProcess(QObject* parent)
    : CMessageSender(parent)
    , m_watchdog(new QTimer(this))
{
    m_watchdog->setSingleShot(true);
    connect(m_watchdog, &QTimer::timeout, this, &CUpdateProcess::timeout);
}

CUpdateProcess::~CUpdateProcess()
{
    m_watchdog->stop();
    delete m_temporaryFile;
}

int CUpdateProcess::start(const QString& fileName, bool isBootLoader, bool withChecks)
{
    m_fileName = fileName;
    m_isBootLoader = isBootLoader;
    m_withChecks = withChecks;
    if (!isFirmwareFileAccepted())
        return 1;
    if (!m_isBootLoader && backend()->isDeviceActive()) {
        if (CTreeModel* parameter = backend()->model(CGlobals::ModelName_Parameter))
            connect(parameter, &CTreeModel::dataFinished, this, &CUpdateProcess::parameterBlockRead);
    }
    QTimer::singleShot(START_DELAY_MS, this, &CUpdateProcess::started);
    return exec();
}

bool CUpdateProcess::isFirmwareFileAccepted()
{
    // Without a file there is nothing to update and nothing to say.
    if (m_fileName.isEmpty())
        return false;
    QString reason;
    if (CFirmwareImage::read(m_fileName, &reason).isEmpty()) {
        reportError(reason);
        return false;
    }
    // The device number is known only from an active device; the flasher
    // compares it with the device's identification in any case.
    const QString deviceNumber = backend()->deviceNumber();
    if (!m_withChecks || m_isBootLoader || deviceNumber.isEmpty())
        return true;
    if (CFlasher::isFirmwareFileValid(backend()->getDeviceFlashNames(deviceNumber), m_fileName, nullptr))
        return true;
    reportError(tr("Firmware file '%1' is not meant for the connected device %2 (device number %3)!")
                    .arg(m_fileName, backend()->currentDeviceDescription().name, deviceNumber));
    return false;
}

int CUpdateProcess::exec()
{
    m_watchdog->start(WATCHDOG_MS);
    QEventLoop loop;
    m_loop = &loop;
    const int code = loop.exec();
    m_loop = nullptr;
    return code;
}

void CUpdateProcess::endLoop(int code)
{
    if (m_loopEnding)
        return;
    m_loopEnding = true;
    m_watchdog->stop();
    // Nothing of the back end or its models reaches a procedure that has ended.
    backend()->disconnect(this);
    if (CTreeModel* parameter = backend()->model(CGlobals::ModelName_Parameter))
        parameter->disconnect(this);
    if (m_loop)
        m_loop->exit(code);
}

void CUpdateProcess::reportError(const QString& text)
{
    emit logMessage(text);
    emit errorMessage(CAPTION_FIRMWARE_UPDATE, text);
}

void CUpdateProcess::started()
{
    CTreeModel* parameter = (!m_isBootLoader && backend()->isDeviceActive())
        ? backend()->model(CGlobals::ModelName_Parameter)
        : nullptr;
    if (!parameter) {
        startUpdate();
        return;
    }
    // The file is saved once every block of the model has been answered, so
    // that no value in it is one the device was not asked for.
    const QMetaObject::Connection requests = connect(
        parameter, &CTreeModel::buildReadRequests, this,
        [this](const QList<CRequest>& blocks) { m_pendingBlocks += blocks.size(); });
    parameter->readData();
    disconnect(requests);
    if (m_pendingBlocks == 0)
        startUpdate();
}

void CUpdateProcess::parameterBlockRead()
{
    // Blocks the model takes before the read was asked for are not counted.
    if (m_pendingBlocks > 0 && --m_pendingBlocks == 0)
        saveTemporaryParameter();
}

void CUpdateProcess::saveTemporaryParameter()
{
    if (!backend()->isDeviceActive()) {
        startUpdate();
        return;
    }
    CTreeModel* parameter = backend()->model(CGlobals::ModelName_Parameter);
    if (!parameter) {
        reportError(tr("Could not find parameter of connected device!"));
        aborted();
        return;
    }
    disconnect(parameter, &CTreeModel::dataFinished, this, nullptr);
    CTreeModel* deviceInfo = backend()->model(CGlobals::ModelName_DeviceInfo);
    QMap<QString, QString> header;
    header.insert(CParameterFile::KEY_DEVICE, backend()->currentDeviceDescription().name);
    header.insert(CParameterFile::KEY_ORDER_NUMBER, CParameterFile::parameter(CGlobals::Item_Bestellnummer, deviceInfo));
    header.insert(CParameterFile::KEY_SERIAL_NUMBER, CParameterFile::parameter(CGlobals::Item_Seriennummer, deviceInfo));
    header.insert(CParameterFile::KEY_VERSION, CParameterFile::parameter(CGlobals::Item_Parameterversion, deviceInfo));
    header.insert(CParameterFile::KEY_DATE, QDateTime::currentDateTime().toString(CItem::dateTimeFormat(false)));
    const QString fileTemplate = QDir::tempPath() + TEMPORARY_FILE_NAME;
    QString why;
    m_temporaryFile
        = CParameterFile::saveTemporary(fileTemplate, header, CParameterFile::parameterData(parameter), &why);
    if (!m_temporaryFile) {
        emit logMessage(why);
        reportError(tr("Could not save parameter file '%1'!").arg(fileTemplate));
        aborted();
        return;
    }
    startUpdate();
}

void CUpdateProcess::startUpdate()
{
    // A transport lost meanwhile would leave nobody to report the update's end.
    if (m_fileName.isEmpty() || !backend()->isConnected()) {
        aborted();
        return;
    }
    connect(backend(), &CDataBackend::firmwareUpdateProgress, this, &CUpdateProcess::updateProgress,
            Qt::UniqueConnection);
    connect(backend(), &CDataBackend::firmwareUpdateFinished, this, &CUpdateProcess::updateFinished,
            Qt::UniqueConnection);
    // The flasher's own time-outs bound every step of the transfer; the
    // watchdog outlasts them, so that it never ends the procedure while the
    // device is being written.
    m_watchdog->start(TRANSFER_WATCHDOG_MS);
    backend()->updateFirmware(m_fileName, m_withChecks);
}

void CUpdateProcess::updateProgress(int)
{
    m_watchdog->start(TRANSFER_WATCHDOG_MS);
}

void CUpdateProcess::updateFinished(int result)
{
    m_watchdog->stop();
    disconnect(backend(), &CDataBackend::firmwareUpdateProgress, this, &CUpdateProcess::updateProgress);
    disconnect(backend(), &CDataBackend::firmwareUpdateFinished, this, &CUpdateProcess::updateFinished);
    if (result == 1) {
        const QString text = tr("Firmware update successfull.");
        emit infoMessage(CAPTION_FIRMWARE_UPDATE, text);
        emit logMessage(text);
        restartDevice();
    } else if (result == 0) {
        reportError(tr("Firmware update aborted!"));
        aborted();
    } else {
        aborted();
    }
}

void CUpdateProcess::restartDevice()
{
    if (backend()->isDeviceActive())
        backend()->deactivateDevice();
    m_watchdog->start(WATCHDOG_MS);
    connect(backend(), &CDataBackend::deviceChecked, this, &CUpdateProcess::continueAfterScan, Qt::UniqueConnection);
    backend()->scanDevice();
}

void CUpdateProcess::continueAfterScan()
{
    disconnect(backend(), &CDataBackend::deviceChecked, this, &CUpdateProcess::continueAfterScan);
    if (m_temporaryFile)
        QTimer::singleShot(RESTORE_DELAY_MS, this, &CUpdateProcess::loadTemporaryParameter);
    else
        finished();
}

void CUpdateProcess::loadTemporaryParameter()
{
    if (m_loopEnding)
        return;
    CTreeModel* parameter = backend()->model(CGlobals::ModelName_Parameter);
    // The model is written whole: it must hold the device's own values for
    // everything the file does not restore.
    if (parameter && !parameter->isValid()) {
        connect(parameter, &CTreeModel::validChanged, this, &CUpdateProcess::loadTemporaryParameter,
                Qt::UniqueConnection);
        return;
    }
    if (parameter)
        disconnect(parameter, &CTreeModel::validChanged, this, &CUpdateProcess::loadTemporaryParameter);

    QMap<QString, QString> header;
    QList<CDataPoint> data;
    if (!CParameterFile::loadTemporary(m_temporaryFile, &header, &data)) {
        reportError(tr("Could not load temporary parameter!"));
        aborted();
        return;
    }
    const QString device = backend()->currentDeviceDescription().name;
    QString fileSafeDevice = device;
    fileSafeDevice.replace(QRegularExpression(QStringLiteral("[\\*/\\\\!\\|:?<>]")), QStringLiteral("_"));
    const QString storedDevice = header.value(CParameterFile::KEY_DEVICE);
    if (storedDevice != device && storedDevice != fileSafeDevice) {
        reportError(
            tr("Temporary stored parameter do not match to device '%1'! (<%1> != <%2>)").arg(device, storedDevice));
        aborted();
        return;
    }
    const QString version
        = CParameterFile::parameter(CGlobals::Item_Parameterversion, backend()->model(CGlobals::ModelName_DeviceInfo));
    const QString storedVersion = header.value(CParameterFile::KEY_VERSION);
    if (storedVersion != version)
        emit infoMessage(CAPTION_FIRMWARE_UPDATE,
                         tr("Parameter version has changed! (<%1> != <%2>)").arg(version, storedVersion));
    if (!parameter) {
        reportError(tr("Could not find parameter of connected device!"));
        aborted();
        return;
    }
    if (!restoreParameters(parameter, data)) {
        aborted();
        return;
    }
    connect(backend(), &CDataBackend::deviceAckResponse, this, &CUpdateProcess::finished, Qt::UniqueConnection);
    parameter->writeData();
}

bool CUpdateProcess::restoreParameters(CTreeModel* parameter, const QList<CDataPoint>& data)
{
    // What the updated device no longer has is skipped; the rest is written
    // whole or not at all, like a parameter file the user loads.
    QStringList refused;
    if (CParameterValues::apply(parameter, data, CParameterValues::MISSING_SKIPPED, &refused))
        return true;
    reportError(tr("Temporary stored parameter do not fit the updated device; none was written back:\n%1")
                    .arg(refused.join(QLatin1Char('\n'))));
    return false;
}

void CUpdateProcess::aborted()
{
    if (m_loopEnding)
        return;
    // The values read before the update are the user's: a procedure that
    // did not write them back leaves the file where the user can load it.
    if (m_temporaryFile) {
        m_temporaryFile->setAutoRemove(false);
        reportError(tr("The parameters read before the update were not written back; they are kept in '%1'.")
                        .arg(QDir::toNativeSeparators(m_temporaryFile->fileName())));
    }
    if (backend()->isDeviceActive())
        backend()->deactivateDevice();
    endLoop(1);
}

void CUpdateProcess::finished()
{
    endLoop(0);
}

void CUpdateProcess::timeout()
{
    aborted();
}
