#pragma once

// Ends a fixture's child process: SIGTERM, then SIGKILL when it has not
// ended within graceMs. Nothing happens to one that is not running.

#include <QProcess>

inline void stopProcess(QProcess& process, int graceMs = 3000)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(graceMs)) {
        process.kill();
        process.waitForFinished(3000);
    }
}
