#include "CTagPresence.h"

#include "CIso15693Tag.h"

#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// A reader that is not there yet is asked again this often.
const int CONNECT_RETRY_MS = 100;
// Control bytes of the virtual reader's card protocol.
const char CONTROL_POWER_OFF = 0x00;
const char CONTROL_POWER_ON = 0x01;
const char CONTROL_RESET = 0x02;
const char CONTROL_ATR = 0x04;

int connectToReader(const CTagSimOptions& options)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(options.port));
    if (inet_pton(AF_INET, options.host.toLatin1().constData(), &address.sin_addr) != 1)
        return -1;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    const int yes = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    return fd;
}

// Every message is its length, two bytes high first, and its bytes.
bool sendMessage(int fd, const QByteArray& message)
{
    const QByteArray framed = QByteArray(1, char(message.size() >> 8)) + char(message.size() & 0xFF) + message;
    return send(fd, framed.constData(), size_t(framed.size()), 0) == framed.size();
}

// The next complete message of the reader, or empty.
QByteArray takeMessage(QByteArray& pending)
{
    if (pending.size() < 2)
        return QByteArray();
    const int length = (uchar(pending.at(0)) << 8) | uchar(pending.at(1));
    if (pending.size() < 2 + length)
        return QByteArray();
    const QByteArray message = pending.mid(2, length);
    pending.remove(0, 2 + length);
    return message;
}
}

volatile sig_atomic_t CTagPresence::s_stopRequested = 0;
volatile sig_atomic_t CTagPresence::s_toggleRequested = 0;

CTagPresence::CTagPresence(const CTagSimOptions& options, CIso15693Tag& tag)
    : m_options(options)
    , m_tag(tag)
{
}

void CTagPresence::requestStop(int)
{
    s_stopRequested = 1;
}

void CTagPresence::requestToggle(int)
{
    s_toggleRequested = 1;
}

sigset_t CTagPresence::installHandlers()
{
    struct sigaction stop {};
    stop.sa_handler = requestStop;
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGTERM, &stop, nullptr);
    struct sigaction toggle {};
    toggle.sa_handler = requestToggle;
    sigaction(SIGUSR1, &toggle, nullptr);
    signal(SIGPIPE, SIG_IGN);
    sigset_t handled, waitMask;
    sigemptyset(&handled);
    sigaddset(&handled, SIGINT);
    sigaddset(&handled, SIGTERM);
    sigaddset(&handled, SIGUSR1);
    sigprocmask(SIG_BLOCK, &handled, &waitMask);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    sigdelset(&waitMask, SIGUSR1);
    return waitMask;
}

int CTagPresence::run()
{
    const sigset_t waitMask = installHandlers();
    while (!s_stopRequested) {
        if (s_toggleRequested) {
            s_toggleRequested = 0;
            m_present ? remove() : present();
        }
        const Clock::time_point now = Clock::now();
        if (m_returnAt && now >= *m_returnAt)
            present();
        if (m_removeAt && now >= *m_removeAt)
            remove();
        if (m_present && m_fd < 0 && now >= m_nextAttempt)
            enterField();
        // Without a timer to watch, the tag sleeps until the reader speaks.
        const int waitMs = m_fd >= 0 && !m_removeAt && !m_returnAt ? -1 : CONNECT_RETRY_MS;
        const timespec timeout{ waitMs / 1000, (waitMs % 1000) * 1000000L };
        pollfd pfd{ m_fd, POLLIN, 0 };
        if (ppoll(m_fd >= 0 ? &pfd : nullptr, m_fd >= 0 ? 1 : 0, waitMs < 0 ? nullptr : &timeout, &waitMask) <= 0)
            continue;
        char buffer[512];
        const ssize_t count = recv(m_fd, buffer, sizeof buffer, 0);
        if (count <= 0) {
            // The reader has gone; the tag stays in the field of the one that comes back.
            leaveField();
            m_nextAttempt = Clock::now() + std::chrono::milliseconds(CONNECT_RETRY_MS);
            continue;
        }
        m_pending.append(buffer, int(count));
        serve();
    }
    leaveField();
    return 0;
}

void CTagPresence::serve()
{
    for (QByteArray message = takeMessage(m_pending); !message.isEmpty() && m_fd >= 0;
         message = takeMessage(m_pending)) {
        if (message.size() == 1) {
            if (message.at(0) == CONTROL_ATR)
                sendMessage(m_fd, CIso15693Tag::atr());
            else if (m_options.verbose && message.at(0) != CONTROL_POWER_OFF && message.at(0) != CONTROL_POWER_ON
                     && message.at(0) != CONTROL_RESET)
                std::fprintf(stderr, "tagsim: unknown control byte %02x\n", uchar(message.at(0)));
            continue;
        }
        const QByteArray response = m_tag.answer(message);
        if (response.isEmpty()) {
            remove();
            return;
        }
        if (m_options.verbose)
            std::fprintf(stderr, "tagsim: %s -> %s\n", message.toHex(' ').constData(), response.toHex(' ').constData());
        sendMessage(m_fd, response);
    }
}

void CTagPresence::present()
{
    m_present = true;
    m_returnAt.reset();
    m_nextAttempt = Clock::now();
}

void CTagPresence::remove()
{
    m_present = false;
    m_removeAt.reset();
    leaveField();
    if (m_options.returnAfterMs > 0)
        m_returnAt = Clock::now() + std::chrono::milliseconds(m_options.returnAfterMs);
}

void CTagPresence::enterField()
{
    m_fd = connectToReader(m_options);
    if (m_fd < 0) {
        m_nextAttempt = Clock::now() + std::chrono::milliseconds(CONNECT_RETRY_MS);
        return;
    }
    m_pending.clear();
    if (m_options.removeAfterMs > 0)
        m_removeAt = Clock::now() + std::chrono::milliseconds(m_options.removeAfterMs);
    std::printf("presenting tag on %s:%d\n", m_options.host.toLatin1().constData(), m_options.port);
    std::fflush(stdout);
}

void CTagPresence::leaveField()
{
    if (m_fd < 0)
        return;
    close(m_fd);
    m_fd = -1;
    std::printf("tag removed\n");
    std::fflush(stdout);
}
