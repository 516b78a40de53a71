#include "CBootLoader.h"

#include "protocol/CFirmwareImage.h"

#include <QSaveFile>
#include <QtEndian>

#include <modbus/modbus.h>

#include <algorithm>
#include <cstdio>

namespace {
const uint8_t FUNCTION_READ_HOLDING = 0x03;
const uint8_t FUNCTION_WRITE_BLOCK = 0x59;
const uint8_t EXCEPTION_FLAG = 0x80;
const uint8_t ERASED = 0xFF;
const int MAX_READ_COUNT = 125;
const int POLL_REGISTERS = 0x0200;
const int POLL_COUNT = 3;
const int FLASH_CONFIG_REGISTERS = 0x5000;
const int FLASH_CONFIG_COUNT = 2;
// Address mode 1 counts blocks; every other mode counts 16-bit words.
const int BLOCK_ADDRESSING = 1;
const int WORD_BYTES = 2;
const char* const REVISION = "V0.91";

bool within(int first, int count, int blockStart, int blockCount)
{
    return first >= blockStart && first + count <= blockStart + blockCount;
}
}

CBootLoader::CBootLoader(const CSimulatorOptions& options, uint32_t deviceNumber)
    : m_options(options)
    , m_deviceNumber(deviceNumber)
    , m_flash(size_t(options.flashSize), ERASED)
    , m_applicationIntact(!options.bootLoader)
{
}

std::array<std::string, 3> CBootLoader::identification() const
{
    char product[16];
    std::snprintf(product, sizeof product, "BL-0x%X", m_deviceNumber);
    return { "VELTA", product, REVISION };
}

void CBootLoader::reset()
{
    m_received = 0;
    m_transferOpen = false;
}

void CBootLoader::startTransfer()
{
    std::fill(m_flash.begin(), m_flash.end(), ERASED);
    m_received = 0;
    m_transferOpen = true;
    m_applicationIntact = false;
}

std::vector<uint8_t> CBootLoader::answer(uint8_t function, const uint8_t* data, size_t length)
{
    if (function == FUNCTION_READ_HOLDING)
        return readRegisters(data, length);
    if (function == FUNCTION_WRITE_BLOCK)
        return writeBlock(data, length);
    return { uint8_t(function | EXCEPTION_FLAG), MODBUS_EXCEPTION_ILLEGAL_FUNCTION };
}

std::vector<uint8_t> CBootLoader::readRegisters(const uint8_t* data, size_t length) const
{
    if (length != 4)
        return { FUNCTION_READ_HOLDING | EXCEPTION_FLAG, MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE };
    const int first = qFromBigEndian<quint16>(data);
    const int count = qFromBigEndian<quint16>(data + 2);
    if (count < 1 || count > MAX_READ_COUNT)
        return { FUNCTION_READ_HOLDING | EXCEPTION_FLAG, MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE };
    if (!within(first, count, POLL_REGISTERS, POLL_COUNT) && !within(first, count, FLASH_CONFIG_REGISTERS, FLASH_CONFIG_COUNT))
        return { FUNCTION_READ_HOLDING | EXCEPTION_FLAG, MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS };
    const uint16_t registers[] = { uint16_t(m_transferOpen), uint16_t(m_received & 0xFFFF), uint16_t(m_received >> 16),
                                   uint16_t(m_options.flashAddressMode), uint16_t(m_options.flashBlockLength) };
    const int index = first >= FLASH_CONFIG_REGISTERS ? first - FLASH_CONFIG_REGISTERS + POLL_COUNT : first - POLL_REGISTERS;
    std::vector<uint8_t> answer{ FUNCTION_READ_HOLDING, uint8_t(count * 2) };
    for (int i = index; i < index + count; ++i) {
        answer.push_back(uint8_t(registers[i] >> 8));
        answer.push_back(uint8_t(registers[i] & 0xFF));
    }
    return answer;
}

std::vector<uint8_t> CBootLoader::writeBlock(const uint8_t* data, size_t length)
{
    // Block address, register count, byte count and the bytes; a block longer
    // than the configured length would overlap the next one.
    const size_t byteCount = length >= 5 ? data[4] : 0;
    if (byteCount == 0 || length != 5 + byteCount || size_t(qFromBigEndian<quint16>(data + 2)) != byteCount / 2
        || byteCount > size_t(m_options.flashBlockLength))
        return { FUNCTION_WRITE_BLOCK | EXCEPTION_FLAG, MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE };
    const size_t unit = m_options.flashAddressMode == BLOCK_ADDRESSING ? size_t(m_options.flashBlockLength) : WORD_BYTES;
    const size_t offset = size_t(qFromBigEndian<quint16>(data)) * unit;
    if (offset + byteCount > m_flash.size())
        return { FUNCTION_WRITE_BLOCK | EXCEPTION_FLAG, MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS };
    std::copy(data + 5, data + 5 + byteCount, m_flash.begin() + long(offset));
    m_received = std::max(m_received, offset + byteCount);
    return { FUNCTION_WRITE_BLOCK, data[0], data[1], data[2], data[3] };
}

bool CBootLoader::startApplication(std::string& newVersion, std::string& defect)
{
    if (!m_transferOpen) {
        if (!m_applicationIntact)
            defect = "no application in flash";
        return m_applicationIntact;
    }
    m_transferOpen = false;
    const CFirmwareImage image(QByteArray(reinterpret_cast<const char*>(m_flash.data()), int(m_received)));
    if (!m_options.flashOutPath.empty())
        writeFlashOut(image);
    defect = image.defect().toStdString();
    if (defect.empty() && image.deviceNumber() != m_deviceNumber)
        defect = "image for device " + std::to_string(image.deviceNumber()) + ", this is device "
            + std::to_string(m_deviceNumber);
    m_applicationIntact = defect.empty();
    if (m_applicationIntact)
        newVersion = image.versionText().toStdString();
    return m_applicationIntact;
}

void CBootLoader::writeFlashOut(const CFirmwareImage& image) const
{
    QSaveFile file(QString::fromStdString(m_options.flashOutPath));
    if (!file.open(QIODevice::WriteOnly) || file.write(image.bytes()) != image.bytes().size() || !file.commit())
        std::fprintf(stderr, "paramica-devsim: cannot write %s: %s\n", m_options.flashOutPath.c_str(),
                     qPrintable(file.errorString()));
}
