// A console probe of the Windows echo service for the lab test: echoes to a target
// with time-to-live 1, 2, 3 ... and prints who answered, one line per time-to-live.
// Usage: pinger_probe TARGET MAX_TTL TIMEOUT_MS [SIZE]
// Output: "library 0|1", "handle 0|1", then "ttl N ADDRESS NAME" or "ttl N none".
#include <winsock.h>

#include <cstdio>
#include <cstdlib>

#include "engine/icmp_pinger.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: pinger_probe TARGET MAX_TTL TIMEOUT_MS [SIZE]\n");
        return 2;
    }
    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);
    const int maxTtl = std::atoi(argv[2]);
    const int timeoutMs = std::atoi(argv[3]);
    const int size = argc > 4 ? std::atoi(argv[4]) : 8;
    int status = 0;
    {
        static IcmpPinger pinger;
        std::printf("library %d\nhandle %d\n", pinger.library != nullptr, pinger.icmpHandle != nullptr);
        const uint32_t target = pinger.resolve(argv[1]);
        if (target == 0) {
            std::fprintf(stderr, "pinger_probe: cannot resolve %s\n", argv[1]);
            status = 1;
        }
        for (int ttl = 1; status == 0 && ttl <= maxTtl; ++ttl) {
            EchoResult result{};
            if (pinger.echo(target, ttl, size, timeoutMs, result) == 0) {
                std::printf("ttl %d none\n", ttl);
                continue;
            }
            char text[kAddressTextSize];
            char name[kHostNameSize];
            pinger.formatAddress(text, result.replyAddress);
            pinger.reverseLookup(name, result.replyAddress);
            std::printf("ttl %d %s %s\n", ttl, text, name[0] != '\0' ? name : "-");
            if (result.replyAddress == target) break;
        }
        std::fflush(stdout);
    }
    WSACleanup();
    return status;
}
