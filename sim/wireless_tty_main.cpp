// The simulated wireless sensor served on a terminal device, for trying the
// server's real serial path: socat links one pseudo-terminal to a Wine COM
// port and this program answers on the other.
//
//   torvex_wireless_sim <tty path> [switch text, e.g. "battery=180;fault=badenv:C00A:0:1"]
//
// Runs until killed or until the terminal goes away.
#include "sim_config.h"
#include "wireless_simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

class CSteadyClock final : public torvex::IClock {
public:
    uint64_t NowMs() override {
        return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now().time_since_epoch())
                                         .count());
    }
    void SleepMs(uint32_t nMs) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(nMs));
    }
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <tty> [switch text]\n", argv[0]);
        return 2;
    }
    const int fd = open(argv[1], O_RDWR | O_NOCTTY);
    if (fd < 0) {
        std::perror(argv[1]);
        return 1;
    }
    termios tio{};
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
    const torvex::sim::SSimConfig config = torvex::sim::ParseSimConfig(argc > 2 ? argv[2] : "");
    CSteadyClock clock;
    torvex::sim::CFaultPlan faults;
    for (const auto& rule : config.m_faults)
        faults.Add(rule);
    torvex::sim::CSensorModel model(config.m_setup);
    torvex::sim::CWirelessSimulator sensor(model, faults, clock);
    std::fprintf(stderr, "wireless sensor on %s\n", argv[1]);
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int n = poll(&p, 1, 20);
        if (n < 0 || (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
            break;
        if (n > 0 && (p.revents & POLLIN)) {
            uint8_t buf[256];
            const ssize_t got = read(fd, buf, sizeof buf);
            if (got <= 0)
                break;
            sensor.Receive(buf, static_cast<size_t>(got));
            std::fprintf(stderr, "got %zd bytes, %zu frames so far\n", got,
                         model.Received().size());
        }
        // Up to 64 KiB per turn: an image stream goes out at terminal speed,
        // and frames from the server are still read between the pieces.
        static uint8_t out[65536];
        const size_t nOut = sensor.Take(out, sizeof out);
        size_t nPut = 0;
        while (nPut < nOut) {
            const ssize_t put = write(fd, out + nPut, nOut - nPut);
            if (put <= 0)
                break;
            nPut += static_cast<size_t>(put);
        }
        if (nPut < nOut)
            break;
    }
    close(fd);
    return 0;
}
