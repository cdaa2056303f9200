// Engine step overhead: the trace engine driven by the scripted echo service (answers
// at once, no network), timing monitor-phase steps and counting heap allocations in
// start, the trace phase and the monitor phase.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "alloc_count.h"
#include "engine/hop_table.h"
#include "scripted_pinger.h"

namespace {

constexpr int kRouters = 12;

void scriptRoute() {
    script::reset();
    for (int ttl = 1; ttl < kRouters; ++ttl) script::router(ttl, script::ip(10, 0, ttl, 1), ttl);
    script::silent(4);
    script::target(script::ip(10, 0, 99, 1), kRouters, 20);
}

}  // namespace

int main(int argc, char** argv) {
    const long long steps = argc > 1 ? std::atoll(argv[1]) : 20000000;
    scriptRoute();
    if (!allocationCountingWorks()) {
        std::fprintf(stderr, "allocation counting is not in effect\n");
        return 1;
    }
    static HopTable table;
    table.configure(40, 8, 1000, 0);

    const uint64_t beforeTrace = allocationCount();
    table.start("10.0.99.1");
    while (!table.traceComplete()) table.step();
    const uint64_t traceAllocations = allocationCount() - beforeTrace;

    const uint64_t beforeMonitor = allocationCount();
    const auto begin = std::chrono::steady_clock::now();
    for (long long i = 0; i < steps; ++i) table.step();
    const auto end = std::chrono::steady_clock::now();
    const uint64_t monitorAllocations = allocationCount() - beforeMonitor;

    const double ns = std::chrono::duration<double, std::nano>(end - begin).count();
    std::printf("engine: %d hops, %lld monitor steps, %.1f ns per step\n", table.hopCount, steps,
                ns / static_cast<double>(steps));
    std::printf("engine: heap allocations: start and trace phase %llu, monitor phase %llu "
                "(%.3f per step)\n",
                static_cast<unsigned long long>(traceAllocations),
                static_cast<unsigned long long>(monitorAllocations),
                static_cast<double>(monitorAllocations) / static_cast<double>(steps));
    return traceAllocations == 0 && monitorAllocations == 0 ? 0 : 1;
}
