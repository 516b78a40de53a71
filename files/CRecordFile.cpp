#include "files/CRecordFile.h"

#include "items/CItem.h"
#include "items/CItemTexts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

namespace {

const QString SEPARATOR = QStringLiteral(";");

// Hours per choice of the interval selector; index 0 and unknown ones mean
// one file per recording. 28 rather than 48 is what the selector has always
// offered.
int intervalHours(int index)
{
    switch (index) {
    case 1: return 2;
    case 2: return 4;
    case 3: return 8;
    case 4: return 12;
    case 5: return 24;
    case 6: return 28;
    default: return 0;
    }
}

} // namespace

CRecordFile::CRecordFile(QObject* parent)
    : CMessageSender(parent)
    , filePath(QDir::homePath())
    , language(QStringLiteral("deutsch"))
{
}

CRecordFile::~CRecordFile()
{
    stop();
}

void CRecordFile::setFilePath(const QString& path)
{
    filePath = path;
}

void CRecordFile::setLanguage(const QString& text)
{
    language = text;
}

void CRecordFile::setHeaderNames(const QList<QPair<QString, QString>>& names)
{
    headerNames = names;
}

void CRecordFile::setDevice(const QString& name, const QString& version)
{
    // The name goes into file names: no characters a file system refuses.
    static const QRegularExpression forbidden(QStringLiteral("[\\*/\\\\!\\|:?<>]"));
    deviceName = name.isEmpty() ? tr("unnamed") : QString(name).replace(forbidden, QStringLiteral("_"));
    deviceVersion = version;
}

void CRecordFile::setFileInterval(int index)
{
    fileIntervalHours = intervalHours(index);
}

bool CRecordFile::start(const QString& fileName)
{
    stop();
    fileStart = currentDateTime();
    const QString name = fileName.isEmpty()
        ? filePath + QStringLiteral("/")
              + QStringLiteral("%1_%2.csv").arg(deviceName, fileStart.toString(QStringLiteral("yyyyMMddhhmmss")))
        : fileName;

    file = new QFile(name);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Text)) {
        emit errorMessage(CAPTION_DATA_RECORDING, tr("Could not create file '%1'!").arg(QDir::toNativeSeparators(name)));
        return false;
    }
    emit logMessage(tr("File created: %1").arg(QDir::toNativeSeparators(name)));

    QTextStream stream(file);
    stream.setCodec("UTF-8");
    stream << QStringLiteral("#;%1;%2 %3;%4;")
                  .arg(QCoreApplication::applicationName(), tr("Version"), QCoreApplication::applicationVersion(),
                       language)
           << '\n';
    stream << QStringLiteral("#;%1;%2;").arg(tr("Date:"), fileStart.toString(CItem::dateTimeFormat(false))) << '\n';
    stream << QStringLiteral("#;%1;%2;").arg(tr("Device:"), deviceName) << '\n';
    stream << QStringLiteral("#;%1;%2;").arg(tr("Process data version:"), deviceVersion) << '\n';
    stream << '\n';
    for (const auto& header : qAsConst(headerNames))
        stream << header.second << SEPARATOR;
    stream << '\n';
    return true;
}

bool CRecordFile::stop()
{
    if (file) {
        if (file->isOpen()) {
            file->close();
            emit logMessage(tr("File closed: %1").arg(QDir::toNativeSeparators(file->fileName())));
        }
        delete file;
        file = nullptr;
    }
    return true;
}

QString CRecordFile::fileName() const
{
    return file && file->isOpen() ? file->fileName() : QString();
}

void CRecordFile::appendData(QHash<QString, QString> data)
{
    if (data.isEmpty() || !file || !file->isOpen())
        return;

    {
        QTextStream stream(file);
        stream.setCodec("UTF-8");
        for (const auto& header : qAsConst(headerNames))
            stream << data.value(header.first) << SEPARATOR;
        stream << '\n';
    }

    // The sample just written stays in the file it belongs to.
    if (fileIntervalHours > 0 && currentDateTime() >= fileStart.addSecs(qint64(fileIntervalHours) * 3600))
        start(QString());
}

QDateTime CRecordFile::currentDateTime() const
{
    return QDateTime::currentDateTime();
}

QHash<QString, QVector<QVariant>> CRecordFile::readRecord(const QString& fileName, QString* error)
{
    QHash<QString, QVector<QVariant>> block;
    QFile input(fileName);
    if (!input.open(QIODevice::ReadOnly | QIODevice::Text)) {
        if (error)
            *error = input.errorString();
        return block;
    }
    const QString timeCaption = QCoreApplication::translate("CItem", CItemTexts::AxisXDataName);
    const QString on = QCoreApplication::translate("CItem", CItemTexts::ItemTextValueOn);
    const QString off = QCoreApplication::translate("CItem", CItemTexts::ItemTextValueOff);
    QTextStream stream(&input);
    stream.setCodec("UTF-8");
    QStringList keys;
    while (!stream.atEnd()) {
        const QString line = stream.readLine();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        QStringList fields = line.split(SEPARATOR);
        fields.removeLast(); // every line ends with the separator
        if (keys.isEmpty()) {
            for (const QString& caption : qAsConst(fields))
                keys.append(caption == timeCaption ? QString::fromLatin1(CItemTexts::AxisXDataName) : caption);
            continue;
        }
        for (int column = 0; column < keys.size(); ++column) {
            const QString text = fields.value(column);
            QVariant value = text;
            bool isNumber = false;
            const double number = QString(text).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&isNumber);
            if (column < fields.size() && keys.at(column) == QLatin1String(CItemTexts::AxisXDataName))
                value = QDateTime::fromString(text, CItem::dateTimeFormat(true));
            else if (isNumber)
                value = number;
            else if (text == on || text == off)
                value = text == on ? 1.0 : 0.0;
            block[keys.at(column)].append(value);
        }
    }
    if (block.isEmpty() && error)
        *error = keys.isEmpty() ? tr("The file holds no caption line.") : tr("The file holds no samples.");
    return block;
}
