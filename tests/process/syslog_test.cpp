#include <array>
#include <map>
#include <thread>

#include "process/syslog.h"
#include "support/test_support.h"

namespace {

uint32_t Advance(uint32_t seq, uint32_t by) { return (seq + by) % 1000; }

TEST(SysLogNumbering, BothReportsDrawFromOneCounter) {
  uint32_t before = NextSysLogSeq();
  SendSysLog(NodeId, 3, "one");
  EXPECT_TRUE(SysLog("two"));
  EXPECT_EQ(NextSysLogSeq(), Advance(before, 3));
}

TEST(SysLogNumbering, RunsOneTo999ThenZero) {
  uint32_t seq = NextSysLogSeq();
  while (seq != 999) seq = NextSysLogSeq();
  EXPECT_EQ(NextSysLogSeq(), 0u);
  EXPECT_EQ(NextSysLogSeq(), 1u);
}

TEST(SysLogMessage, LayoutOfTheReport) {
  std::array<uint8_t, 150> message{};
  size_t length = BuildSysLogMessage(message.data(), 0x12345, "Sim Not Responding.");
  MsgHeader header = ReadMsgHeader(message.data());
  EXPECT_EQ(header.MsgClass, 2u);
  EXPECT_EQ(header.MsgType, 23u);
  EXPECT_EQ(header.HeaderSize, 36u);
  EXPECT_EQ(header.Count, 0);
  EXPECT_EQ(header.Source, 14);
  EXPECT_EQ(header.Destination, 2);
  EXPECT_LT(header.SeqNo, 1000u);
  EXPECT_EQ(GetU16(message.data() + 36), 0x2345);
  EXPECT_STREQ(reinterpret_cast<const char*>(message.data() + 38), "Sim Not Responding.");
  EXPECT_EQ(length, 39 + std::strlen("Sim Not Responding."));
}

TEST(SysLogMessage, LongTextsAreCutToWhatTheMessagesHold) {
  std::string text(300, 'x');
  std::array<uint8_t, 150> report{};
  EXPECT_EQ(BuildSysLogMessage(report.data(), 2, text.c_str()), 150u);
  EXPECT_EQ(std::strlen(reinterpret_cast<const char*>(report.data() + 38)), 111u);

  std::array<uint8_t, 100> update{};
  EXPECT_EQ(BuildSysLogTextMessage(update.data(), text.c_str()), 100u);
  EXPECT_EQ(std::strlen(reinterpret_cast<const char*>(update.data() + 36)), 63u);
  MsgHeader header = ReadMsgHeader(update.data());
  EXPECT_EQ(header.MsgClass, 1u);
  EXPECT_EQ(header.MsgType, 14u);
  EXPECT_EQ(header.Count, 1);
  EXPECT_EQ(header.Source, 14);
}

}  // namespace
