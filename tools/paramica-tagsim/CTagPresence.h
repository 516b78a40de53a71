#pragma once

#include "CTagSimOptions.h"

#include <QByteArray>

#include <chrono>
#include <csignal>
#include <optional>

class CIso15693Tag;

// The tag entering and leaving the virtual reader's field: connected to the
// reader's card port while in the field, it answers the reader's messages
// until it is taken away (by a fault option or SIGUSR1) or the program is
// stopped (SIGINT, SIGTERM).
class CTagPresence
{
public:
    CTagPresence(const CTagSimOptions& options, CIso15693Tag& tag);

    // Serves until a stop is requested; the exit code.
    int run();

private:
    using Clock = std::chrono::steady_clock;

    static void requestStop(int);
    static void requestToggle(int);
    // The mask to wait with: the handled signals are blocked except while
    // waiting, so none can slip in between checking the flags and waiting.
    static sigset_t installHandlers();

    void serve();
    void present();
    void remove();
    void enterField();
    void leaveField();

    static volatile sig_atomic_t s_stopRequested;
    static volatile sig_atomic_t s_toggleRequested;

    const CTagSimOptions& m_options;
    CIso15693Tag& m_tag;
    bool m_present = true;
    int m_fd = -1;
    QByteArray m_pending;
    Clock::time_point m_nextAttempt = Clock::now();
    std::optional<Clock::time_point> m_removeAt;
    std::optional<Clock::time_point> m_returnAt;
};
