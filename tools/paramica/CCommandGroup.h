#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// A group of commands of the command line, such as the raw register commands:
// the table of its commands and the options they take. The help text is made
// from these tables, so a new command touches only its group.
class CCommandGroup
{
public:
    struct Command {
        QString name;
        QString synopsis; // what follows the name on the command line
        int required;     // arguments the command cannot do without
        QString summary;
        // Runs with the arguments after the name; returns the exit code.
        std::function<int(const QStringList& arguments)> run;
        // Speaks Modbus to the device itself: not through a tag's memory nor
        // through a Bluetooth bridge.
        bool wiredOnly = false;
    };

    virtual ~CCommandGroup() = default;

    virtual QString title() const = 0;
    virtual QList<QCommandLineOption> options() const { return {}; }
    virtual QList<Command> commands() = 0;
};
