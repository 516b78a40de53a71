#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// (record type, payload) of the NDEF records read from a tag, as they travel
// from the reader adapter through the NFC transport to the NFC master.
typedef QList<QPair<QString, QByteArray>> NdefRecordList;
