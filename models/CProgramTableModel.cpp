#include "models/CProgramTableModel.h"

#include "items/CItem.h"

#include <QRegularExpression>

const QString CProgramTableModel::DVX_ATTRIBUTE_NAME = QStringLiteral("name");
const QString CProgramTableModel::DVX_ATTRIBUTE_DEFAULT = QStringLiteral("Default");
const QString CProgramTableModel::DVX_ATTRIBUTE_DATATYPE = QStringLiteral("Datatype");
const QString CProgramTableModel::DVX_ATTRIBUTE_TEXT = QStringLiteral("Text");
const QString CProgramTableModel::DVX_ATTRIBUTE_LIST = QStringLiteral("List");
const QString CProgramTableModel::DVX_ATTRIBUTE_MIN = QStringLiteral("Min");
const QString CProgramTableModel::DVX_ATTRIBUTE_MAX = QStringLiteral("Max");
const QString CProgramTableModel::DVX_ATTRIBUTE_DIVIDER = QStringLiteral("Divider");
const QString CProgramTableModel::MODEL_FC_RD_ATTRIBUTE = QStringLiteral("FC_RD");
const QString CProgramTableModel::MODEL_FC_WR_ATTRIBUTE = QStringLiteral("FC_WR");
const QString CProgramTableModel::MODEL_ADDRESS_ATTRIBUTE = QStringLiteral("Address_RW");
const QString CProgramTableModel::MODEL_ROW_ATTRIBUTE = QStringLiteral("Rows");
const QString CProgramTableModel::MODEL_COLUMN_ATTRIBUTE = QStringLiteral("Column");

namespace {
bool isTimeType(int type)
{
    return type == CItem::TYPE_CHAR_TIME15_T || type == CItem::TYPE_SHORT_TIME15_T
        || type == CItem::TYPE_LONG_TIME15_T;
}
}

CProgramTableModel::CProgramTableModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void CProgramTableModel::setup(const QString& name, const QList<CDeviceDescription::FeatureValue>& lines)
{
    // Rows and columns come in any order and a later "Rows" line replaces
    // the row names: the views take the built table as a whole.
    beginResetModel();
    setObjectName(name);
    m_name = name;
    for (const auto& line : lines) {
        QHash<QString, QString> attributes;
        for (auto it = line.constBegin(); it != line.constEnd(); ++it)
            attributes.insert(it->first, it->second);
        const QString lineName = attributes.value(DVX_ATTRIBUTE_NAME);
        const QString defaultText = attributes.value(DVX_ATTRIBUTE_DEFAULT);
        if (lineName == MODEL_FC_RD_ATTRIBUTE)
            m_fcRead = defaultText.toInt();
        else if (lineName == MODEL_FC_WR_ATTRIBUTE)
            m_fcWrite = defaultText.toInt();
        else if (lineName == MODEL_ADDRESS_ATTRIBUTE)
            m_address = defaultText.toInt();
        else if (lineName == MODEL_ROW_ATTRIBUTE)
            m_rowNames = defaultText.split(QLatin1Char(','), Qt::KeepEmptyParts);
        else if (lineName.startsWith(MODEL_COLUMN_ATTRIBUTE))
            addColumn(attributes);
    }
    endResetModel();
}

void CProgramTableModel::addColumn(const QHash<QString, QString>& attributes)
{
    const int column = m_columnCaptions.size();
    const QString lineName = attributes.value(DVX_ATTRIBUTE_NAME);
    for (int row = 0; row < m_rowNames.size(); ++row) {
        auto* item = new CItem(this);
        item->setObjectName(QStringLiteral("Row%1_%2").arg(row + 1).arg(lineName));
        item->setCaption(attributes.value(DVX_ATTRIBUTE_TEXT));
        item->setId((m_columnCaptions.size() + 1) * row);
        item->setType(CItem::dataTypeFromText(attributes.value(DVX_ATTRIBUTE_DATATYPE)));
        if (item->type() == CItem::TYPE_LIST16_T) {
            item->setTextList(attributes.value(DVX_ATTRIBUTE_LIST));
        } else {
            const QString divider = attributes.value(DVX_ATTRIBUTE_DIVIDER);
            const double factor = divider.toFloat();
            item->setDecimalFactor(factor != 0.0 ? factor : 1.0);
            item->setPrecision(CItem::precisionFromDivider(divider));
            item->setRange(attributes.value(DVX_ATTRIBUTE_MIN).toFloat(), attributes.value(DVX_ATTRIBUTE_MAX).toFloat());
            item->setSpecialValueText(QStringLiteral("--:--"));
        }
        item->setDefaultValue(attributes.value(DVX_ATTRIBUTE_DEFAULT).toFloat());
        connect(item, &CItem::valueChanged, this, &CProgramTableModel::itemValueChanged);
        m_items.insert(qMakePair(row, column), item);
    }
    const QString reference = columnRefFromString(lineName);
    if (!reference.isEmpty() && !m_columnRefs.contains(reference))
        m_columnRefs.append(reference);
    m_columnCaptions.append(attributes.value(DVX_ATTRIBUTE_TEXT));
}

QString CProgramTableModel::columnRefFromString(const QString& name)
{
    static const QRegularExpression digits(QStringLiteral("[0-9]"));
    QString rest = name;
    rest.remove(digits);
    const QStringList parts = rest.split(QLatin1Char('_'));
    return parts.size() > 1 ? parts.last() : QString();
}

void CProgramTableModel::setupTranslationTexts(const QHash<QString, QHash<QString, QString>>& texts)
{
    m_translations = texts;
    for (CItem* item : qAsConst(m_items))
        item->setupTranslations(texts);
}

void CProgramTableModel::updateTranslation(const QString& languageId)
{
    for (CItem* item : qAsConst(m_items))
        item->setLanguageId(languageId);
    // The headers are translated with the cells.
    if (rowCount() > 0 && columnCount() > 0) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
        emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
        emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
    }
}

CItem* CProgramTableModel::itemAt(const QModelIndex& index) const
{
    return index.isValid() ? m_items.value(qMakePair(index.row(), index.column())) : nullptr;
}

QList<CItem*> CProgramTableModel::deviceOrder() const
{
    QList<CItem*> cells;
    for (const QString& reference : m_columnRefs) {
        for (int row = 0; row < m_rowNames.size(); ++row) {
            for (int column = 0; column < m_columnCaptions.size(); ++column) {
                CItem* item = m_items.value(qMakePair(row, column));
                if (item && item->objectName().contains(reference))
                    cells.append(item);
            }
        }
    }
    return cells;
}

int CProgramTableModel::totalLength() const
{
    int length = 0;
    for (const CItem* item : m_items)
        length += item->dataLength();
    return length;
}

QByteArray CProgramTableModel::buildRequestData() const
{
    QByteArray data;
    for (const CItem* item : deviceOrder())
        data.append(item->data());
    return data;
}

void CProgramTableModel::decodeData(QByteArray answer)
{
    // The views hear of the whole answer once, not of every cell.
    bool decoded = false;
    m_decoding = true;
    for (CItem* item : deviceOrder()) {
        const int length = item->dataLength();
        if (length > answer.size())
            continue;
        item->setData(answer.left(length));
        answer.remove(0, length);
        decoded = true;
    }
    m_decoding = false;
    if (decoded)
        itemValueChanged();
}

CRequest CProgramTableModel::readData() const
{
    CRequest request(REQUEST_READ_PROGRAM, 0);
    if (m_fcRead >= 0)
        request.functionCode = quint8(m_fcRead);
    if (m_address >= 0)
        request.readAddress = quint16(m_address);
    request.readLength = quint16(totalLength());
    return request;
}

CRequest CProgramTableModel::writeData() const
{
    CRequest request(REQUEST_WRITE_PROGRAM, 0);
    if (m_fcWrite >= 0)
        request.functionCode = quint8(m_fcWrite);
    if (m_address >= 0)
        request.writeAddress = quint16(m_address);
    request.writeLength = quint16(totalLength());
    request.data = buildRequestData();
    return request;
}

int CProgramTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rowNames.size();
}

int CProgramTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_columnCaptions.size();
}

QVariant CProgramTableModel::data(const QModelIndex& index, int role) const
{
    const CItem* item = itemAt(index);
    if (!item)
        return QVariant();
    switch (role) {
    case Qt::ToolTipRole:
        return isTimeType(item->type()) ? tr("Settings range min: 00:00\nSettings range max: 24:00") : QString();
    case Qt::TextAlignmentRole:
        return int(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::DisplayRole: {
        const double value = item->value().toDouble();
        if (isTimeType(item->type()) && !item->specialValueText().isEmpty()
            && (value < item->minimum() || value > item->maximum()))
            return item->specialValueText();
        return QStringLiteral("%1 %2").arg(item->toValueString(), item->unit());
    }
    default:
        return QVariant();
    }
}

QVariant CProgramTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    const QStringList& texts = orientation == Qt::Horizontal ? m_columnCaptions : m_rowNames;
    if (section < 0 || section >= texts.size())
        return QStringLiteral("?");
    const QString text = texts.at(section);
    const QString language = m_items.isEmpty() ? QString() : m_items.first()->languageId();
    return m_translations.value(language).value(text, text);
}

Qt::ItemFlags CProgramTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
}

bool CProgramTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    CItem* item = itemAt(index);
    if (!item || role != Qt::EditRole)
        return false;
    const QString text = value.toString().trimmed();
    const QVariant deviceValue = item->valueFromString(text);
    if (!deviceValue.isValid()) {
        emit inputRefused(tr("'%1' is not a valid value for %2 of %3.")
                              .arg(text, item->caption(), m_rowNames.value(index.row())));
        return false;
    }
    item->setValue(deviceValue);
    emit dataChanged(index, index);
    return true;
}

void CProgramTableModel::itemValueChanged()
{
    // Views repaint everything on a range change.
    if (!m_decoding && rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}
