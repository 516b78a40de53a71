#include "models/CParamicaModel.h"

#include <cmath>

const QColor CParamicaModel::TABLE_CAPTION_COLOR = QColor(228, 228, 228);

namespace {
const QString PARAMETER = QStringLiteral("Parameter");
const QString LIST = QStringLiteral("List");
const QString DEFAULT = QStringLiteral("Default");
const QString VISIBILITY = QStringLiteral("Visibility");
const QString TEXT = QStringLiteral("Text");
}

void CParamicaModel::setupListEntries(const QList<QHash<QString, QString>>& entries)
{
    m_listEntries = entries;
}

void CParamicaModel::setupBitfieldEntries(const QList<CElement>& entries)
{
    m_bitfieldEntries = entries;
}

QString CParamicaModel::listEntry(const QString& name) const
{
    for (const auto& entry : m_listEntries) {
        if (name.contains(entry.value(PARAMETER)))
            return entry.value(LIST);
    }
    return QString();
}

BitfieldDescription CParamicaModel::bitfieldEntries(const QString& name) const
{
    BitfieldDescription result;
    for (const CElement& bitfield : m_bitfieldEntries) {
        if (!name.contains(bitfield.name))
            continue;
        int position = 0;
        for (const auto& line : bitfield.lines) {
            const int width = int(line.value(DEFAULT).toUInt());
            QStringList texts = line.value(LIST).split(QLatin1Char(','), Qt::KeepEmptyParts);
            const double allowed = std::pow(2.0, width);
            while (texts.size() > allowed)
                texts.removeLast();
            CBitDescription bit;
            bit.name = line.value(PARAMETER);
            bit.bitCount = width;
            bit.visible = line.value(VISIBILITY) != QLatin1String("false");
            bit.text = line.value(TEXT);
            bit.list = texts.join(QLatin1Char(','));
            result.insert(position, bit);
            position += width;
        }
        break;
    }
    return result;
}
