#pragma once

// The emulator's private bus made this test process's system bus, so that
// Qt's Bluetooth classes talk to the emulated BlueZ through their BlueZ D-Bus
// back end. The daemon goes with the object.

#include "paramica-blesim/CPrivateBus.h"

class CPrivateSystemBus : public CPrivateBus
{
public:
    // Must run before the system bus or Qt's Bluetooth classes are first used.
    void becomeSystemBus() const
    {
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address());
        qputenv("BLUETOOTH_FORCE_DBUS_LE_VERSION", "5.66");
    }
};
