#pragma once

#include "paramica_export.h"

// Fixed captions of the table and chart models. Plain C strings marked for
// translation in the "CItem" context, where they are translated when shown.
class PARAMICA_EXPORT CItemTexts
{
public:
    static const char* const ItemTextDigital;
    static const char* const ItemTextAnalog;
    static const char* const ItemTextAxisRight;
    static const char* const ItemTextAxisLeft;
    static const char* const AxisXDataName;
    static const char* const ItemTextValueOn;
    static const char* const ItemTextValueOff;
    static const char* const ItemTextModelMarkerDiff;
    static const char* const ItemTextModelMarker2;
    static const char* const ItemTextModelMarker1;
    static const char* const ItemTextModelLive;
    static const char* const ItemTextModelAxis;
    static const char* const ItemTextModelColor;
    static const char* const ItemTextModelUnit;
    static const char* const ItemTextModelType;
    static const char* const ItemTextModelValue;
    static const char* const ItemTextModelCaption;
    static const char* const ItemTextModelInfoNumber;
};
