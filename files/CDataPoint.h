#pragma once

#include "paramica_export.h"

#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariant>

// One value of a parameter file: what is kept of an item when its tree is
// saved, printed or carried across a firmware update.
struct PARAMICA_EXPORT CDataPoint
{
    QString name;
    QString caption;
    QString unit;
    qint32 id = -1;
    qint32 type = 0;
    QVariant value;
    QString valueText;
    bool visible = false;
};

Q_DECLARE_METATYPE(CDataPoint)
Q_DECLARE_METATYPE(QList<CDataPoint>)
