#include "protocol/CFlasher.h"

#include "protocol/CFirmwareImage.h"

#include "protocol/CRC16.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QTimer>

#include <cstring>
#include <utility>

const QString CFlasher::FIRMWARE_PATH = QStringLiteral("/firmware");

namespace {
const QLatin1String VENDOR("VELTA");
const uchar FUNCTION_READ_HOLDING = 0x03;
const uchar FUNCTION_DEVICE_ID = 0x2B;
const uchar FUNCTION_BOOTLOADER = 0x57;
const uchar FUNCTION_WRITE_BLOCK = 0x59;
const quint16 BOOTLOADER_REGISTER = 0x5000;
const quint16 FLASH_CONFIG_REGISTER = 0x5000;
const quint16 FLASH_CONFIG_COUNT = 2;
const quint16 POLL_REGISTER = 0x0200;
const quint16 POLL_COUNT = 3;
const quint16 GOTO_REGISTER_COUNT = 3;
const quint8 GOTO_BYTE_COUNT = 6;
const quint32 GOTO_UNLOCK_VALUE = 0x04C1A93E;
const quint16 COMMAND_BOOTLOADER = 1;
const quint16 COMMAND_APPLICATION = 2;
const int IDENTIFICATION_TIMEOUT_MS = 3000;
const int RESTART_WAIT_MS = 1000;
const int LONG_TIMEOUT_MS = CFlasher::FLASHER_TIMOUT * 1000;
const int BLOCK_STEP_MS = 5;

// Major and minor of a version text "1.05" as one ordered number.
int versionRank(const QString& version)
{
    const int dot = version.indexOf(QLatin1Char('.'));
    return version.left(dot).toInt() * 1000 + version.mid(dot + 1).toInt();
}
}

CFlasher::CFlasher(QObject* parent)
    : CMessageSender(parent)
    , m_timer(new QTimer(this))
{
    qRegisterMetaType<Modbus::UNION_MODBUS_RD_WR>();
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &CFlasher::timeout);
}

CFlasher::CFlasher(const QString& fileName, QObject* parent)
    : CFlasher(parent)
{
    m_fileName = fileName;
}

CFlasher::~CFlasher()
{
    setState(STATE_IDLE);
    endRun(-1);
}

void CFlasher::setDefaultFlashConfig()
{
    m_flashConfig = STRUCT_FLASH_CONFIG();
}

int CFlasher::exec()
{
    const QPointer<CFlasher> alive(this);
    QEventLoop loop;
    m_loop = &loop;
    m_runEnded = false;
    setState(STATE_START);
    const int code = m_runEnded ? m_runResult : loop.exec();
    // The loop runs every event: the master, and this flasher with it, may
    // have been released meanwhile.
    if (alive && m_loop == &loop)
        m_loop = nullptr;
    return code;
}

void CFlasher::exit(int code)
{
    setState(STATE_IDLE);
    endRun(code);
}

void CFlasher::endRun(int code)
{
    m_runResult = code;
    m_runEnded = true;
    if (QEventLoop* loop = std::exchange(m_loop, nullptr))
        loop->exit(code);
}

void CFlasher::finish(int result, int code)
{
    // Whoever hears the result may start the next step at once; this run ends
    // all the same, and only if the flasher still exists.
    const QPointer<CFlasher> alive(this);
    QEventLoop* const loop = m_loop;
    emit updateDone(result);
    if (alive && m_loop == loop)
        endRun(code);
}

void CFlasher::fail(const QString& reason)
{
    const QPointer<CFlasher> alive(this);
    const ENUM_STATES failing = m_state;
    emit logMessage(reason);
    emit warningMessage(CAPTION_FIRMWARE_UPDATE, reason);
    // Whoever read the reason may have stopped the run already.
    if (alive && m_state == failing)
        setState(STATE_ERROR);
}

void CFlasher::setState(CFlasher::ENUM_STATES state)
{
    if (state != m_state) {
        m_state = state;
        m_timer->stop();
    }
    switch (state) {
    case STATE_IDLE:
        break;
    case STATE_ABORTED:
        finish(2, 0);
        break;
    case STATE_START:
        m_retryCount = 0;
        if (m_fileName.isEmpty())
            fail(tr("No firmware file given!"));
        else
            setState(STATE_READ_DID);
        break;
    case STATE_READ_DID:
    case STATE_CHECK_BOOTLOADER:
    case STATE_CHECK_APPLICATION:
        sendIdentificationRequest();
        m_timer->start(IDENTIFICATION_TIMEOUT_MS);
        break;
    case STATE_GOTO_BOOTLOADER:
        sendBootLoaderCommand(COMMAND_BOOTLOADER);
        m_timer->start(IDENTIFICATION_TIMEOUT_MS);
        break;
    case STATE_WAIT_RESTART:
        m_timer->start(RESTART_WAIT_MS);
        break;
    case STATE_START_FLASH:
        m_retryCount = 0;
        m_offset = 0;
        emit updateStarted();
        // Whoever heard it may have stopped the run.
        if (m_state != STATE_START_FLASH)
            return;
        sendBootLoaderCommand(COMMAND_BOOTLOADER);
        m_timer->start(IDENTIFICATION_TIMEOUT_MS);
        break;
    case STATE_READ_FLASH_CONFIG:
        sendReadRequest(FLASH_CONFIG_REGISTER, FLASH_CONFIG_COUNT);
        m_timer->start(IDENTIFICATION_TIMEOUT_MS);
        break;
    case STATE_NEXT_BLOCK:
        m_retryCount = 0;
        setState(m_offset < m_image.size() ? STATE_WRITE_BLOCK : STATE_START_APPLICATION);
        break;
    case STATE_WRITE_BLOCK: {
        m_blockAnswered = false;
        sendBlock();
        m_timer->start(LONG_TIMEOUT_MS);
        // The offset moves on with the answer: the block being sent counts.
        const qint64 done = (qint64(m_offset) + m_flashConfig.length) * 99 / m_image.size();
        emit updateProgress(int(qMin<qint64>(done, 99)));
        break;
    }
    case STATE_START_APPLICATION:
        sendBootLoaderCommand(COMMAND_APPLICATION);
        m_timer->start(LONG_TIMEOUT_MS);
        break;
    case STATE_DONE:
        emit updateProgress(100);
        if (m_state == STATE_DONE)
            finish(1, 0);
        break;
    case STATE_ERROR:
        finish(0, -1);
        break;
    }
}

void CFlasher::handleResponse(Modbus::UNION_MODBUS_RD_WR userData)
{
    // Only a run waits for answers; a late one must not fail a run that has ended.
    if (!isRunning()) {
        emit logMessage(tr("Firmware update: answer without a running update dropped."));
        return;
    }
    switch (m_state) {
    case STATE_READ_DID: {
        const QStringList identification = handleDidResponse(userData);
        // Anything else is left to the time-out.
        if (identification.size() > 2 && identification.at(0).contains(VENDOR)) {
            m_applicationRunning = !isBootLoader(identification.at(1));
            m_deviceName = adjustDeviceName(identification.at(1));
            startFlash(m_fileName, m_applicationRunning);
        }
        break;
    }
    case STATE_GOTO_BOOTLOADER:
        setState(STATE_WAIT_RESTART);
        break;
    case STATE_CHECK_BOOTLOADER: {
        const QStringList identification = handleDidResponse(userData);
        // Without a product code the answer says nothing: the time-out decides.
        if (identification.size() < 2)
            break;
        if (isBootLoader(identification.at(1)))
            setState(STATE_START_FLASH);
        else
            retryIdentification(STATE_WAIT_RESTART);
        break;
    }
    case STATE_START_FLASH:
        setState(STATE_READ_FLASH_CONFIG);
        break;
    case STATE_READ_FLASH_CONFIG:
        if (handleReadFlashConfigResponse(userData))
            setDefaultFlashConfig();
        if (acceptFlashConfig())
            setState(STATE_NEXT_BLOCK);
        break;
    case STATE_WRITE_BLOCK:
        if (m_blockAnswered)
            break;
        m_blockAnswered = true;
        m_offset += m_flashConfig.length;
        // The state's own timer carries the short pause, so that nothing of it
        // survives a change of state.
        m_timer->start(BLOCK_STEP_MS);
        break;
    case STATE_START_APPLICATION:
        // The application needs its time to start; the time-out moves on.
        break;
    case STATE_CHECK_APPLICATION:
        checkApplication(handleDidResponse(userData));
        break;
    default:
        fail(tr("Unexpected answer from the device!"));
        break;
    }
}

void CFlasher::checkApplication(const QStringList& identification)
{
    if (identification.size() < 2)
        return;
    const QString productCode = identification.at(1);
    if (isBootLoader(productCode))
        fail(tr("The device is still in its boot loader after the update (%1)!").arg(productCode));
    else if (m_withChecks && !productCode.startsWith(m_deviceName))
        fail(tr("The device reports '%1' after the update, expected '%2'!").arg(productCode, m_deviceName));
    else
        setState(STATE_DONE);
}

void CFlasher::timeout()
{
    if (!isRunning())
        return;
    switch (m_state) {
    case STATE_READ_DID:
    case STATE_CHECK_BOOTLOADER:
    case STATE_CHECK_APPLICATION:
        retryIdentification(m_state);
        break;
    case STATE_GOTO_BOOTLOADER:
        // The device may restart before it answers.
        setState(STATE_WAIT_RESTART);
        break;
    case STATE_WAIT_RESTART:
        setState(STATE_CHECK_BOOTLOADER);
        break;
    case STATE_START_FLASH:
        if (++m_retryCount >= MAX_RETRY_COUNT) {
            fail(tr("The boot loader did not accept the start of the transfer!"));
            return;
        }
        sendReadRequest(POLL_REGISTER, POLL_COUNT);
        m_timer->start(IDENTIFICATION_TIMEOUT_MS);
        break;
    case STATE_READ_FLASH_CONFIG:
        setDefaultFlashConfig();
        if (acceptFlashConfig())
            setState(STATE_NEXT_BLOCK);
        break;
    case STATE_WRITE_BLOCK:
        if (m_blockAnswered)
            setState(STATE_NEXT_BLOCK);
        else
            fail(tr("The device did not confirm the block at offset %1!").arg(m_offset));
        break;
    case STATE_START_APPLICATION:
        setState(STATE_CHECK_APPLICATION);
        break;
    default:
        fail(tr("Firmware update: time-out without a step to wait for!"));
        break;
    }
}

void CFlasher::retryIdentification(ENUM_STATES next)
{
    if (++m_retryCount < MAX_RETRY_COUNT) {
        setState(next);
        return;
    }
    switch (m_state) {
    case STATE_READ_DID:
        fail(tr("The device did not identify itself!"));
        break;
    case STATE_CHECK_BOOTLOADER:
        fail(tr("The device did not start its boot loader!"));
        break;
    default:
        fail(tr("The application did not answer after the update!"));
        break;
    }
}

bool CFlasher::startFlash(const QString& fileName, bool applicationRunning)
{
    QString reason;
    const CFirmwareImage image = CFirmwareImage::read(fileName, &reason);
    if (image.isEmpty()) {
        fail(reason);
        return false;
    }
    const quint32 deviceNumber = image.deviceNumber();
    // A device number of 0 is what an unreadable product code gives.
    if (m_withChecks && (deviceNumber == 0 || QString::number(deviceNumber) != m_deviceName)) {
        fail(tr("Firmware file '%1' is for device %2, the connected device is %3!")
                 .arg(fileName)
                 .arg(deviceNumber)
                 .arg(m_deviceName));
        return false;
    }
    m_image = image.bytes();
    setState(applicationRunning ? STATE_GOTO_BOOTLOADER : STATE_START_FLASH);
    return true;
}

bool CFlasher::handleReadFlashConfigResponse(const Modbus::UNION_MODBUS_RD_WR& data)
{
    if (data.raw[0] != 4)
        return true;
    m_flashConfig.addressMode = Modbus::word(data, 1);
    m_flashConfig.length = Modbus::word(data, 3);
    return false;
}

bool CFlasher::acceptFlashConfig()
{
    const int length = m_flashConfig.length;
    if (length < 1 || length > MAX_BLOCK_LENGTH) {
        fail(tr("The device asks for flash blocks of %1 bytes; one telegram carries 1 to %2!")
                 .arg(length)
                 .arg(MAX_BLOCK_LENGTH));
        return false;
    }
    // Block addresses are 16 bits: a larger image would overwrite its own beginning.
    const int lastOffset = (m_image.size() - 1) / length * length;
    if (calculateNextAddress(m_flashConfig, lastOffset) > 0xFFFF) {
        fail(tr("The image of %1 bytes needs block addresses beyond 0xFFFF!").arg(m_image.size()));
        return false;
    }
    return true;
}

void CFlasher::sendIdentificationRequest()
{
    Modbus::UNION_MODBUS_RD_WR data;
    std::memset(data.raw, 0, sizeof(data.raw));
    data.raw[0] = 0x0E;
    data.raw[1] = 0x01;
    data.raw[2] = 0x00;
    emit buildTelegram(FUNCTION_DEVICE_ID, 3, data);
}

void CFlasher::setBootLoaderCommand(Modbus::UNION_MODBUS_RD_WR& data, quint16 startRegister, quint16 command)
{
    Modbus::setWord(data, 0, startRegister);
    Modbus::setWord(data, 2, GOTO_REGISTER_COUNT);
    data.raw[4] = GOTO_BYTE_COUNT;
    Modbus::setLong(data, 5, GOTO_UNLOCK_VALUE);
    Modbus::setWord(data, 9, command);
}

void CFlasher::sendBootLoaderCommand(quint16 command)
{
    Modbus::UNION_MODBUS_RD_WR data;
    std::memset(data.raw, 0, sizeof(data.raw));
    setBootLoaderCommand(data, BOOTLOADER_REGISTER, command);
    emit buildTelegram(FUNCTION_BOOTLOADER, 11, data);
}

void CFlasher::sendReadRequest(quint16 startRegister, quint16 count)
{
    Modbus::UNION_MODBUS_RD_WR data;
    std::memset(data.raw, 0, sizeof(data.raw));
    Modbus::setWord(data, 0, startRegister);
    Modbus::setWord(data, 2, count);
    emit buildTelegram(FUNCTION_READ_HOLDING, 4, data);
}

void CFlasher::sendBlock()
{
    const QByteArray block = m_image.mid(m_offset, m_flashConfig.length);
    Modbus::UNION_MODBUS_RD_WR data;
    std::memset(data.raw, 0, sizeof(data.raw));
    Modbus::setWord(data, 0, quint16(calculateNextAddress(m_flashConfig, m_offset)));
    Modbus::setWord(data, 2, quint16(block.size() / 2));
    data.raw[4] = quint8(block.size());
    std::memcpy(data.raw + 5, block.constData(), size_t(block.size()));
    emit buildTelegram(FUNCTION_WRITE_BLOCK, uint(block.size() + 5), data);
}

bool CFlasher::isBootLoader(const QString& productCode)
{
    return productCode.startsWith(QLatin1String("BL-"));
}

bool CFlasher::isHexValue(const QString& text)
{
    return text.startsWith(QLatin1String("0x"));
}

QString CFlasher::adjustDeviceName(const QString& productCode)
{
    QString name = productCode;
    if (isBootLoader(name))
        name.remove(0, 3);
    if (!isHexValue(name))
        return name;
    bool ok = false;
    const qulonglong number = name.mid(2).toULongLong(&ok, 16);
    return ok ? QString::number(number) : QStringLiteral("0");
}

bool CFlasher::compareStrings(QString pattern, QString text)
{
    pattern.replace(QLatin1String("[xX]"), QLatin1String("."));
    return QRegularExpression(pattern).match(text).hasMatch();
}

int CFlasher::calculateNextAddress(const STRUCT_FLASH_CONFIG& config, int offset)
{
    if (config.addressMode == 1)
        return config.length ? offset / config.length : 0;
    return offset / 2;
}

QStringList CFlasher::handleDidResponse(const Modbus::UNION_MODBUS_RD_WR& data, int byteCount)
{
    QStringList values;
    const int limit = qMin(byteCount, int(sizeof(data.raw)));
    if (limit < 6)
        return values;
    const int objects = data.raw[5];
    int position = 6;
    for (int i = 0; i < objects && position + 2 <= limit; ++i) {
        const int length = data.raw[position + 1];
        position += 2;
        if (position + length > limit)
            break;
        values.append(QString::fromLatin1(reinterpret_cast<const char*>(data.raw + position), length));
        position += length;
    }
    return values;
}

bool CFlasher::isFirmwareFileValid(const QStringList& patterns, const QString& fileName, QString* version)
{
    const CFirmwareImage image = CFirmwareImage::read(fileName, nullptr);
    if (image.isEmpty())
        return false;
    const QString deviceNumber = QString::number(image.deviceNumber());
    for (const QString& pattern : patterns) {
        // An empty pattern would match every device.
        if (!pattern.isEmpty() && compareStrings(pattern, deviceNumber)) {
            if (version)
                *version = image.versionText();
            return true;
        }
    }
    return false;
}

QHash<QString, QString> CFlasher::getFirmwareFiles(const QStringList& patterns, const QString& directory)
{
    QHash<QString, QString> files;
    for (const QFileInfo& entry : QDir(directory).entryInfoList({ QStringLiteral("*.bin") }, QDir::Files, QDir::Name)) {
        QString version;
        if (isFirmwareFileValid(patterns, entry.absoluteFilePath(), &version))
            files.insert(entry.absoluteFilePath(), version);
    }
    return files;
}

QPair<QString, QString> CFlasher::getLatestFirmwareFile(const QStringList& patterns, const QString& directory)
{
    QPair<QString, QString> latest;
    int bestRank = 0;
    for (const QFileInfo& entry : QDir(directory).entryInfoList({ QStringLiteral("*.bin") }, QDir::Files, QDir::Name)) {
        QString version;
        if (!isFirmwareFileValid(patterns, entry.absoluteFilePath(), &version) || versionRank(version) <= bestRank)
            continue;
        bestRank = versionRank(version);
        latest = qMakePair(version, entry.absoluteFilePath());
    }
    return latest;
}
