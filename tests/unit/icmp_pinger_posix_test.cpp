// The Linux echo service against the loopback interface only: what reaches the wire
// for odd time-to-live, size and timeout values, and the resolver's local paths.
#include "engine/icmp_pinger.h"
#include "engine/echo_parse.h"

#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

const uint32_t kLoopback = htonl(INADDR_LOOPBACK);

bool isCiRun() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::strcmp(ci, "true") == 0;
}

// Without root or a permissive ping_group_range no ICMP socket can be opened; that
// may skip a developer's run, never a CI run.
#define REQUIRE_OR_SKIP(condition, why)            \
    do {                                           \
        if (!(condition)) {                        \
            if (isCiRun()) FAIL() << (why);        \
            GTEST_SKIP() << (why);                 \
        }                                          \
    } while (0)

// A pinger whose ICMP socket opened, and a result for its echoes.
class PosixPinger : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_OR_SKIP(pinger.socketFd >= 0, "no ICMP socket (needs root or ping_group_range)"); }
    IcmpPinger pinger;
    EchoResult result{};
};

bool writeSetting(const char* path, const char* value) {
    FILE* file = std::fopen(path, "w");
    const bool written = file != nullptr && std::fputs(value, file) >= 0;
    return file != nullptr && std::fclose(file) == 0 && written;
}

// Moves the calling thread into a new network namespace of its own, with its loopback up
// and echo requests ignored there: an echo to 127.0.0.1 then leaves and is never answered.
// Needs root; returns what failed, or the empty text.
std::string enterSilentLoopback() {
    if (unshare(CLONE_NEWNET) != 0) return "no network namespace of its own (needs root)";
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq loopback{};
    std::strcpy(loopback.ifr_name, "lo");
    const bool up = fd >= 0 && ioctl(fd, SIOCGIFFLAGS, &loopback) == 0 &&
                    (loopback.ifr_flags |= IFF_UP, ioctl(fd, SIOCSIFFLAGS, &loopback) == 0);
    if (fd >= 0) close(fd);
    if (!up) return "loopback of the new namespace not brought up";
    if (!writeSetting("/proc/sys/net/ipv4/icmp_echo_ignore_all", "1")) return "echo requests not ignored";
    return "";
}

// Sends `pinger` echo replies that answer none of its requests (its identifier, an unused
// sequence) from the raw ICMP socket `fd` to 127.0.0.1, one a millisecond, until `stop`.
std::thread floodWithForeignReplies(int fd, const IcmpPinger& pinger, const std::atomic<bool>& stop) {
    uint8_t reply[kIcmpHeaderSize + 8];
    buildEchoRequest(reply, sizeof reply, pinger.identifier, pinger.sequence + 0x8000, 8);
    reply[0] = kIcmpEchoReply;
    reply[2] = reply[3] = 0;
    const uint16_t sum = internetChecksum(reply, sizeof reply);
    reply[2] = static_cast<uint8_t>(sum >> 8);
    reply[3] = static_cast<uint8_t>(sum);
    return std::thread([fd, reply, to = sockaddr_in{AF_INET, 0, {kLoopback}, {}}, &stop] {
        const auto* where = reinterpret_cast<const sockaddr*>(&to);
        for (; !stop; usleep(1000)) sendto(fd, reply, sizeof reply, 0, where, sizeof to);
        close(fd);
    });
}

TEST_F(PosixPinger, LoopbackAnswersWithItsOwnAddress) {
    result = {0xFFFFFFFFu, 77, -1};
    ASSERT_EQ(1, pinger.echo(kLoopback, 64, 8, 2000, result));
    EXPECT_EQ(kLoopback, result.replyAddress);
    EXPECT_GE(result.roundTripMs, 0);
    // Many calls in a row are each answered: nothing a call leaves behind in the socket
    // holds up the next one. (Which answer belongs to which request is the matching of
    // echo_parse_test.cpp, and two probers at once are the lab's forged-answers test.)
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(1, pinger.echo(kLoopback, 64, 8, 2000, result)) << i;
    }
}

TEST_F(PosixPinger, TimeToLiveIsSentAsItsLowEightBits) {
    // 257 is sent as 1, enough for the loopback; 256 would be 0 and is not sent.
    EXPECT_EQ(1, pinger.echo(kLoopback, 257, 8, 2000, result));
    EchoResult untouched{0x01020304u, 5, 6};
    EXPECT_EQ(0, pinger.echo(kLoopback, 256, 8, 2000, untouched));
    EXPECT_EQ(0, pinger.echo(kLoopback, 0, 8, 2000, untouched));
    EXPECT_EQ((std::vector<int64_t>{untouched.replyAddress, untouched.status, untouched.roundTripMs}),
              (std::vector<int64_t>{0x01020304, 5, 6}));
}

TEST_F(PosixPinger, OddSizesAndTimeoutsStillEcho) {
    // Negative as signed is huge as unsigned: capped at 2048 data bytes, still sent.
    for (int32_t size : {-1, 4096, 0}) EXPECT_EQ(1, pinger.echo(kLoopback, 64, size, 2000, result)) << size;
    // Negative timeouts (below) leave the socket working.
    for (int32_t timeoutMs : {-1000, INT32_MIN}) pinger.echo(kLoopback, 64, 8, timeoutMs, result);
    EXPECT_EQ(1, pinger.echo(kLoopback, 64, 8, 2000, result));
}

// Where nothing answers but foreign replies keep coming, a positive timeout is waited out
// (they neither end nor stretch it), and a negative one is one look at the socket, not an
// endless wait: on the raw socket, then on the datagram socket (the namespace's
// ping_group_range allows it). The echoes run on a thread of their own in a silent
// namespace; a call that never returns fails the test after 20 seconds.
TEST(PosixPingerNamespace, TimeoutsHoldWhereOnlyForeignRepliesCome) {
    constexpr int32_t kWaitedMs = 300;
    const int32_t timeouts[3] = {kWaitedMs, -1000, INT32_MIN};
    struct Seen {
        std::string failed;
        int answered[2][3] = {{-1, -1, -1}, {-1, -1, -1}};
        long long elapsedMs[2][3] = {{-1, -1, -1}, {-1, -1, -1}};
    };
    auto seen = std::make_shared<Seen>();
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    std::thread([seen, done, timeouts] {
        seen->failed = enterSilentLoopback();
        for (int kind = 0; kind < 2 && seen->failed.empty(); ++kind) {
            writeSetting("/proc/sys/net/ipv4/ping_group_range", kind == 0 ? "1 0" : "0 2147483647");
            IcmpPinger pinger;
            const int flooder = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
            if (pinger.socketFd < 0 || pinger.isDatagram != kind || flooder < 0) {
                seen->failed = "no ICMP socket of the kind the namespace allows";
                break;
            }
            std::atomic<bool> stop{false};
            std::thread flood = floodWithForeignReplies(flooder, pinger, stop);
            for (int i = 0; i < 3; ++i) {
                EchoResult result{};
                const auto begin = std::chrono::steady_clock::now();
                seen->answered[kind][i] = pinger.echo(kLoopback, 64, 8, timeouts[i], result);
                seen->elapsedMs[kind][i] = std::chrono::duration_cast<std::chrono::milliseconds>(
                                               std::chrono::steady_clock::now() - begin).count();
            }
            stop = true;
            flood.join();
        }
        done->set_value();
    }).detach();
    ASSERT_EQ(finished.wait_for(std::chrono::seconds(20)), std::future_status::ready)
        << "an echo never returned";
    REQUIRE_OR_SKIP(seen->failed.empty(), seen->failed);
    for (int kind = 0; kind < 2; ++kind) {
        EXPECT_EQ(std::vector<int>(seen->answered[kind], seen->answered[kind] + 3), std::vector<int>(3, 0))
            << kind << ": nothing answers to any of the three timeouts";
        // Less one millisecond: the service counts its deadline in whole milliseconds.
        EXPECT_GE(seen->elapsedMs[kind][0], kWaitedMs - 1) << kind << ": the timeout was waited out";
        for (int i = 1; i < 3; ++i) {
            EXPECT_LT(seen->elapsedMs[kind][i], kWaitedMs)
                << kind << ": " << timeouts[i] << ": a negative timeout waits for nothing";
        }
    }
}

TEST_F(PosixPinger, EachObjectHasItsOwnIdentifier) {
    IcmpPinger second;
    EXPECT_NE(pinger.identifier, second.identifier);
}

TEST(PosixResolver, DottedQuadsWithoutLookup) {
    IcmpPinger pinger;
    // Dotted quads are taken without a lookup; no text gives 0. (Names are looked up
    // only in the lab, whose resolver never leaves it.)
    EXPECT_EQ(htonl(0x0A000001), pinger.resolve("10.0.0.1"));
    EXPECT_EQ(0u, pinger.resolve(""));
    EXPECT_EQ(0u, pinger.resolve(nullptr));
    char text[kAddressTextSize];
    pinger.formatAddress(text, htonl(0xFFFFFFFF));
    EXPECT_STREQ("255.255.255.255", text);
    pinger.formatAddress(text, 0);
    EXPECT_STREQ("0.0.0.0", text);
}

}  // namespace
