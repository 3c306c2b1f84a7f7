#include <array>

#include "support/test_support.h"
#include "wire/msg_header.h"

namespace {

TEST(MsgHeaderLayout, FieldsAreLittleEndianAtTheirOffsets) {
  MsgHeader header;
  header.MsgClass = 0x04030201;
  header.MsgType = 0x08070605;
  header.SeqNo = 999;
  header.Count = -2;
  header.Spare = 0x11121314;
  header.HeaderSize = 36;
  header.Length = 1160;
  header.Version = MSG_VERSION;
  header.Source = -1;
  header.Destination = NODE_COMMGR;
  std::array<uint8_t, MSG_HEADER_SIZE> bytes{};
  WriteMsgHeader(bytes.data(), header);
  const std::array<uint8_t, MSG_HEADER_SIZE> expected = {
      0x01, 0x02, 0x03, 0x04,  // MsgClass
      0x05, 0x06, 0x07, 0x08,  // MsgType
      0xE7, 0x03, 0x00, 0x00,  // SeqNo 999
      0xFE, 0xFF, 0xFF, 0xFF,  // Count -2
      0x14, 0x13, 0x12, 0x11,  // Spare
      0x24, 0x00, 0x00, 0x00,  // HeaderSize 36
      0x88, 0x04, 0x00, 0x00,  // Length 1160
      0xA4, 0x75, 0x00, 0x00,  // Version 30116
      0xFF, 0xFF,              // Source -1
      0x02, 0x00,              // Destination 2
  };
  EXPECT_EQ(bytes, expected);

  MsgHeader back = ReadMsgHeader(bytes.data());
  EXPECT_EQ(back.Count, -2);
  EXPECT_EQ(back.Source, -1);
  EXPECT_EQ(back.Length, 1160u);
  EXPECT_EQ(back.MsgClass, header.MsgClass);
}

}  // namespace
