#pragma once

#include "paramica_export.h"

#include <QHash>
#include <QList>
#include <QString>

// One element group of a description: a block of data lines (or the bit
// groups of one bitfield), each line with all its attributes.
class PARAMICA_EXPORT CElement
{
public:
    QString name;
    QString text;
    QList<QHash<QString, QString>> lines;
};
