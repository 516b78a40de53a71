#pragma once

#include "backend/CMessageSender.h"
#include "paramica_export.h"

// The log sink: stamps each text with the local date and time and passes it on
// as logMessage; the back end re-emits it to the front end. No file is written.
class PARAMICA_EXPORT CLog : public CMessageSender
{
    Q_OBJECT

public:
    static const QString TIME_STAMP_FORMAT;

    explicit CLog(QObject* parent = nullptr);

public slots:
    void log(QString msg);
};
