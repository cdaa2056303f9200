// The Linux echo service against the loopback interface only: what reaches the wire
// for odd time-to-live, size and timeout values, and the resolver's local paths.
#include "engine/icmp_pinger.h"

#include <gtest/gtest.h>
#include <arpa/inet.h>

#include <cstdlib>
#include <cstring>

namespace {

const uint32_t kLoopback = htonl(INADDR_LOOPBACK);

// Without root or a permissive ping_group_range no ICMP socket can be opened; that
// may skip a developer's run, never a CI run.
#define REQUIRE_SOCKET(pinger)                                                  \
    do {                                                                        \
        if ((pinger).socketFd < 0) {                                            \
            const char* ci = std::getenv("CI");                                 \
            if (ci != nullptr && std::strcmp(ci, "true") == 0) {                \
                FAIL() << "no ICMP socket (needs root or ping_group_range)";    \
            }                                                                   \
            GTEST_SKIP() << "no ICMP socket (needs root or ping_group_range)";  \
        }                                                                       \
    } while (0)

TEST(PosixPinger, LoopbackAnswersWithItsOwnAddress) {
    IcmpPinger pinger;
    REQUIRE_SOCKET(pinger);
    EchoResult result{0xFFFFFFFFu, 77, -1};
    ASSERT_EQ(1, pinger.echo(kLoopback, 64, 8, 2000, result));
    EXPECT_EQ(kLoopback, result.replyAddress);
    EXPECT_GE(result.roundTripMs, 0);
    // Consecutive calls each get their own answer, never the previous one's.
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(1, pinger.echo(kLoopback, 64, 8, 2000, result)) << i;
    }
}

TEST(PosixPinger, TimeToLiveIsSentAsItsLowEightBits) {
    IcmpPinger pinger;
    REQUIRE_SOCKET(pinger);
    EchoResult result{};
    // 257 is sent as 1, enough for the loopback; 256 would be 0 and is not sent.
    EXPECT_EQ(1, pinger.echo(kLoopback, 257, 8, 2000, result));
    EchoResult untouched{0x01020304u, 5, 6};
    EXPECT_EQ(0, pinger.echo(kLoopback, 256, 8, 2000, untouched));
    EXPECT_EQ(0, pinger.echo(kLoopback, 0, 8, 2000, untouched));
    EXPECT_EQ(0x01020304u, untouched.replyAddress);
    EXPECT_EQ(5u, untouched.status);
    EXPECT_EQ(6, untouched.roundTripMs);
}

TEST(PosixPinger, OddSizesAndTimeoutsStillEcho) {
    IcmpPinger pinger;
    REQUIRE_SOCKET(pinger);
    EchoResult result{};
    // Negative as signed is huge as unsigned: capped at 2048 data bytes, still sent.
    EXPECT_EQ(1, pinger.echo(kLoopback, 64, -1, 2000, result));
    EXPECT_EQ(1, pinger.echo(kLoopback, 64, 4096, 2000, result));
    EXPECT_EQ(1, pinger.echo(kLoopback, 64, 0, 2000, result));
    // A negative timeout is no wait at all, not an endless one; the call returns.
    pinger.echo(kLoopback, 64, 8, -1000, result);
    pinger.echo(kLoopback, 64, 8, INT32_MIN, result);
    // The socket still works after those calls.
    EXPECT_EQ(1, pinger.echo(kLoopback, 64, 8, 2000, result));
}

TEST(PosixPinger, EachObjectHasItsOwnIdentifier) {
    IcmpPinger first;
    IcmpPinger second;
    REQUIRE_SOCKET(first);
    EXPECT_NE(first.identifier, second.identifier);
}

TEST(PosixPinger, DottedQuadsWithoutLookup) {
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
