#pragma once

#include "backend/CMessageSender.h"
#include "files/CDataPoint.h"
#include "paramica_export.h"

#include <QByteArray>
#include <QList>
#include <QString>

class CTreeModel;
class QEventLoop;
class QTemporaryFile;
class QTimer;

// A firmware update that keeps the device's parameters: reads them into a
// temporary parameter file, runs the update, identifies the device again and
// writes them back. Lives for one procedure, which start() runs to its end:
// 0 success, 1 aborted, refused or timed out.
class PARAMICA_EXPORT CUpdateProcess : public CMessageSender
{
    Q_OBJECT

public:
    explicit CUpdateProcess(QObject* parent = nullptr);
    ~CUpdateProcess() override;

    int start(const QString& fileName, bool isBootLoader, bool withChecks);
    int exec();
    void startUpdate();
    void restartDevice();

private slots:
    void started();
    void aborted();
    void finished();
    void timeout();
    void saveTemporaryParameter();
    void loadTemporaryParameter();
    void updateProgress(int step);
    void updateFinished(int result);
    void continueAfterScan();

private:
    // Refuses, before anything reaches the device, an image that is damaged
    // or meant for another device.
    bool isFirmwareFileAccepted();
    // Counts one answered block of the parameter read; the file is saved once
    // every block has been read.
    void parameterBlockRead();
    // The stored values the device's items take, all checked before the first
    // is set; false (and the user told) when one of them cannot be held.
    bool restoreParameters(CTreeModel* parameter, const QList<CDataPoint>& data);
    void endLoop(int code);
    void reportError(const QString& text);

    QEventLoop* m_loop = nullptr;
    QTimer* m_watchdog = nullptr;
    QTemporaryFile* m_temporaryFile = nullptr;
    QString m_fileName;
    bool m_isBootLoader = false;
    bool m_withChecks = true;
    // Parameter blocks asked for and not yet answered.
    int m_pendingBlocks = 0;
    bool m_loopEnding = false;
};
