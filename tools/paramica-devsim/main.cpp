// paramica-devsim: a Modbus device on this machine, for tests and the demo.

#include "CDeviceSimulator.h"
#include "CSimulatorOptions.h"

#include <modbus/modbus.h>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
volatile sig_atomic_t stopRequested = 0;
const int POLL_INTERVAL_MS = 100;
// An RTU frame ends when the line has been silent this long.
const int RTU_SILENCE_MS = 5;
const int EXIT_FAILURE_OPTIONS = 2;

void requestStop(int)
{
    stopRequested = 1;
}

bool writeAll(int fd, const std::vector<uint8_t>& bytes)
{
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = write(fd, bytes.data() + written, bytes.size() - written);
        if (count <= 0)
            return false;
        written += size_t(count);
    }
    return true;
}

int serveTcp(const CSimulatorOptions& options, CDeviceSimulator& device)
{
    modbus_t* listener = modbus_new_tcp(options.host.c_str(), options.port);
    const int server = listener ? modbus_tcp_listen(listener, 1) : -1;
    if (server < 0) {
        std::fprintf(stderr, "paramica-devsim: cannot listen on %s:%d: %s\n", options.host.c_str(), options.port,
                     modbus_strerror(errno));
        if (listener)
            modbus_free(listener);
        return EXIT_FAILURE_OPTIONS;
    }
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(server, reinterpret_cast<sockaddr*>(&address), &length);
    std::printf("listening on %s:%d\n", options.host.c_str(), ntohs(address.sin_port));
    std::fflush(stdout);

    int client = -1;
    int answers = 0;
    std::vector<uint8_t> pending;
    while (!stopRequested) {
        pollfd fds[2] = { { server, POLLIN, 0 }, { client, POLLIN, 0 } };
        if (poll(fds, client >= 0 ? 2 : 1, POLL_INTERVAL_MS) <= 0)
            continue;
        if (fds[0].revents & POLLIN) {
            // A new client replaces the old one, as after a reconnect.
            const int accepted = accept(server, nullptr, nullptr);
            if (accepted >= 0) {
                if (client >= 0)
                    close(client);
                client = accepted;
                pending.clear();
            }
            continue;
        }
        if (client < 0 || !(fds[1].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        uint8_t buffer[512];
        const ssize_t count = read(client, buffer, sizeof buffer);
        if (count <= 0) {
            close(client);
            client = -1;
            continue;
        }
        pending.insert(pending.end(), buffer, buffer + count);
        int frameLength = 0;
        while ((frameLength = CDeviceSimulator::tcpFrameLength(pending)) > 0 && pending.size() >= size_t(frameLength)) {
            const std::vector<uint8_t> request(pending.begin(), pending.begin() + frameLength);
            pending.erase(pending.begin(), pending.begin() + frameLength);
            const std::vector<uint8_t> reply = device.answer(request);
            if (reply.empty())
                continue;
            writeAll(client, reply);
            if (options.closeAfter && ++answers % options.closeAfter == 0) {
                if (options.verbose)
                    std::fprintf(stderr, "devsim: closing the connection after %d answers\n", answers);
                close(client);
                client = -1;
                pending.clear();
                break;
            }
        }
    }
    if (client >= 0)
        close(client);
    close(server);
    modbus_free(listener);
    return 0;
}

int serveRtu(const CSimulatorOptions& options, CDeviceSimulator& device)
{
    modbus_t* line = modbus_new_rtu(options.serialPath.c_str(), options.baudRate, options.parity, 8, 1);
    if (!line || modbus_connect(line) != 0) {
        std::fprintf(stderr, "paramica-devsim: cannot open %s: %s\n", options.serialPath.c_str(),
                     modbus_strerror(errno));
        if (line)
            modbus_free(line);
        return EXIT_FAILURE_OPTIONS;
    }
    const int fd = modbus_get_socket(line);
    std::printf("serving %s\n", options.serialPath.c_str());
    std::fflush(stdout);

    std::vector<uint8_t> frame;
    while (!stopRequested) {
        pollfd pfd{ fd, POLLIN, 0 };
        const int ready = poll(&pfd, 1, frame.empty() ? POLL_INTERVAL_MS : RTU_SILENCE_MS);
        if (ready > 0 && (pfd.revents & POLLIN)) {
            uint8_t buffer[512];
            const ssize_t count = read(fd, buffer, sizeof buffer);
            if (count > 0)
                frame.insert(frame.end(), buffer, buffer + count);
            continue;
        }
        if (ready == 0 && !frame.empty()) {
            const std::vector<uint8_t> reply = device.answer(frame);
            frame.clear();
            if (!reply.empty())
                writeAll(fd, reply);
        }
    }
    modbus_close(line);
    modbus_free(line);
    return 0;
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
        std::fprintf(stderr, "paramica-devsim: %s\n\n%s", error.c_str(), CSimulatorOptions::usage());
        return EXIT_FAILURE_OPTIONS;
    }

    struct sigaction action{};
    action.sa_handler = requestStop;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);

    CDeviceSimulator device(options);
    if (!device.isValid()) {
        std::fprintf(stderr, "paramica-devsim: cannot set up the register map\n");
        return 1;
    }
    return options.serialPath.empty() ? serveTcp(options, device) : serveRtu(options, device);
}
