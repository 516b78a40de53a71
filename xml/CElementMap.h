#pragma once

#include "paramica_export.h"
#include "xml/CElement.h"
#include "xml/CElementClass.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

// One object (model section) of a description file.
class PARAMICA_EXPORT CElementMap
{
public:
    QList<QPair<QString, QString>> features; // (name, Default) of the object
    QList<CElementClass> classes;
    QList<QHash<QString, QString>> lists;    // one attribute hash per text list
    QList<CElement> bitfields;               // one element per bitfield
};
