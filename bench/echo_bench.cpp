// Monitor-phase echo rate with the real Linux echo service: traces TARGET, then leaves
// only the target's hop in the rotation and times COUNT monitor echoes to it.
// Usage: lumentrax_bench_echo TARGET [COUNT]. Prints one line:
// "echo: <sent> sent, <received> received, <seconds> s, <rate> echoes/s, <n> allocations".
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "alloc_count.h"
#include "engine/hop_table.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: lumentrax_bench_echo TARGET [COUNT]\n");
        return 2;
    }
    const long long count = argc > 2 ? std::atoll(argv[2]) : 20000;
    if (!allocationCountingWorks()) {
        std::fprintf(stderr, "allocation counting is not in effect\n");
        return 1;
    }
    static HopTable table;
    // 56 data bytes, as ping sends by default.
    table.configure(40, 56, 1000, 0);
    table.start(argv[1]);
    if (!table.isRunning()) {
        std::fprintf(stderr, "lumentrax_bench_echo: cannot resolve %s\n", argv[1]);
        return 1;
    }
    while (!table.traceComplete()) table.step();
    HopRecord* target = nullptr;
    for (int i = 0; i < table.hopCount; ++i) {
        HopRecord& record = table.records[i];
        if (record.address == table.target) {
            target = &record;
        } else {
            record.excluded = 1;
        }
    }
    if (target == nullptr) {
        std::fprintf(stderr, "lumentrax_bench_echo: the target did not answer\n");
        return 1;
    }
    const int64_t sentBefore = target->sent;
    const int64_t receivedBefore = target->received;
    const uint64_t allocationsBefore = allocationCount();
    const auto begin = std::chrono::steady_clock::now();
    while (target->sent - sentBefore < count) table.step();
    const auto end = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(end - begin).count();
    std::printf("echo: %lld sent, %lld received, %.3f s, %.0f echoes/s, %llu allocations\n",
                static_cast<long long>(target->sent - sentBefore),
                static_cast<long long>(target->received - receivedBefore), seconds,
                static_cast<double>(count) / seconds,
                static_cast<unsigned long long>(allocationCount() - allocationsBefore));
    return 0;
}
