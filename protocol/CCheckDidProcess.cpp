#include "protocol/CCheckDidProcess.h"

#include "backend/CDataBackend.h"

#include <QEventLoop>
#include <QTimer>

namespace {
const int START_DELAY_MS = 100;
const int STEP_TIMEOUT_MS = 5000;
const ushort MODE_BOOTLOADER = 1;
const ushort MODE_APPLICATION = 2;
}

CCheckDidProcess::CCheckDidProcess(QObject* parent)
    : QObject(parent)
    , m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &CCheckDidProcess::timeout);
}

CCheckDidProcess::~CCheckDidProcess()
{
    m_timer->stop();
}

int CCheckDidProcess::start()
{
    QTimer::singleShot(START_DELAY_MS, this, &CCheckDidProcess::started);
    return exec();
}

int CCheckDidProcess::exec()
{
    m_timer->start(STEP_TIMEOUT_MS);
    QEventLoop loop;
    m_loop = &loop;
    const int code = loop.exec();
    m_loop = nullptr;
    return code;
}

void CCheckDidProcess::endLoop(int code)
{
    if (m_loopEnding)
        return;
    m_loopEnding = true;
    m_timer->stop();
    // A late answer of the back end reaches no procedure that has ended.
    CDataBackend::instance()->disconnect(this);
    if (m_loop)
        m_loop->exit(code);
}

void CCheckDidProcess::started()
{
    CDataBackend* backend = CDataBackend::instance();
    connect(backend, &CDataBackend::deviceAckResponse, this, &CCheckDidProcess::readDID_BL);
    backend->writeGotoBl(MODE_BOOTLOADER);
}

void CCheckDidProcess::readDID_BL()
{
    CDataBackend* backend = CDataBackend::instance();
    disconnect(backend, &CDataBackend::deviceAckResponse, this, &CCheckDidProcess::readDID_BL);
    connect(backend, &CDataBackend::deviceIdCheck, this, &CCheckDidProcess::writeGotoApp);
    backend->readDid();
    m_timer->start(STEP_TIMEOUT_MS);
}

void CCheckDidProcess::writeGotoApp(QString deviceId, QString version)
{
    CDataBackend* backend = CDataBackend::instance();
    disconnect(backend, &CDataBackend::deviceIdCheck, this, &CCheckDidProcess::writeGotoApp);
    connect(backend, &CDataBackend::deviceAckResponse, this, &CCheckDidProcess::finished);
    m_deviceId = deviceId;
    m_version = version;
    backend->writeGotoBl(MODE_APPLICATION);
    m_timer->start(STEP_TIMEOUT_MS);
}

void CCheckDidProcess::finished()
{
    endLoop(0);
}

void CCheckDidProcess::aborted()
{
    endLoop(1);
}

void CCheckDidProcess::timeout()
{
    aborted();
}
