#include "interfaces/nfc/CNfcAdapter.h"

const QString CNfcAdapter::MAKER_DOMAIN = QStringLiteral("velta.com");

CNfcAdapter::CNfcAdapter(QObject* parent)
    : CMessageSender(parent)
{
}

int CNfcAdapter::commandBlockCount(const QByteArray& command)
{
    return command.size() > 2 && command.at(0) == READ_MULTIPLE_BLOCKS ? uchar(command.at(2)) + 1 : 1;
}
