#pragma once

#include "paramica_export.h"

#include <QObject>
#include <QString>

// The signals through which every active component reports. A component never
// shows anything itself; the back end passes these on to the front end.
class PARAMICA_EXPORT CMessageSender : public QObject
{
    Q_OBJECT

public:
    explicit CMessageSender(QObject* parent = nullptr);

signals:
    void logMessage(QString);
    void errorMessage(QString caption, QString text);
    void warningMessage(QString caption, QString text);
    void infoMessage(QString caption, QString text);
};
