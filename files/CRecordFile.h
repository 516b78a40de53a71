#pragma once

#include "backend/CMessageSender.h"
#include "paramica_export.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

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
