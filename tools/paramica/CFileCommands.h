#pragma once

#include "CCommandGroup.h"

#include <QMap>

#include <functional>

class CCommandLine;
class CTreeModel;
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
    // Writes the description and the parameters; on failure error may say why.
    typedef std::function<bool(const QMap<QString, QString>&, const QList<CDataPoint>&, QString* error)> Writer;

    int load(const QString& fileName);
    int diff(const QString& fileName);
    int edit(const QStringList& arguments);
    // Reads a parameter file (a damaged one before the device is touched),
    // identifies the device and reads its parameters; returns an exit code,
    // printing why when the file belongs to another device.
    int readFileAndDevice(const QString& fileName, QList<CDataPoint>* records, CTreeModel** parameter);
    int record(const QString& fileName);
    // Reads the parameters and saves them through the given file writer.
    int saveParameters(const QString& fileName, const Writer& write, const QString& failure, const QString& success);

    CCommandLine& m_commandLine;
};
