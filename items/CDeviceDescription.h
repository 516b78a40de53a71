#pragma once

#include "paramica_export.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

// Identity of one installed device-description file.
class PARAMICA_EXPORT CDeviceDescription
{
public:
    // feature name -> entry name -> list of value elements (attribute index -> (name, value))
    typedef QHash<int, QPair<QString, QString>> FeatureValue;
    typedef QHash<QString, QHash<QString, QList<FeatureValue>>> FeatureHash;

    QString name;
    QString orderNumber;       // may end in a wildcard part starting with X or x
    QString softwareVersion;
    QString parameterVersion;  // two decimals, "0.00" when the file has no Parameter version line
    QString pabVersion;        // the same for the PabOut object
    FeatureHash features;
    QString fileName;

    void clear();
};

// Sort predicates for choosing among several matching description files.
PARAMICA_EXPORT bool orderNumberLongerThen(const CDeviceDescription& a, const CDeviceDescription& b);
PARAMICA_EXPORT bool paraVersionHigherThen(const CDeviceDescription& a, const CDeviceDescription& b);
