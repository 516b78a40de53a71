#include "items/CDeviceDescription.h"

#include "items/CGlobals.h"

void CDeviceDescription::clear()
{
    name = QString();
    orderNumber = QString();
    softwareVersion = QString();
    parameterVersion = QString();
    pabVersion = QString();
    features.clear();
    fileName = QString();
}

bool orderNumberLongerThen(const CDeviceDescription& a, const CDeviceDescription& b)
{
    return CGlobals::orderNumberMask(a.orderNumber).size() > CGlobals::orderNumberMask(b.orderNumber).size();
}

bool paraVersionHigherThen(const CDeviceDescription& a, const CDeviceDescription& b)
{
    // A text that is not a number reads as 0, which toFloat already gives.
    return a.parameterVersion.toFloat() > b.parameterVersion.toFloat();
}
