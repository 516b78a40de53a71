#pragma once

#include "paramica_export.h"
#include "xml/CElement.h"

#include <QList>
#include <QPair>
#include <QString>

// A class group of an object: its element groups and its own features.
class PARAMICA_EXPORT CElementClass
{
public:
    QString name;
    QString text;
    QList<QPair<QString, QString>> features; // (name, Default)
    QList<CElement> elements;
};
