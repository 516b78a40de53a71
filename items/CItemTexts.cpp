#include "items/CItemTexts.h"

#include <QtGlobal>

const char* const CItemTexts::ItemTextDigital = QT_TRANSLATE_NOOP("CItem", "digital");
const char* const CItemTexts::ItemTextAnalog = QT_TRANSLATE_NOOP("CItem", "analog");
const char* const CItemTexts::ItemTextAxisRight = QT_TRANSLATE_NOOP("CItem", "right");
const char* const CItemTexts::ItemTextAxisLeft = QT_TRANSLATE_NOOP("CItem", "left");
const char* const CItemTexts::AxisXDataName = QT_TRANSLATE_NOOP("CItem", "Time of day");
const char* const CItemTexts::ItemTextValueOn = QT_TRANSLATE_NOOP("CItem", "On");
const char* const CItemTexts::ItemTextValueOff = QT_TRANSLATE_NOOP("CItem", "Off");
const char* const CItemTexts::ItemTextModelMarkerDiff = QT_TRANSLATE_NOOP("CItem", "M2 - M1");
const char* const CItemTexts::ItemTextModelMarker2 = QT_TRANSLATE_NOOP("CItem", "M 2");
const char* const CItemTexts::ItemTextModelMarker1 = QT_TRANSLATE_NOOP("CItem", "M 1");
const char* const CItemTexts::ItemTextModelLive = QT_TRANSLATE_NOOP("CItem", "Live");
const char* const CItemTexts::ItemTextModelAxis = QT_TRANSLATE_NOOP("CItem", "Axis");
const char* const CItemTexts::ItemTextModelColor = QT_TRANSLATE_NOOP("CItem", "Color");
const char* const CItemTexts::ItemTextModelUnit = QT_TRANSLATE_NOOP("CItem", "Unit");
const char* const CItemTexts::ItemTextModelType = QT_TRANSLATE_NOOP("CItem", "Type");
const char* const CItemTexts::ItemTextModelValue = QT_TRANSLATE_NOOP("CItem", "Value");
const char* const CItemTexts::ItemTextModelCaption = QT_TRANSLATE_NOOP("CItem", "Caption");
const char* const CItemTexts::ItemTextModelInfoNumber = QT_TRANSLATE_NOOP("CItem", "Info number");
