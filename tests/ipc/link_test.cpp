#include <array>

#include "ipc/records.h"
#include "support/message_bytes.h"
#include "support/sim_fixture.h"
#include "wire/bytes.h"

namespace {

struct HandshakeCase {
  const char* name;
  uint32_t serverVersion;
  uint32_t simulatorVersion;
  bool legacy;
  uint32_t code;
};

class Handshakes : public SimulatorTest, public testing::WithParamInterface<HandshakeCase> {};

TEST_P(Handshakes, ReadBothVersionsAndRefuseAServerThatFailsTheCheck) {
  SetVersions(GetParam().serverVersion, GetParam().simulatorVersion);
  server.legacyServer = GetParam().legacy;
  uint32_t code = 0;
  EXPECT_EQ(IpcOpen(code), GetParam().code == 0);
  EXPECT_EQ(code, GetParam().code);
  EXPECT_EQ(IpcLink.view != nullptr, GetParam().code == 0);
  if (GetParam().code != 0) return;
  // Versions read, the simulator's low half kept, the client's version written once.
  EXPECT_EQ(IpcLink.serverVersion, GetParam().serverVersion);
  EXPECT_EQ(IpcLink.simulatorVersion, GetParam().simulatorVersion & 0xFFFF);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].offset, 0x330Au);
  EXPECT_EQ(writes[0].bytes, (std::vector<uint8_t>{0xD2, 0x07}));
}

INSTANTIATE_TEST_SUITE_P(
    Table, Handshakes,
    testing::Values(HandshakeCase{"Minimum", 0x19980005, 0xFADE0001, false, 0},
                    HandshakeCase{"Current", 0x40000000, 0xFADE000D, false, 0},
                    HandshakeCase{"TooOld", 0x19980004, 0xFADE0001, false, 7},
                    HandshakeCase{"TooOldLegacyWindow", 0x19980004, 0xFADE0001, true, 14},
                    HandshakeCase{"NoPattern", 0x40000000, 0xFADF0001, false, 7},
                    HandshakeCase{"NeverAnswersVersions", 0, 0, false, 7}), RowName());

struct LimitCase {
  const char* name;
  bool read;
  uint32_t size;
  bool fits;
};

class QueueLimits : public SimulatorTest, public testing::WithParamInterface<LimitCase> {};

TEST_P(QueueLimits, TheWholeListWithItsTerminatorFitsIn32512Bytes) {
  uint32_t code = 0;
  ASSERT_TRUE(IpcOpen(code));
  static std::array<uint8_t, IPC_LIST_LIMIT> buffer;
  bool queued = GetParam().read ? IpcQueueRead(0, GetParam().size, buffer.data(), code)
                                : IpcQueueWrite(0, GetParam().size, buffer.data(), code);
  EXPECT_EQ(queued, GetParam().fits);
  EXPECT_EQ(code, GetParam().fits ? 0u : 15u);
  EXPECT_EQ(IpcLink.cursor, GetParam().fits ? GetParam().size + (GetParam().read ? 16u : 12u) : 0u);
}

INSTANTIATE_TEST_SUITE_P(Table, QueueLimits,
                         testing::Values(LimitCase{"LargestRead", true, 32492, true},
                                         LimitCase{"ReadOneTooMany", true, 32493, false},
                                         LimitCase{"LargestWrite", false, 32496, true},
                                         LimitCase{"WriteOneTooMany", false, 32497, false},
                                         LimitCase{"HugeReadDoesNotWrap", true, 0xFFFFFFF0u, false}), RowName());

struct AttemptCase {
  const char* name;
  uint32_t failing;
  IpcAttempt failure;
  uint32_t code;
};

class SendAttempts : public SimulatorTest, public testing::WithParamInterface<AttemptCase> {};

TEST_P(SendAttempts, NineAttemptsThenTheLastFailureNamesTheCode) {
  uint32_t code = 0;
  ASSERT_TRUE(IpcOpen(code));
  server.attempts = 0;
  server.failingAttempts = GetParam().failing;
  server.failure = GetParam().failure;
  uint8_t byte = 0;
  ASSERT_TRUE(IpcQueueRead(0x3304, 1, &byte, code));
  EXPECT_EQ(IpcProcess(code), GetParam().code == 0);
  EXPECT_EQ(code, GetParam().code);
  EXPECT_EQ(server.attempts, std::min(GetParam().failing + 1, 9u));
  EXPECT_EQ(IpcLink.cursor, 0u) << "the list counts as sent";

  // A link that delivered nothing in nine attempts is dead: the lists queued
  // behind it (other threads waiting for the lock) fail at once, until it is
  // opened anew.
  server.attempts = 0;
  ASSERT_TRUE(IpcQueueRead(0x3304, 1, &byte, code));
  EXPECT_EQ(IpcProcess(code), GetParam().code == 0);
  EXPECT_EQ(server.attempts, GetParam().code == 0 ? 1u : 0u);
  server.failingAttempts = 0;
  IpcClose();
  ASSERT_TRUE(IpcOpen(code));
  ASSERT_TRUE(IpcQueueRead(0x3304, 1, &byte, code));
  EXPECT_TRUE(IpcProcess(code));
}

INSTANTIATE_TEST_SUITE_P(
    Table, SendAttempts,
    testing::Values(AttemptCase{"EighthFailureStillDelivers", 8, IpcAttempt::TimedOut, 0},
                    AttemptCase{"AllTimedOut", 9, IpcAttempt::TimedOut, 11},
                    AttemptCase{"AllFailed", 20, IpcAttempt::Failed, 12}), RowName());

// What comes back from the server is not trusted further than the client's
// own table of what it asked for, and a batch is delivered whole or not at
// all: no destination is left half old and half new.
struct TamperCase {
  const char* name;
  size_t position;  // byte of the second record's header to change
  uint32_t value;
};

class ServerReplies : public SimulatorTest, public testing::WithParamInterface<TamperCase> {};

TEST_P(ServerReplies, ARecordThatDoesNotMatchFailsTheExchangeAndCopiesNothing) {
  uint32_t code = 0;
  ASSERT_TRUE(IpcOpen(code));
  PutBytes(0x1000, {1, 2, 3, 4});
  PutBytes(0x1010, {5, 6, 7, 8});
  std::array<uint8_t, 12> first{};
  std::array<uint8_t, 12> second{};
  first.fill(0xEE);
  second.fill(0xEE);
  ASSERT_TRUE(IpcQueueRead(0x1000, 4, first.data() + 4, code));
  ASSERT_TRUE(IpcQueueRead(0x1010, 4, second.data() + 4, code));
  server.tamper = [](uint8_t* list, uint32_t) {
    size_t at = 20 + GetParam().position;  // the first record is 16 + 4 bytes
    PutU32(list + at, GetParam().value);
  };
  EXPECT_FALSE(IpcProcess(code));
  EXPECT_EQ(code, 16u);
  std::array<uint8_t, 12> untouched{};
  untouched.fill(0xEE);
  EXPECT_EQ(first, untouched) << "the good first record is not copied either";
  EXPECT_EQ(second, untouched);
}

INSTANTIATE_TEST_SUITE_P(Table, ServerReplies,
                         testing::Values(TamperCase{"UnknownId", 0, 7}, TamperCase{"EndsEarly", 0, 0},
                                         TamperCase{"NoTerminator", 20, 2}, TamperCase{"BiggerSize", 8, 8},
                                         TamperCase{"SizePastTheList", 8, 0x7FFFFFFF},
                                         TamperCase{"ForeignRequestNumber", 12, 5},
                                         TamperCase{"AnotherReadsNumber", 12, 0},
                                         TamperCase{"HugeRequestNumber", 12, 0xFFFFFFFF}), RowName());

// What a client hands a bridge, checked before the simulator sees a byte.
struct ListCase {
  const char* name;
  std::vector<uint8_t> list;
  const char* wrong;  // nullptr: sound
};

std::vector<uint8_t> LargestRead() {
  std::vector<uint8_t> list = Words({1, 0, 32492, 0});
  list.resize(IPC_LIST_LIMIT, 0);  // its data, then the terminator: 32512 bytes
  return list;
}

class RequestLists : public testing::TestWithParam<ListCase> {};

TEST_P(RequestLists, AreCheckedWholeBeforeTheSimulatorSeesThem) {
  const char* wrong = CheckRequestList(GetParam().list.data(), static_cast<uint32_t>(GetParam().list.size()));
  if (GetParam().wrong == nullptr) {
    EXPECT_EQ(wrong, nullptr) << wrong;
  } else {
    ASSERT_NE(wrong, nullptr);
    EXPECT_NE(std::string(wrong).find(GetParam().wrong), std::string::npos) << wrong;
  }
}

const char* const INCOMPLETE = "incomplete or of an unknown kind";

INSTANTIATE_TEST_SUITE_P(
    Table, RequestLists,
    testing::Values(
        ListCase{"TerminatorOnly", Words({0}), nullptr},
        ListCase{"ReadAndWrite", Words({1, 0x3304, 4, 0, 0, 2, 0x0330, 4, 7, 0}), nullptr},
        ListCase{"WriteOfTwoBytes", Words({2, 0x0330, 2}) + std::vector<uint8_t>{1, 2, 0, 0, 0, 0}, nullptr},
        ListCase{"LargestList", LargestRead(), nullptr},
        ListCase{"OneByteOverTheLimit", LargestRead() + std::vector<uint8_t>{0}, "length outside"},
        ListCase{"ThreeBytes", {0, 0, 0}, "length outside"},
        ListCase{"UnknownId", Words({7, 0, 4, 0, 0}), INCOMPLETE},
        ListCase{"ReadPastTheList", Words({1, 0x3304, 4000, 0, 0}), INCOMPLETE},
        ListCase{"HugeSizeDoesNotWrap", Words({1, 0x3304, 0xFFFFFFF0u, 0, 0}), INCOMPLETE},
        ListCase{"WriteCutShort", Words({2, 0x0330, 2}), INCOMPLETE},
        ListCase{"NoTerminator", Words({1, 0x3304, 4, 0, 0}), INCOMPLETE},
        ListCase{"BytesAfterTheTerminator", Words({0, 2, 0x0330, 2}), "after the terminator"}),
    RowName());

}  // namespace
