#include "interfaces/CBaseInterface.h"

CBaseInterface::CBaseInterface(QObject* parent)
    : CMessageSender(parent)
{
}

CBaseInterface::CBaseInterface(ENUM_INTERFACE_TYPE type, QObject* parent)
    : CMessageSender(parent)
    , m_type(type)
{
}
