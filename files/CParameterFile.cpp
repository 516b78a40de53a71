#include "files/CParameterFile.h"

#include "items/CItem.h"
#include "models/CParamicaModel.h"
#include "models/CTreeModel.h"
#include "xml/CXmlElementReader.h"

#include <QDir>
#include <QDomDocument>
#include <QDomElement>
#include <QFile>
#include <QPageSize>
#include <QPdfWriter>
#include <QPrinter>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <QXmlStreamWriter>

const QString CParameterFile::PARA_FILE_DOC_TEXT = QStringLiteral("PMX_PARA");
const QString CParameterFile::PARA_FILE_VERSION_TEXT = QStringLiteral("PMX_ParameterfileVersion");
const double CParameterFile::PARA_FILE_VERSION_1_0 = 1.0;
const QString CParameterFile::PARA_NAME_DESCRIPTION = QStringLiteral("description");
const QString CParameterFile::PARA_NAME_ENTRIES = QStringLiteral("entries");
const QString CParameterFile::PARA_FILE_TAG_GROUP = QStringLiteral("group");
const QString CParameterFile::PARA_FILE_TAG_VALUE = QStringLiteral("value");
const QString CParameterFile::PARA_FILE_ATTRIBUTE_NAME = QStringLiteral("name");
const QString CParameterFile::PARA_FILE_ATTRIBUTE_PARAMETER = QStringLiteral("Parameter");
const QString CParameterFile::PARA_FILE_ATTRIBUTE_DATA_ID = QStringLiteral("DataId");
const QString CParameterFile::PARA_FILE_ATTRIBUTE_DATATYPE = QStringLiteral("Datatype");
const QString CParameterFile::PARA_FILE_ATTRIBUTE_DEFAULT = QStringLiteral("Default");
const QString CParameterFile::KEY_DEVICE = QStringLiteral("le_device");
const QString CParameterFile::KEY_ORDER_NUMBER = QStringLiteral("le_order_number");
const QString CParameterFile::KEY_SERIAL_NUMBER = QStringLiteral("le_serial_number");
const QString CParameterFile::KEY_VERSION = QStringLiteral("le_version");
const QString CParameterFile::KEY_DEVICE_DESCRIPTION = QStringLiteral("le_device_description");
const QString CParameterFile::KEY_DATE = QStringLiteral("le_date");

namespace {

const int PRINT_RESOLUTION = 300;
// Root, entries, object, group and value: a few levels more are tolerated.
const int MAX_FILE_DEPTH = 16;

// Description keys printed in the header, in print order.
const QStringList PRINTED_KEYS = {
    CParameterFile::KEY_DEVICE,           CParameterFile::KEY_ORDER_NUMBER,         CParameterFile::KEY_SERIAL_NUMBER,
    CParameterFile::KEY_VERSION,          CParameterFile::KEY_DEVICE_DESCRIPTION,   QStringLiteral("le_customer"),
    QStringLiteral("le_customer_street"), QStringLiteral("le_customer_postcode"), QStringLiteral("le_installer"),
    QStringLiteral("le_installer_street"), QStringLiteral("le_installer_postcode"), CParameterFile::KEY_DATE};

// XML 1.0 carries tab, line feed, carriage return and the characters from
// U+0020 on, except lone surrogates, U+FFFE and U+FFFF. Qt's writer drops
// the others without a trace or leaves a file that does not parse.
bool xmlCanCarry(const QString& text)
{
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        const ushort code = c.unicode();
        if ((code < 0x20 && code != '\t' && code != '\n' && code != '\r') || c.isSurrogate() || code == 0xFFFE
            || code == 0xFFFF)
            return false;
    }
    return true;
}

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

void appendItems(QObject* parent, QList<CDataPoint>* data)
{
    for (CItem* item : parent->findChildren<CItem*>(QString(), Qt::FindDirectChildrenOnly)) {
        CDataPoint point;
        point.name = item->objectName();
        point.caption = item->caption();
        point.unit = item->unit();
        point.id = item->id();
        point.type = item->type();
        point.value = item->value();
        point.valueText = item->toValueString();
        point.visible = item->isVisible();
        data->append(point);
        appendItems(item, data);
    }
}

// One element below the entries group, and its children.
void parseEntry(const QDomElement& element, QList<CDataPoint>* data)
{
    if (element.tagName() == CParameterFile::PARA_FILE_TAG_GROUP) {
        if (element.hasAttribute(CParameterFile::PARA_FILE_ATTRIBUTE_NAME)) {
            CDataPoint group;
            group.name = element.attribute(CParameterFile::PARA_FILE_ATTRIBUTE_NAME);
            group.type = CItem::TYPE_GROUP;
            group.id = 0;
            data->append(group);
        }
        for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement())
            parseEntry(child, data);
    } else if (element.tagName() == CParameterFile::PARA_FILE_TAG_VALUE) {
        CDataPoint point;
        point.name = element.attribute(CParameterFile::PARA_FILE_ATTRIBUTE_PARAMETER);
        if (element.hasAttribute(CParameterFile::PARA_FILE_ATTRIBUTE_DATA_ID))
            point.id = element.attribute(CParameterFile::PARA_FILE_ATTRIBUTE_DATA_ID).toInt();
        point.type = CItem::dataTypeFromText(element.attribute(CParameterFile::PARA_FILE_ATTRIBUTE_DATATYPE).toLower());
        point.value = CItem::valueFromFileText(element.attribute(CParameterFile::PARA_FILE_ATTRIBUTE_DEFAULT),
                                               CItem::ENUM_DATA_TYPES(point.type));
        data->append(point);
    }
}

// Opens, parses and reads one source; the outputs stay empty on any failure.
bool load(QIODevice* source, QIODevice::OpenMode mode, QMap<QString, QString>* description, QList<CDataPoint>* data)
{
    description->clear();
    data->clear();
    if (!source->open(mode))
        return false;
    const QByteArray bytes = source->readAll();
    source->close();
    // A file nested far deeper than any parameter file would exhaust the
    // stack of the DOM reader: it is refused before a tree is built.
    CXmlElementReader walk(bytes, MAX_FILE_DEPTH);
    walk.readToEnd();
    if (walk.hasError())
        return false;
    QDomDocument document;
    if (!document.setContent(bytes, false) || document.documentElement().tagName() != CParameterFile::PARA_FILE_DOC_TEXT)
        return false;
    CParameterFile::loadContent(document.documentElement(), description, data);
    return true;
}

} // namespace

QList<CDataPoint> CParameterFile::parameterData(CTreeModel* model)
{
    QList<CDataPoint> data;
    if (model)
        appendItems(model, &data);
    return data;
}

QString CParameterFile::deviceMismatch(const QMap<QString, QString>& file, const QMap<QString, QString>& device)
{
    if (file.value(KEY_DEVICE) == device.value(KEY_DEVICE) && file.value(KEY_ORDER_NUMBER) == device.value(KEY_ORDER_NUMBER))
        return QString();
    return tr("The parameter file belongs to %1 (order number %2), not to the connected %3 (order number %4).")
        .arg(file.value(KEY_DEVICE), file.value(KEY_ORDER_NUMBER), device.value(KEY_DEVICE),
             device.value(KEY_ORDER_NUMBER));
}

QString CParameterFile::parameter(const QString& pattern, CTreeModel* model)
{
    if (!model)
        return QString();
    const QList<QObject*> found = model->findChildren<QObject*>(QRegularExpression(pattern));
    const CItem* item = found.isEmpty() ? nullptr : qobject_cast<const CItem*>(found.first());
    return item ? item->toValueString() : QString();
}

QByteArray CParameterFile::createContent(const QMap<QString, QString>& description, const QList<CDataPoint>& data,
                                         QString* error)
{
    QByteArray content;
    QXmlStreamWriter writer(&content);
    QString refusal;
    // Every text of the file passes here; entry names the description key or record.
    const auto writeAttribute = [&writer, &refusal](const QString& name, const QString& value, const QString& entry) {
        if (refusal.isEmpty() && !xmlCanCarry(value))
            refusal = tr("'%1' holds a character that a parameter file cannot store.").arg(entry);
        writer.writeAttribute(name, value);
    };
    writer.setAutoFormatting(true);
    writer.setAutoFormattingIndent(4);
    writer.writeStartDocument(QStringLiteral("1.0"));
    writer.writeStartElement(PARA_FILE_DOC_TEXT);

    writer.writeStartElement(PARA_FILE_TAG_VALUE);
    writer.writeAttribute(PARA_FILE_ATTRIBUTE_PARAMETER, PARA_FILE_VERSION_TEXT);
    writer.writeAttribute(PARA_FILE_ATTRIBUTE_DEFAULT, QString::number(PARA_FILE_VERSION_1_0));
    writer.writeEndElement();

    writer.writeStartElement(PARA_FILE_TAG_GROUP);
    writer.writeAttribute(PARA_FILE_ATTRIBUTE_NAME, PARA_NAME_DESCRIPTION);
    for (auto it = description.constBegin(); it != description.constEnd(); ++it) {
        writer.writeStartElement(PARA_FILE_TAG_VALUE);
        writeAttribute(PARA_FILE_ATTRIBUTE_PARAMETER, it.key(), it.key());
        writeAttribute(PARA_FILE_ATTRIBUTE_DEFAULT, it.value(), it.key());
        writer.writeEndElement();
    }
    writer.writeEndElement();

    writer.writeStartElement(PARA_FILE_TAG_GROUP);
    writer.writeAttribute(PARA_FILE_ATTRIBUTE_NAME, PARA_NAME_ENTRIES);
    // At most an object group and a group inside it are open at a time.
    bool objectOpen = false;
    bool groupOpen = false;
    for (const CDataPoint& point : data) {
        switch (point.type) {
        case CItem::TYPE_ROOT:
        case CItem::TYPE_BIT:
            break;
        case CItem::TYPE_OBJECT:
            if (groupOpen)
                writer.writeEndElement();
            if (objectOpen)
                writer.writeEndElement();
            groupOpen = false;
            objectOpen = true;
            writer.writeStartElement(PARA_FILE_TAG_GROUP);
            writeAttribute(PARA_FILE_ATTRIBUTE_NAME, point.name, point.name);
            break;
        case CItem::TYPE_GROUP:
            if (groupOpen)
                writer.writeEndElement();
            groupOpen = true;
            writer.writeStartElement(PARA_FILE_TAG_GROUP);
            writeAttribute(PARA_FILE_ATTRIBUTE_NAME, point.name, point.name);
            break;
        default:
            writer.writeStartElement(PARA_FILE_TAG_VALUE);
            writeAttribute(PARA_FILE_ATTRIBUTE_PARAMETER, point.name, point.name);
            writer.writeAttribute(PARA_FILE_ATTRIBUTE_DATA_ID, QString::number(point.id));
            writer.writeAttribute(PARA_FILE_ATTRIBUTE_DATATYPE, CItem::dataTypeToText(point.type));
            writeAttribute(PARA_FILE_ATTRIBUTE_DEFAULT,
                           CItem::valueToFileText(point.value, CItem::ENUM_DATA_TYPES(point.type)), point.name);
            writer.writeEndElement();
            break;
        }
    }
    writer.writeEndDocument();
    if (refusal.isEmpty() && writer.hasError())
        refusal = tr("The parameter file could not be composed.");
    setError(error, refusal);
    return refusal.isEmpty() ? content : QByteArray();
}

bool CParameterFile::saveFile(const QString& fileName, const QMap<QString, QString>& description,
                              const QList<CDataPoint>& data, QString* error)
{
    const QByteArray content = createContent(description, data, error);
    if (content.isEmpty())
        return false;
    // Committed only when complete, so a failed save keeps the earlier file.
    QSaveFile file(fileName);
    if (file.open(QIODevice::WriteOnly | QIODevice::Text) && file.write(content) == content.size() && file.commit())
        return true;
    setError(error, tr("Could not write '%1': %2").arg(QDir::toNativeSeparators(fileName), file.errorString()));
    return false;
}

bool CParameterFile::loadFile(const QString& fileName, QMap<QString, QString>* description, QList<CDataPoint>* data)
{
    QFile file(fileName);
    return load(&file, QIODevice::ReadOnly | QIODevice::Text, description, data);
}

QTemporaryFile* CParameterFile::saveTemporary(const QString& fileTemplate, const QMap<QString, QString>& description,
                                              const QList<CDataPoint>& data, QString* error)
{
    const QByteArray content = createContent(description, data, error);
    if (content.isEmpty())
        return nullptr;
    QScopedPointer<QTemporaryFile> file(new QTemporaryFile(fileTemplate));
    if (!file->open() || file->write(content) != content.size() || !file->flush()) {
        setError(error, tr("Could not write a temporary parameter file: %1").arg(file->errorString()));
        return nullptr;
    }
    file->close();
    return file.take();
}

bool CParameterFile::loadTemporary(QTemporaryFile* file, QMap<QString, QString>* description, QList<CDataPoint>* data)
{
    if (!file) {
        description->clear();
        data->clear();
        return false;
    }
    return load(file, QIODevice::ReadWrite, description, data);
}

void CParameterFile::loadContent(const QDomElement& root, QMap<QString, QString>* description, QList<CDataPoint>* data)
{
    for (QDomElement element = root.firstChildElement(); !element.isNull(); element = element.nextSiblingElement()) {
        if (element.tagName() != PARA_FILE_TAG_GROUP)
            continue; // the version value and anything unknown
        const QString name = element.attribute(PARA_FILE_ATTRIBUTE_NAME);
        if (name == PARA_NAME_DESCRIPTION) {
            for (QDomElement value = element.firstChildElement(PARA_FILE_TAG_VALUE); !value.isNull();
                 value = value.nextSiblingElement(PARA_FILE_TAG_VALUE))
                description->insert(value.attribute(PARA_FILE_ATTRIBUTE_PARAMETER),
                                    value.attribute(PARA_FILE_ATTRIBUTE_DEFAULT));
        } else if (name == PARA_NAME_ENTRIES) {
            for (QDomElement entry = element.firstChildElement(); !entry.isNull(); entry = entry.nextSiblingElement())
                parseEntry(entry, data);
        }
    }
}

QTextDocument* CParameterFile::content(const QMap<QString, QString>& description, const QList<CDataPoint>& data)
{
    auto* document = new QTextDocument();
    QTextCursor cursor(document);

    QTextCharFormat titleFormat;
    titleFormat.setFont(QFont(QStringLiteral("Arial"), 20));
    QTextCharFormat textFormat;
    textFormat.setFont(QFont(QStringLiteral("Arial"), 12));
    QTextCharFormat headerFormat;
    headerFormat.setFont(QFont(QStringLiteral("Arial"), 12, QFont::Bold));

    cursor.insertText(description.value(KEY_DEVICE) + QStringLiteral(" - ") + tr("Parameter"),
                      titleFormat);
    cursor.insertBlock();

    // Values float right of their labels.
    QTextFrameFormat frameFormat;
    frameFormat.setPosition(QTextFrameFormat::FloatRight);
    frameFormat.setWidth(QTextLength(QTextLength::PercentageLength, 70));
    cursor.insertFrame(frameFormat);
    for (const QString& key : PRINTED_KEYS) {
        if (!description.contains(key))
            continue;
        cursor.insertText(description.value(key), textFormat);
        cursor.insertBlock();
    }

    cursor = document->rootFrame()->lastCursorPosition();
    bool customerDone = false;
    bool installerDone = false;
    for (const QString& key : PRINTED_KEYS) {
        if (!description.contains(key))
            continue;
        QString label;
        if (key.contains(QLatin1String("customer"))) {
            label = customerDone ? QString() : tr("Customer:");
            customerDone = true;
        } else if (key.contains(QLatin1String("installer"))) {
            label = installerDone ? QString() : tr("Installer:");
            installerDone = true;
        } else if (key == KEY_DEVICE) {
            label = tr("Device:");
        } else if (key == KEY_ORDER_NUMBER) {
            label = tr("Order number:");
        } else if (key == KEY_SERIAL_NUMBER) {
            label = tr("Serial number:");
        } else if (key == KEY_VERSION) {
            label = tr("Version:");
        } else if (key == KEY_DEVICE_DESCRIPTION) {
            label = tr("Device name:");
        } else {
            label = tr("Date:");
        }
        cursor.insertText(label, textFormat);
        cursor.insertBlock();
    }
    cursor.insertBlock();

    QTextTableFormat tableFormat;
    tableFormat.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    tableFormat.setCellPadding(2);
    tableFormat.setCellSpacing(4);
    tableFormat.setBorder(1);
    tableFormat.setBorderStyle(QTextFrameFormat::BorderStyle_Groove);
    tableFormat.setBorderBrush(QBrush(Qt::black, Qt::SolidPattern));
    QTextTable* table = cursor.insertTable(1, 4, tableFormat);
    const QStringList headers = {tr("Number"), tr("Caption"), tr("Value"), tr("Unit")};
    for (int column = 0; column < headers.size(); ++column)
        table->cellAt(0, column).firstCursorPosition().insertText(headers.at(column), headerFormat);

    QTextTableCellFormat captionFormat;
    captionFormat.setBackground(CParamicaModel::TABLE_CAPTION_COLOR);
    int number = 1;
    for (const CDataPoint& point : data) {
        if (!point.visible || point.type == CItem::TYPE_ROOT)
            continue;
        table->appendRows(1);
        const int row = table->rows() - 1;
        const bool captionRow = point.type == CItem::TYPE_OBJECT || point.type == CItem::TYPE_GROUP;
        if (!captionRow && point.type != CItem::TYPE_BIT)
            table->cellAt(row, 0).firstCursorPosition().insertText(QString::number(number++), textFormat);
        if (captionRow) {
            for (int column = 0; column < 4; ++column)
                table->cellAt(row, column).setFormat(captionFormat);
        }
        table->cellAt(row, 1).firstCursorPosition().insertText(point.caption, textFormat);
        table->cellAt(row, 2).firstCursorPosition().insertText(point.valueText, textFormat);
        table->cellAt(row, 3).firstCursorPosition().insertText(point.unit, textFormat);
    }
    return document;
}

bool CParameterFile::savePdf(const QString& fileName, const QMap<QString, QString>& description,
                             const QList<CDataPoint>& data)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(PRINT_RESOLUTION);
        QScopedPointer<QTextDocument> document(content(description, data));
        document->print(&writer);
    }
    return file.commit(); // fails on any write error
}

bool CParameterFile::printPdf(QPrinter* printer, const QMap<QString, QString>& description,
                              const QList<CDataPoint>& data)
{
    if (!printer)
        return false;
    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setResolution(PRINT_RESOLUTION);
    QScopedPointer<QTextDocument> document(content(description, data));
    document->print(printer);
    return true;
}
