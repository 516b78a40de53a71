#pragma once

#include "CTagSimOptions.h"

#include <QByteArray>

class CTagMemory;

// The tag behind the reader's pseudo-APDUs: its ATR and UID, and the ISO 15693
// block commands of the pass-through command on its memory, faults applied.
class CIso15693Tag
{
public:
    CIso15693Tag(CTagMemory& memory, const CTagSimOptions& options);

    // The contactless-card ATR of an ISO 15693 tag, with its check byte.
    static QByteArray atr();

    // The response APDU to a command APDU; empty when the tag has left the
    // field before it could answer.
    QByteArray answer(const QByteArray& command);

private:
    QByteArray passThrough(const QByteArray& tagCommand);
    // The status word for a command touching these blocks, empty for none.
    QByteArray injectedFault(int firstBlock, int count) const;
    // The tag leaves the field at this command (--remove-at-block).
    bool removedAt(const QByteArray& tagCommand);

    CTagMemory& m_memory;
    const CTagSimOptions& m_options;
    int m_removalBlockTouches = 0;
};
