#include <array>
#include <cstring>

#include "process/syslog.h"
#include "support/test_support.h"
#include "wire/bytes.h"
#include "wire/msg_header.h"

namespace {

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

}  // namespace
