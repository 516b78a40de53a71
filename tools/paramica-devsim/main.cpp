// paramica-devsim: a Modbus device on this machine, for tests and the demo.

#include "CDescribedDevice.h"
#include "CDeviceSimulator.h"
#include "CSimulatorOptions.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <modbus/modbus.h>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
volatile sig_atomic_t stopRequested = 0;
// An RTU request whose length its function code does not tell ends when the
// line has been silent this long.
const int RTU_SILENCE_MS = 10;
const size_t MAX_CLIENTS = 8;
const int EXIT_BAD_SETUP = 2;
// Served when no device option is given: the first sample, as the build puts it.
const QString DEFAULT_DESCRIPTION = QStringLiteral("xml/TC200_V100.xml");

void requestStop(int)
{
    stopRequested = 1;
}

// SIGINT and SIGTERM stay blocked except while waiting in ppoll, so a stop
// request can never slip in between checking the flag and waiting.
sigset_t installStopHandler()
{
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    sigset_t stopSignals, waitMask;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    return waitMask;
}

int waitFor(pollfd* fds, size_t count, int timeoutMs, const sigset_t& waitMask)
{
    timespec timeout{ timeoutMs / 1000, (timeoutMs % 1000) * 1000000L };
    return ppoll(fds, count, timeoutMs < 0 ? nullptr : &timeout, &waitMask);
}

// Socket or serial line; the serial line is opened non-blocking. SIGPIPE is
// ignored, so a vanished client shows up as an error here.
bool writeAll(int fd, const std::vector<uint8_t>& bytes)
{
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = write(fd, bytes.data() + written, bytes.size() - written);
        if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd out{ fd, POLLOUT, 0 };
            poll(&out, 1, 100);
            continue;
        }
        if (count <= 0)
            return false;
        written += size_t(count);
    }
    return true;
}

int openListener(const CSimulatorOptions& options, std::string& address)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(options.port);
    const int lookup = getaddrinfo(options.host.c_str(), port.c_str(), &hints, &found);
    if (lookup != 0) {
        std::fprintf(stderr, "paramica-devsim: unknown host %s: %s\n", options.host.c_str(), gai_strerror(lookup));
        return -1;
    }
    const int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    if (server >= 0)
        setsockopt(server, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (server < 0 || bind(server, found->ai_addr, found->ai_addrlen) != 0 || listen(server, 4) != 0) {
        std::fprintf(stderr, "paramica-devsim: cannot listen on %s:%d: %s\n", options.host.c_str(), options.port,
                     std::strerror(errno));
        freeaddrinfo(found);
        if (server >= 0)
            close(server);
        return -1;
    }
    freeaddrinfo(found);
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    getsockname(server, reinterpret_cast<sockaddr*>(&bound), &length);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &bound.sin_addr, text, sizeof text);
    address = std::string(text) + ":" + std::to_string(ntohs(bound.sin_port));
    return server;
}

struct Client {
    int fd = -1;
    std::vector<uint8_t> pending;
    int answers = 0;
};

// Answers the complete frames a client has sent; false when the connection
// is to be closed.
bool serveFrames(const CSimulatorOptions& options, CDeviceSimulator& device, Client& client)
{
    int frameLength = 0;
    while ((frameLength = CDeviceSimulator::tcpFrameLength(client.pending)) != 0) {
        if (frameLength < 0) {
            if (options.verbose)
                std::fprintf(stderr, "devsim: malformed MBAP header, closing the connection\n");
            return false;
        }
        if (client.pending.size() < size_t(frameLength))
            return true;
        const std::vector<uint8_t> request(client.pending.begin(), client.pending.begin() + frameLength);
        client.pending.erase(client.pending.begin(), client.pending.begin() + frameLength);
        const std::vector<uint8_t> reply = device.answer(request);
        if (reply.empty())
            continue;
        if (!writeAll(client.fd, reply))
            return false;
        if (options.closeAfter && ++client.answers >= options.closeAfter) {
            if (options.verbose)
                std::fprintf(stderr, "devsim: fault: closing the connection after %d answers\n", client.answers);
            return false;
        }
    }
    return true;
}

int serveTcp(const CSimulatorOptions& options, CDeviceSimulator& device, const sigset_t& waitMask)
{
    std::string address;
    const int server = openListener(options, address);
    if (server < 0)
        return EXIT_BAD_SETUP;
    std::printf("listening on %s\n", address.c_str());
    std::fflush(stdout);

    std::vector<Client> clients;
    while (!stopRequested) {
        std::vector<pollfd> fds{ { server, POLLIN, 0 } };
        for (const Client& client : clients)
            fds.push_back({ client.fd, POLLIN, 0 });
        if (waitFor(fds.data(), fds.size(), -1, waitMask) <= 0)
            continue;
        for (size_t i = clients.size(); i-- > 0;) {
            if (!fds[i + 1].revents)
                continue;
            uint8_t buffer[512];
            const ssize_t count = recv(clients[i].fd, buffer, sizeof buffer, 0);
            bool keep = count > 0;
            if (keep) {
                clients[i].pending.insert(clients[i].pending.end(), buffer, buffer + count);
                keep = serveFrames(options, device, clients[i]);
            }
            if (!keep) {
                close(clients[i].fd);
                clients.erase(clients.begin() + long(i));
            }
        }
        if (fds[0].revents & POLLIN) {
            const int accepted = accept4(server, nullptr, nullptr, SOCK_CLOEXEC);
            if (accepted >= 0 && clients.size() >= MAX_CLIENTS) {
                if (options.verbose)
                    std::fprintf(stderr, "devsim: more than %zu connections, refusing one\n", MAX_CLIENTS);
                close(accepted);
            } else if (accepted >= 0) {
                clients.push_back({ accepted, {}, 0 });
            }
        }
    }
    for (const Client& client : clients)
        close(client.fd);
    close(server);
    return 0;
}

int serveRtu(const CSimulatorOptions& options, CDeviceSimulator& device, const sigset_t& waitMask)
{
    // libmodbus opens and sets up the line; the simulator then reads and
    // writes the descriptor itself.
    modbus_t* line = modbus_new_rtu(options.serialPath.c_str(), options.baudRate, options.parity, 8, 1);
    if (!line || modbus_connect(line) != 0) {
        std::fprintf(stderr, "paramica-devsim: cannot open %s: %s\n", options.serialPath.c_str(),
                     modbus_strerror(errno));
        if (line)
            modbus_free(line);
        return EXIT_BAD_SETUP;
    }
    const int fd = modbus_get_socket(line);
    std::printf("serving %s\n", options.serialPath.c_str());
    std::fflush(stdout);

    int result = 0;
    std::vector<uint8_t> pending;
    auto serve = [&](size_t length) {
        const std::vector<uint8_t> request(pending.begin(), pending.begin() + long(length));
        pending.erase(pending.begin(), pending.begin() + long(length));
        const std::vector<uint8_t> reply = device.answer(request);
        if (!reply.empty())
            writeAll(fd, reply);
    };
    while (!stopRequested) {
        pollfd pfd{ fd, POLLIN, 0 };
        const int ready = waitFor(&pfd, 1, pending.empty() ? -1 : RTU_SILENCE_MS, waitMask);
        if (ready < 0)
            continue;
        if (ready == 0) {
            // Silence ends the frame, whatever its function code promised;
            // a broken one fails its CRC check.
            serve(pending.size());
            continue;
        }
        uint8_t buffer[512];
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (count <= 0) {
            std::fprintf(stderr, "paramica-devsim: serial line %s closed\n", options.serialPath.c_str());
            result = 1;
            break;
        }
        pending.insert(pending.end(), buffer, buffer + count);
        int length = 0;
        while ((length = CDeviceSimulator::rtuFrameLength(pending)) > 0 && pending.size() >= size_t(length))
            serve(size_t(length));
    }
    modbus_close(line);
    modbus_free(line);
    return result;
}
}

int main(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(CSimulatorOptions::usage(), stdout);
            return 0;
        }
    }
    CSimulatorOptions options;
    std::string error;
    if (!options.parse(argc, argv, error)) {
        std::fprintf(stderr, "paramica-devsim: %s\nTry 'paramica-devsim --help'.\n", error.c_str());
        return EXIT_BAD_SETUP;
    }

    // The description reader is Qt code; a simulator serves any file it is
    // given, sealed or not.
    int qtArgc = 2;
    char checkOff[] = "--no-xml-check";
    char* qtArgv[] = { argv[0], checkOff, nullptr };
    QCoreApplication application(qtArgc, qtArgv);
    if (options.descriptionPath.empty() && !options.orderNumberGiven && !options.paraVersionGiven) {
        const QString sample = QCoreApplication::applicationDirPath() + QStringLiteral("/") + DEFAULT_DESCRIPTION;
        if (QFileInfo::exists(sample))
            options.descriptionPath = sample.toStdString();
    }
    CDescribedDevice described;
    if (!options.descriptionPath.empty()) {
        if (!described.load(options.descriptionPath, error)) {
            std::fprintf(stderr, "paramica-devsim: %s\n", error.c_str());
            return EXIT_BAD_SETUP;
        }
        if (!options.orderNumberGiven)
            options.orderNumber = described.orderNumber();
        if (!options.paraVersionGiven)
            options.paraVersionHundredths = described.paraVersionHundredths();
    }

    const sigset_t waitMask = installStopHandler();
    CDeviceSimulator device(options, options.descriptionPath.empty() ? nullptr : &described);
    if (!device.isValid()) {
        std::fprintf(stderr, "paramica-devsim: cannot set up the register map: %s\n", std::strerror(errno));
        return 1;
    }
    return options.serialPath.empty() ? serveTcp(options, device, waitMask) : serveRtu(options, device, waitMask);
}
