#include "CTagMemory.h"

#include "interfaces/nfc/CNdefMessage.h"
#include "interfaces/nfc/CNfcAdapter.h"
#include "interfaces/nfc/CTlv.h"
#include "items/CGlobals.h"
#include "items/CItem.h"
#include "models/CTreeModel.h"
#include "protocol/CNfcMaster.h"
#include "xml/CXmlParser.h"

#include <QFileInfo>

#include <memory>

namespace {
const QString ADDRESS_RD = QStringLiteral("Address_RD");
const QString ADDRESS_RW = QStringLiteral("Address_RW");
// NFC Forum type 5 capability container: magic number, version 1.0 with
// read and write access, the NDEF area in units of 8 bytes, read multiple
// blocks supported.
const QByteArray CAPABILITY_CONTAINER = QByteArray::fromHex("e1401001");
const int CRC_LENGTH = 2;
}

CTagMemory::CTagMemory()
    : m_bytes(SIZE, '\0')
{
}

CTagMemory::~CTagMemory() = default;

bool CTagMemory::load(const QString& path, QString& error)
{
    if (!QFileInfo(path).isFile()) {
        error = QStringLiteral("no description file %1").arg(path);
        return false;
    }
    CXmlParser parser;
    if (!parser.readFileDeviceId(path) || !parser.readFileContent(path)) {
        error = QStringLiteral("%1 is no valid device description").arg(path);
        return false;
    }
    // Defaults pass through a float, which cannot hold every order number.
    QString orderNumber = parser.deviceDescription().orderNumber;
    orderNumber.replace(QLatin1Char('X'), QLatin1Char('0')).replace(QLatin1Char('x'), QLatin1Char('0'));
    QByteArray deviceInformation;
    const QMap<QString, CElementMap*> content = parser.content();
    for (auto object = content.constBegin(); object != content.constEnd(); ++object) {
        const auto model = std::make_unique<CTreeModel>(object.key());
        model->setupListEntries(object.value()->lists);
        model->setupBitfieldEntries(object.value()->bitfields);
        model->setupFeatures(object.value()->features);
        if (model->setupModel(object.value()->classes)) {
            error = QStringLiteral("%1: object %2 has a line of unknown data type").arg(path, object.key());
            return false;
        }
        for (CItem* item : model->findChildren<CItem*>()) {
            if (item->objectName().contains(CGlobals::Item_Bestellnummer))
                item->setValue(orderNumber.toUInt());
        }
        for (const CItem* item : model->itemsWithFeatures({ ADDRESS_RD, ADDRESS_RW })) {
            const int address = int(item->feature(item->hasFeature(ADDRESS_RD) ? ADDRESS_RD : ADDRESS_RW).toUInt());
            const QByteArray stored = CNfcMaster::add_crc(model->modbusData(item->objectName()));
            if (address < CNfcMaster::maxAddress()) {
                if (!placeRange(item->objectName(), address, stored, error))
                    return false;
            } else if (deviceInformation.isEmpty()) {
                deviceInformation = stored;
            } else {
                error = QStringLiteral("%1: %2 lies beyond tag memory, where only the device-information record is")
                            .arg(path, item->objectName());
                return false;
            }
        }
    }
    if (deviceInformation.isEmpty()) {
        error = QStringLiteral("%1 has no section at 0x0400 or above for the device-information record").arg(path);
        return false;
    }
    const QByteArray area = ndefArea(deviceInformation, error);
    if (area.isEmpty())
        return false;
    m_bytes.replace(0, area.size(), area);
    // The record is the message's last, right before the terminator TLV.
    m_recordPayloadEnd = area.size() - 1;
    return true;
}

bool CTagMemory::placeRange(const QString& name, int address, const QByteArray& stored, QString& error)
{
    const int length = stored.size();
    const int end = address + (length + BLOCK_LENGTH - 1) / BLOCK_LENGTH * BLOCK_LENGTH;
    QString problem;
    if (address % BLOCK_LENGTH != 0)
        problem = QStringLiteral("does not start at a block");
    else if (address < NDEF_AREA_LENGTH)
        problem = QStringLiteral("lies in the NDEF area");
    else if (end > SIZE)
        problem = QStringLiteral("runs past the end of tag memory");
    for (const Range& other : m_ranges) {
        if (problem.isEmpty() && address < other.address + other.length && other.address < end)
            problem = QStringLiteral("overlaps the range at %1").arg(other.address);
    }
    if (!problem.isEmpty()) {
        error = QStringLiteral("%1 at address %2 with %3 bytes and its CRC %4").arg(name).arg(address).arg(length - CRC_LENGTH).arg(problem);
        return false;
    }
    m_bytes.replace(address, end - address, stored.leftJustified(end - address, char(0xFF)));
    m_ranges.push_back({ address, length });
    return true;
}

QByteArray CTagMemory::ndefArea(const QByteArray& deviceInformation, QString& error) const
{
    const CNdefMessage message(CNdefRecord::createExternalRecord(
        CNfcAdapter::MAKER_DOMAIN, CNfcMaster::DEVICE_INFO_RECORD, deviceInformation));
    const QByteArray area = CAPABILITY_CONTAINER + CTlv::createNdefMessageTlv(message).toByteArray()
        + CTlv::createTerminatorTlv().toByteArray();
    if (area.size() > NDEF_AREA_LENGTH) {
        error = QStringLiteral("the device-information record of %1 bytes does not fit the NDEF area")
                    .arg(deviceInformation.size());
        return QByteArray();
    }
    return area;
}

bool CTagMemory::corruptCrc(int address)
{
    int crcEnd = 0;
    if (address >= CNfcMaster::maxAddress()) {
        crcEnd = m_recordPayloadEnd;
    } else {
        for (const Range& range : m_ranges) {
            if (range.address == address)
                crcEnd = range.address + range.length;
        }
    }
    if (crcEnd < CRC_LENGTH)
        return false;
    m_bytes[crcEnd - 1] = char(m_bytes.at(crcEnd - 1) ^ 0x01);
    return true;
}

QByteArray CTagMemory::read(int firstBlock, int count) const
{
    return m_bytes.mid(firstBlock * BLOCK_LENGTH, count * BLOCK_LENGTH);
}

void CTagMemory::write(int block, const QByteArray& data)
{
    m_bytes.replace(block * BLOCK_LENGTH, BLOCK_LENGTH, data.leftJustified(BLOCK_LENGTH, char(0xFF), true));
}
