#pragma once

#include "CCommandGroup.h"

class CCommandLine;

// Raw access to the registers of any Modbus device, described or not.
class CRegisterCommands : public CCommandGroup
{
public:
    explicit CRegisterCommands(CCommandLine& commandLine);

    QString title() const override;
    QList<QCommandLineOption> options() const override;
    QList<Command> commands() override;

private:
    int scan();
    // Asks each unit id of --units at each serial setting and lists those that answer.
    int scanUnits();
    // The identification of the unit now addressed, empty when it does not answer.
    QString identifyUnit(int waitMs);
    int read();
    int write();

    CCommandLine& m_commandLine;
};
