#pragma once

#include "CCommandGroup.h"

#include <QMetaObject>

#include <functional>

class CBluetoothInterface;
class CCommandLine;

// The settings of a Bluetooth LE bridge module itself: radio name, pass key,
// advertising flags and the configuration of its UART.
class CBridgeCommands : public CCommandGroup
{
public:
    explicit CBridgeCommands(CCommandLine& commandLine);

    QString title() const override;
    QList<QCommandLineOption> options() const override;
    QList<Command> commands() override;

private:
    // One setting of the module and how the interface reads and writes it.
    struct Setting {
        QString option;  // the option that writes it
        QString caption; // as printed
        std::function<void(CBluetoothInterface&)> read;
        // Connects to the answer of a read, given as printed; empty when the
        // module did not read the setting.
        std::function<QMetaObject::Connection(CBluetoothInterface&, const std::function<void(const QString&)>&)> readAnswer;
        std::function<void(CBluetoothInterface&, const QString&)> write; // the option's checked text
        std::function<QMetaObject::Connection(CBluetoothInterface&, const std::function<void(bool)>&)> writeAnswer;
    };

    int bridge();
    // Why the option's value cannot be written, or empty.
    QString refusal(const Setting& setting) const;
    // Sends the command and waits until its answer handler has set answered;
    // prints why there was no answer.
    void exchange(const std::function<void()>& send, const bool& answered, const QString& what);
    static QList<Setting> settings();
    static QString uartConfigText(int index);

    CCommandLine& m_commandLine;
};
