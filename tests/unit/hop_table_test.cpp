// Engine tests against the scripted echo service.
#include <gtest/gtest.h>

#include "engine/hop_table.h"
#include "scripted_pinger.h"

TEST(HopTable, ConstructionDefaults) {
    script::reset();
    HopTable table;
    EXPECT_EQ(table.hopCount, 0);
    EXPECT_EQ(table.timeoutMs, 1500);
    EXPECT_EQ(table.maxHops, 64);
    EXPECT_FALSE(table.isRunning());
}
