#pragma once

#include "CCommandGroup.h"

#include <QMap>

class CCommandLine;
struct CDataPoint;

// Parameter files (XML and PDF) and records of the process values (CSV).
class CFileCommands : public CCommandGroup
{
public:
    explicit CFileCommands(CCommandLine& commandLine);

    QString title() const override;
    QList<QCommandLineOption> options() const override;
    QList<Command> commands() override;

private:
    typedef bool (*SaveFunction)(const QString&, const QMap<QString, QString>&, const QList<CDataPoint>&);

    int load(const QString& fileName);
    int record(const QString& fileName);
    // Reads the parameters and saves them through the given file writer.
    int saveParameters(const QString& fileName, SaveFunction saveFunction, const QString& failure,
                       const QString& success);
    // The description entries a parameter file keeps of the identified device.
    QMap<QString, QString> fileDescription() const;

    CCommandLine& m_commandLine;
};
