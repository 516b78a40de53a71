#pragma once

#include "CCommandGroup.h"

class CCommandLine;

// The firmware of a device: the images for it, the update through its boot
// loader, and the boot loader's own identification.
class CFirmwareCommands : public CCommandGroup
{
public:
    explicit CFirmwareCommands(CCommandLine& commandLine);

    QString title() const override;
    QList<QCommandLineOption> options() const override;
    QList<Command> commands() override;

private:
    int firmware();
    int update(const QStringList& arguments);
    int bootId();
    // The number the device's firmware images carry, from its identification
    // (the application's product code or the boot loader's); empty when the
    // device does not say.
    QString deviceNumber();
    // The images for that number in the firmware directory beside the program.
    QString firmwareDirectory() const;

    CCommandLine& m_commandLine;
};
