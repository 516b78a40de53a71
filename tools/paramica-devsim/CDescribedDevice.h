#pragma once

#include "xml/CElementClass.h"

#include <QList>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CTreeModel;
class CXmlParser;

// The registers of a device-description file: every section of every object
// at its block address with the items' "Default" values, laid out and
// encoded as the library's models cut them, and process values that move.
class CDescribedDevice
{
public:
    CDescribedDevice();
    ~CDescribedDevice();
    CDescribedDevice(const CDescribedDevice&) = delete;
    CDescribedDevice& operator=(const CDescribedDevice&) = delete;

    // Reads the file, sealed or not; on failure returns false with the reason.
    bool load(const std::string& path, std::string& error);

    // Identity of the description, wildcard digits of the order number as 0.
    uint32_t orderNumber() const { return m_orderNumber; }
    int paraVersionHundredths() const { return m_paraVersionHundredths; }

    void writeRegisters(uint16_t* registers) const;
    // Moves the process values on to the present moment.
    void updateProcessValues(uint16_t* registers);

private:
    struct Section {
        CTreeModel* model = nullptr;
        std::string name;
        uint16_t address = 0;
        bool process = false;
    };

    static void writeSection(const Section& section, uint16_t* registers);
    // The description's text defaults, as a device would hold them.
    static void serveTextDefaults(CTreeModel* model, const QList<CElementClass>& classes);

    std::unique_ptr<CXmlParser> m_parser;
    std::vector<std::unique_ptr<CTreeModel>> m_models;
    std::vector<Section> m_sections;
    uint32_t m_orderNumber = 0;
    int m_paraVersionHundredths = 0;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};
