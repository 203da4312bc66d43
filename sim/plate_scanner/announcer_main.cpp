// Sends plate-scanner announcements over UDP, as scanners on the practice's
// network do; runs on the host (Linux) side of a Wine test.
// Usage: plate_scanner_announcer <address> <port> <done-file|-> <item>...
// Items: "SERIAL/a.b.c.d/FWXX[/be|short|long|marker|type|len]", sent in order
// 20 ms apart; the done file is written after the last one.
#include "announcement_builder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

using namespace lumeno::sim;

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: plate_scanner_announcer <address> <port> <done-file|-> <item>...\n");
        return 64;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(std::atoi(argv[2])));
    if (inet_pton(AF_INET, argv[1], &to.sin_addr) != 1) {
        std::fprintf(stderr, "plate_scanner_announcer: bad address %s\n", argv[1]);
        return 64;
    }
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s < 0) {
        std::perror("socket");
        return 1;
    }
    const int on = 1;
    setsockopt(s, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    int rc = 0;
    for (int i = 4; i < argc; ++i) {
        SScannerAnnouncement a;
        if (!ParseAnnouncementItem(argv[i], a)) {
            std::fprintf(stderr, "plate_scanner_announcer: bad item %s\n", argv[i]);
            rc = 64;
            continue;
        }
        const auto d = BuildAnnouncement(a);
        if (sendto(s, d.data(), d.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) <
            0) {
            std::perror("sendto");
            rc = 1;
        }
        usleep(20000);
    }
    close(s);
    if (std::string(argv[3]) != "-")
        std::ofstream(argv[3]) << "sent " << (argc - 4) << "\n";
    return rc;
}
