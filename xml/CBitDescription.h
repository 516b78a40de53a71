#pragma once

#include "paramica_export.h"

#include <QMap>
#include <QString>

// One bit group of a bitfield item, as the description file lists it.
class PARAMICA_EXPORT CBitDescription
{
public:
    QString name;      // the group's "Parameter" value
    int bitCount = 0;  // number of bits
    bool visible = true;
    QString text;      // caption
    QString list;      // comma-separated state texts
};

// Bit groups of one bitfield keyed by their first bit.
typedef QMap<int, CBitDescription> BitfieldDescription;
