#include "interfaces/nfc/NdefRecordList.h"

#include <QMetaType>

// Under its own name, for the queued connections that carry it.
static const int ndefRecordListMetaTypeId = qRegisterMetaType<NdefRecordList>("NdefRecordList");
