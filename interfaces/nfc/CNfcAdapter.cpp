#include "interfaces/nfc/CNfcAdapter.h"

const QString CNfcAdapter::MAKER_DOMAIN = QStringLiteral("velta.com");

CNfcAdapter::CNfcAdapter(QObject* parent)
    : CMessageSender(parent)
{
}
