#include "driver/run_sequence.h"

#include <gtest/gtest.h>

#include "core/address_table.h"
#include "test_support.h"

TEST(SetRunDefaults, LeavesTheLastAddressAsData) {
    TestRun run;
    EXPECT_EQ(run->startAddress, 0x400);
    EXPECT_EQ(run->dataStyle, 'D');
    AddressInfo before = InfoAt(*run, 0xFFFE);
    AddressInfo last = InfoAt(*run, 0xFFFF);
    EXPECT_EQ(before.isCode, 1);
    EXPECT_EQ(before.isEntry, 0);
    EXPECT_EQ(before.blockKind, 0);
    EXPECT_EQ(last.isCode, 0);
    EXPECT_EQ(last.isEntry, 0);
    EXPECT_EQ(last.blockKind, 0);
    for (uint8_t b : run->namedAddresses) EXPECT_EQ(b, 0);
}

TEST(BaseName, CutsTheExtensionOfTheLastPathComponent) {
    EXPECT_EQ(BaseName("game.bin"), "game");
    EXPECT_EQ(BaseName("noext"), "noext");
    EXPECT_EQ(BaseName("x.y.bin"), "x");
    EXPECT_EQ(BaseName("../data/x.bin"), "../data/x");
    EXPECT_EQ(BaseName("dir.old/x.bin"), "dir.old/x");
    EXPECT_EQ(BaseName("dir.old/x"), "dir.old/x");
    EXPECT_EQ(BaseName(".hidden"), "");
}
