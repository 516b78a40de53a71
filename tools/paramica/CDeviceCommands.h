#pragma once

#include "CCommandGroup.h"

class CCommandLine;
class CTreeModel;

// The installed descriptions and the models of an identified device.
class CDeviceCommands : public CCommandGroup
{
public:
    explicit CDeviceCommands(CCommandLine& commandLine);

    QString title() const override;
    QList<QCommandLineOption> options() const override;
    QList<Command> commands() override;

private:
    int devices();
    int identify();
    int show(const QStringList& arguments);
    // The parameters of a parameter file in the tree of its description.
    int showFile(const QString& fileName);
    int set(const QStringList& arguments);
    // The model as an indented tree of caption and value lines.
    static void printModel(CTreeModel* model);

    CCommandLine& m_commandLine;
};
