#pragma once

#include "paramica_export.h"

#include <QObject>
#include <QString>

class QEventLoop;
class QTimer;

// Reads the identification the device's boot loader reports: switches the
// device into its boot loader, identifies it there and switches it back to
// its application. Lives for one procedure, which start() runs to its end:
// 0 with the product code and version read, 1 when a step went unanswered.
class PARAMICA_EXPORT CCheckDidProcess : public QObject
{
    Q_OBJECT

public:
    explicit CCheckDidProcess(QObject* parent = nullptr);
    ~CCheckDidProcess() override;

    int start();
    int exec();
    QString deviceId() const { return m_deviceId; }
    QString version() const { return m_version; }

private slots:
    void started();
    void aborted();
    void finished();
    void timeout();
    void readDID_BL();
    void writeGotoApp(QString deviceId, QString version);

private:
    void endLoop(int code);

    QEventLoop* m_loop = nullptr;
    QTimer* m_timer = nullptr;
    QString m_deviceId;
    QString m_version;
    bool m_loopEnding = false;
};
