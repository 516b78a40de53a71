#include "backend/CMessageSender.h"

CMessageSender::CMessageSender(QObject* parent)
    : QObject(parent)
{
}
