#pragma once

#include "xml/CXmlParser.h"

#include <QCoreApplication>

// One object of a sealed sample description, as the back end hands it to a
// model: its element classes, lists, bitfields and features.
class CSampleDescription
{
public:
    explicit CSampleDescription(const QString& file = QStringLiteral("TC200_V100.xml"))
    {
        m_valid = m_parser.readFileContent(QCoreApplication::applicationDirPath() + QStringLiteral("/xml/") + file);
    }

    bool isValid() const { return m_valid; }
    const CElementMap* object(const QString& name) const { return m_parser.content().value(name); }

private:
    CXmlParser m_parser;
    bool m_valid = false;
};
