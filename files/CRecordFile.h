#pragma once

#include "backend/CMessageSender.h"
#include "paramica_export.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>
#include <QVector>

class QFile;

// Writes live samples to semicolon-separated files while a recording runs,
// optionally starting a new file every few hours.
class PARAMICA_EXPORT CRecordFile : public CMessageSender
{
    Q_OBJECT

public:
    explicit CRecordFile(QObject* parent = nullptr);
    ~CRecordFile() override;

    void setFilePath(const QString& path);
    void setLanguage(const QString& language);
    // (key in the sample hash, caption in the caption line), in column order.
    void setHeaderNames(const QList<QPair<QString, QString>>& names);
    void setDevice(const QString& name, const QString& version);
    void setFileInterval(int index);

    // An empty name generates one from the device name and the start time.
    bool start(const QString& fileName);
    bool stop();
    QString fileName() const;

    // A recorded file read back as a block for CChartModel::insertRecord:
    // each caption with its column, the time column under "Time of day"
    // whatever language it was recorded in, times as date-times and numbers
    // as doubles (other texts stay texts). Empty, with the reason, when the
    // file cannot be read or holds no caption line.
    static QHash<QString, QVector<QVariant>> readRecord(const QString& fileName, QString* error = nullptr);

public slots:
    void appendData(QHash<QString, QString> data);

protected:
    // The clock of file starts, generated names and rotation.
    virtual QDateTime currentDateTime() const;

private:
    QFile* file = nullptr;
    QList<QPair<QString, QString>> headerNames;
    qint32 fileIntervalHours = 0;
    QDateTime fileStart;
    QString filePath;
    QString deviceName;
    QString deviceVersion;
    QString language;
};
