// libFuzzer target: any bytes as the device value of any data type (the first
// byte chooses the type). A decoded value must encode to the type's width and
// decode to itself again; numbers must come back byte for byte. The display
// text of the value and its reading back must not fault either.

#include "items/CItem.h"

#include <QCoreApplication>

#include <cmath>
#include <cstdlib>

namespace {
const int FIRST_VALUE_TYPE = CItem::TYPE_TEXT16_T;
const int LAST_VALUE_TYPE = CItem::TYPE_BUILD_DATE;

bool isNaN(const QVariant& value)
{
    return value.userType() == QMetaType::Float && std::isnan(value.toFloat());
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    new QCoreApplication(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const auto type = CItem::ENUM_DATA_TYPES(FIRST_VALUE_TYPE + data[0] % (LAST_VALUE_TYPE - FIRST_VALUE_TYPE + 1));
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), int(size - 1));
    const QVariant value = CItem::valueFromByteArray(bytes, type);
    if (!value.isValid())
        return 0; // the bit type has no bytes of its own
    const int width = CItem::typeLength(type);
    const QByteArray encoded = CItem::valueToByteArray(value, type);
    if (encoded.size() != width)
        std::abort();
    const QVariant again = CItem::valueFromByteArray(encoded, type);
    if (CItem::valueToByteArray(again, type) != encoded)
        std::abort();
    const bool number = width <= 4 && type != CItem::TYPE_DATETIME;
    if (number && bytes.size() >= width && !isNaN(value) && encoded != bytes.left(width))
        std::abort();

    CItem item;
    item.setType(type);
    item.setDecimalFactor(data[0] & 0x80 ? 10.0 : 1.0);
    item.setPrecision(data[0] & 0x40 ? 1.0 : 0.0);
    item.setData(bytes);
    item.valueFromString(item.toValueString());
    item.canHold(item.value());
    return 0;
}
