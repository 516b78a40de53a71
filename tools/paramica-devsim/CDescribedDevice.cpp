#include "CDescribedDevice.h"

#include "items/CGlobals.h"
#include "items/CItem.h"
#include "models/CTreeModel.h"
#include "xml/CXmlParser.h"

#include <QFileInfo>

#include <cmath>

namespace {
const QString ADDRESS_RD = QStringLiteral("Address_RD");
const QString ADDRESS_RW = QStringLiteral("Address_RW");
// Process values swing through their range once a minute, switches every 5 s.
const double SWING_PERIOD_SECONDS = 60.0;
const double SWITCH_PERIOD_SECONDS = 5.0;
const double UNRANGED_SWING = 100.0;
const double PI = 3.14159265358979323846;

bool isNumeric(int type)
{
    return type >= CItem::TYPE_INT16_T && type <= CItem::TYPE_REAL && type != CItem::TYPE_BOOL;
}
}

CDescribedDevice::CDescribedDevice()
    : m_parser(new CXmlParser)
{
}

CDescribedDevice::~CDescribedDevice() = default;

bool CDescribedDevice::load(const std::string& path, std::string& error)
{
    const QString file = QString::fromStdString(path);
    if (!QFileInfo(file).isFile()) {
        error = "no description file " + path;
        return false;
    }
    if (!m_parser->readFileDeviceId(file) || !m_parser->readFileContent(file)) {
        error = path + " is no valid device description";
        return false;
    }
    const CDeviceDescription description = m_parser->deviceDescription();
    QString orderNumber = description.orderNumber;
    orderNumber.replace(QLatin1Char('X'), QLatin1Char('0')).replace(QLatin1Char('x'), QLatin1Char('0'));
    m_orderNumber = orderNumber.toUInt();
    m_paraVersionHundredths = int(std::lround(description.parameterVersion.toDouble() * 100));

    const QMap<QString, CElementMap*> content = m_parser->content();
    for (auto object = content.constBegin(); object != content.constEnd(); ++object) {
        auto model = std::make_unique<CTreeModel>(object.key());
        model->setupListEntries(object.value()->lists);
        model->setupBitfieldEntries(object.value()->bitfields);
        model->setupFeatures(object.value()->features);
        if (model->setupModel(object.value()->classes)) {
            error = path + ": object " + object.key().toStdString() + " has a line of unknown data type";
            return false;
        }
        serveTextDefaults(model.get(), object.value()->classes);
        for (const CItem* item : model->itemsWithFeatures({ ADDRESS_RD, ADDRESS_RW })) {
            Section section;
            section.model = model.get();
            section.name = item->objectName().toStdString();
            section.address = uint16_t(item->feature(item->hasFeature(ADDRESS_RD) ? ADDRESS_RD : ADDRESS_RW).toUInt());
            section.process = object.key().contains(CGlobals::ModelName_Pab);
            m_sections.push_back(section);
        }
        m_models.push_back(std::move(model));
    }
    return true;
}

void CDescribedDevice::serveTextDefaults(CTreeModel* model, const QList<CElementClass>& classes)
{
    // An item takes its default as a number; a device holds the text itself.
    for (const CElementClass& elementClass : classes) {
        for (const CElement& element : elementClass.elements) {
            for (const auto& line : element.lines) {
                CItem* item = model->findChild<CItem*>(element.name + QLatin1Char('_')
                                                       + line.value(CItem::PARA_ATTRIBUTE_PARAMETER));
                const bool text = item && (item->type() == CItem::TYPE_TEXT16_T || item->type() == CItem::TYPE_TEXT8_T
                                           || item->type() == CItem::TYPE_BUILD_DATE);
                if (text && line.contains(CItem::PARA_ATTRIBUTE_DEFAULT))
                    item->setValue(line.value(CItem::PARA_ATTRIBUTE_DEFAULT));
            }
        }
    }
}

void CDescribedDevice::writeSection(const Section& section, uint16_t* registers)
{
    const QByteArray bytes = section.model->modbusData(QString::fromStdString(section.name));
    for (int i = 0; i + 1 < bytes.size(); i += 2)
        registers[uint16_t(section.address + i / 2)] = uint16_t((uchar(bytes[i]) << 8) | uchar(bytes[i + 1]));
}

void CDescribedDevice::writeRegisters(uint16_t* registers) const
{
    for (const Section& section : m_sections)
        writeSection(section, registers);
}

void CDescribedDevice::updateProcessValues(uint16_t* registers)
{
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    for (const Section& section : m_sections) {
        if (!section.process)
            continue;
        const CItem* owner = section.model->findChild<CItem*>(QString::fromStdString(section.name));
        for (CItem* item : owner->findChildren<CItem*>()) {
            const double phase = 2 * PI * seconds / SWING_PERIOD_SECONDS + item->id();
            const double level = 0.5 + 0.5 * std::sin(phase);
            if (item->type() == CItem::TYPE_BOOL) {
                item->setValue(int(seconds / SWITCH_PERIOD_SECONDS + item->id()) % 2);
            } else if (isNumeric(item->type())) {
                const bool ranged = item->maximum() > item->minimum();
                double value = ranged ? item->minimum() + (item->maximum() - item->minimum()) * level
                                      : UNRANGED_SWING * level;
                // Floating-point values are held in display units, the others raw.
                if (item->type() == CItem::TYPE_REAL)
                    item->setValue(value);
                else
                    item->setValue(qRound64(value));
            }
        }
        writeSection(section, registers);
    }
}
