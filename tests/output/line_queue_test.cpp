#include "output/line_queue.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

class QueueTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetPatterns(*run, {{0xEA, "nop"}, {0x60, "rts"}});
        run->asmFile.Create("listing");
        run->phase = 2;
    }
    void Queue(int opcode, const std::string& line) {
        run->currentByte = static_cast<uint8_t>(opcode);
        QueueLine(*run, line);
    }
    void Marker() { QueueMarker(*run); }
    std::string Written() {
        run->asmFile.Close();
        return ReadFile("listing");
    }
    TempDir dir;
    TestRun run;
};

}  // namespace

TEST_F(QueueTest, MergesEqualInstructionLinesUnderARepeatPrefix) {
    for (int i = 0; i < 12; ++i) Queue(0xEA, "\tnop");
    Queue(0x60, "\trts");
    Queue(0x60, "E_0410\trts");
    Marker();
    EXPECT_EQ(Written(), "\r\n\t:12\tnop\r\n\trts\r\nE_0410\trts\r\n");
}

TEST_F(QueueTest, NeverMergesDataFormsAndKeepsLinesWithQuestionMarks) {
    Queue(0xEA, "\tdta $AD,a($1234)");
    Queue(0xEA, "\tdta $AD,a($1234)");
    Queue(0xEA, "\tnop ?");
    Queue(0xEA, "\tnop ?");
    Marker();
    EXPECT_EQ(Written(), "\r\n\tdta $AD,a($1234)\r\n\tdta $AD,a($1234)\r\n\t:2\tnop ?\r\n");
}

TEST_F(QueueTest, DataBetweenEqualLinesKeepsThemApart) {
    Queue(0xEA, "\tnop");
    Marker();
    Marker();
    Queue(0xEA, "\tnop");
    Marker();
    EXPECT_EQ(Written(), "\r\n\tnop\r\n\tnop\r\n");
}

TEST(InsertRepeatPrefix, GoesBeforeTheMnemonicOrAtTheStart) {
    TestRun run;
    run->mnemonicTable[0xEA] = "nop";
    run->prevByte = 0xEA;
    EXPECT_EQ(InsertRepeatPrefix(*run, "\tnop", ":3"), "\t:3\tnop");
    EXPECT_EQ(InsertRepeatPrefix(*run, "\tlda", ":2"), ":2\t\tlda");
    run->prevByte = 0x02;  // no pattern
    EXPECT_EQ(InsertRepeatPrefix(*run, "\tnop", ":2"), ":2\t\tnop");
}
