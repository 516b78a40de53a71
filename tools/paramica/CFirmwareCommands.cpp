#include "CFirmwareCommands.h"

#include "CCommandLine.h"

#include "backend/CDataBackend.h"
#include "protocol/CFlasher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {
// The boot-loader identification waits up to 5 s at each of its three steps.
const int IDENTIFICATION_TIMEOUT_MS = 5000;
}

CFirmwareCommands::CFirmwareCommands(CCommandLine& commandLine)
    : m_commandLine(commandLine)
{
}

QString CFirmwareCommands::title() const
{
    return QStringLiteral("Commands on the firmware of a device");
}

QList<QCommandLineOption> CFirmwareCommands::options() const
{
    return {
        { QStringLiteral("no-checks"), QStringLiteral("Update: do not require the device's product code to match.") },
        { QStringLiteral("bootloader"),
          QStringLiteral("Update: the device is in its boot loader already (no parameters to keep).") },
    };
}

QList<CCommandGroup::Command> CFirmwareCommands::commands()
{
    return {
        { QStringLiteral("firmware"), QString(), 0, QStringLiteral("list the firmware images for the device"),
          [this](const QStringList&) { return firmware(); }, true },
        { QStringLiteral("update"), QStringLiteral("[FILE]"), 0,
          QStringLiteral("update the firmware (the newest image without FILE), keep the parameters"),
          [this](const QStringList& arguments) { return update(arguments); }, true },
        { QStringLiteral("bootid"), QString(), 0, QStringLiteral("read the boot loader's identification"),
          [this](const QStringList&) { return bootId(); }, true },
    };
}

QString CFirmwareCommands::firmwareDirectory() const
{
    return QCoreApplication::applicationDirPath() + CFlasher::FIRMWARE_PATH;
}

QString CFirmwareCommands::deviceNumber()
{
    CDataBackend* backend = m_commandLine.backend();
    QString number;
    const QMetaObject::Connection identified =
        QObject::connect(backend, &CDataBackend::deviceIdRead, backend, [this, &number](const QString& productCode) {
            number = CFlasher::adjustDeviceName(productCode);
            m_commandLine.finish(CCommandLine::EXIT_OK);
        });
    backend->readDid();
    m_commandLine.waitForCompletion(CCommandLine::COMMAND_TIMEOUT_MS, true);
    QObject::disconnect(identified);
    if (number.isEmpty())
        CCommandLine::printError(QStringLiteral("The device did not identify itself."));
    return number;
}

int CFirmwareCommands::firmware()
{
    if (!m_commandLine.identifyDevice())
        return m_commandLine.failure();
    const QString number = deviceNumber();
    if (number.isEmpty())
        return CCommandLine::EXIT_DEVICE_ERROR;
    const QStringList patterns = m_commandLine.backend()->getDeviceFlashNames(number);
    const QHash<QString, QString> images = CFlasher::getFirmwareFiles(patterns, firmwareDirectory());
    const QString directory = QDir::toNativeSeparators(firmwareDirectory());
    if (images.isEmpty()) {
        CCommandLine::printError(QStringLiteral("No firmware image for device %1 in %2.").arg(number, directory));
        return CCommandLine::EXIT_FILE_ERROR;
    }
    const QString newest = CFlasher::getLatestFirmwareFile(patterns, firmwareDirectory()).second;
    QStringList files = images.keys();
    std::sort(files.begin(), files.end());
    CCommandLine::printLine(QStringLiteral("Firmware images for device %1 in %2:").arg(number, directory));
    for (const QString& file : qAsConst(files))
        CCommandLine::printLine(QStringLiteral("  %1  %2%3")
                                    .arg(images.value(file), QFileInfo(file).fileName(),
                                         file == newest ? QStringLiteral("  (newest)") : QString()));
    return CCommandLine::EXIT_OK;
}

int CFirmwareCommands::update(const QStringList& arguments)
{
    const bool inBootLoader = m_commandLine.isSet(QStringLiteral("bootloader"));
    if (!arguments.isEmpty() && !QFileInfo(arguments.first()).isFile()) {
        CCommandLine::printError(
            QStringLiteral("No firmware image %1: no such file.").arg(QDir::toNativeSeparators(arguments.first())));
        return CCommandLine::EXIT_FILE_ERROR;
    }
    // A device in its boot loader answers no scan: there is no device to
    // identify and no parameter to keep.
    if (!(inBootLoader ? m_commandLine.connectDevice() : m_commandLine.identifyDevice()))
        return m_commandLine.failure();
    CDataBackend* backend = m_commandLine.backend();
    QString file = arguments.value(0);
    if (file.isEmpty()) {
        const QString number = deviceNumber();
        if (number.isEmpty())
            return CCommandLine::EXIT_DEVICE_ERROR;
        file = CFlasher::getLatestFirmwareFile(backend->getDeviceFlashNames(number), firmwareDirectory()).second;
        if (file.isEmpty()) {
            CCommandLine::printError(QStringLiteral("No firmware image for device %1 in %2.")
                                         .arg(number, QDir::toNativeSeparators(firmwareDirectory())));
            return CCommandLine::EXIT_FILE_ERROR;
        }
    }
    CCommandLine::printLine(QStringLiteral("Updating with %1").arg(QDir::toNativeSeparators(file)));
    const QMetaObject::Connection progress =
        QObject::connect(backend, &CDataBackend::firmwareUpdateProgress, backend, [this](int percent) {
            m_commandLine.showProgress(QStringLiteral("Writing the firmware: %1 %").arg(percent), percent);
        });
    const int result =
        backend->startUpdateFirmware(file, inBootLoader, !m_commandLine.isSet(QStringLiteral("no-checks")));
    QObject::disconnect(progress);
    m_commandLine.endProgress();
    if (result != 0) {
        CCommandLine::printError(QStringLiteral("The firmware update did not complete."));
        return CCommandLine::EXIT_DEVICE_ERROR;
    }
    CCommandLine::printLine(inBootLoader ? QStringLiteral("Firmware updated.")
                                         : QStringLiteral("Firmware updated; the parameters are written back."));
    return CCommandLine::EXIT_OK;
}

int CFirmwareCommands::bootId()
{
    if (!m_commandLine.connectDevice())
        return m_commandLine.failure();
    CDataBackend* backend = m_commandLine.backend();
    const QMetaObject::Connection identified = QObject::connect(
        backend, &CDataBackend::deviceIdRead, backend, [](const QString& productCode, const QString& version) {
            CCommandLine::printLine(QStringLiteral("Boot loader: %1, version %2").arg(productCode, version));
        });
    const int result = backend->startReadDidProcess();
    QObject::disconnect(identified);
    if (result != 0) {
        CCommandLine::printError(
            QStringLiteral("The boot loader did not identify itself within %1 s.").arg(IDENTIFICATION_TIMEOUT_MS / 1000));
        return CCommandLine::EXIT_DEVICE_ERROR;
    }
    return CCommandLine::EXIT_OK;
}
