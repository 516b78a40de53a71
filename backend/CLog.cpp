#include "backend/CLog.h"

#include <QDateTime>

const QString CLog::TIME_STAMP_FORMAT = QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz, ");

CLog::CLog(QObject* parent)
    : CMessageSender(parent)
{
}

void CLog::log(QString msg)
{
    if (msg.isEmpty())
        return;
    emit logMessage(QDateTime::currentDateTime().toString(TIME_STAMP_FORMAT) + msg);
}
