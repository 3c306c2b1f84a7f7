#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "simlink/ipc_records.h"
#include "support/sim_fixture.h"

namespace {

class IpcCore : public SimulatorTest {
 protected:
  void Open() {
    code = 99;
    bool opened = IpcOpen(code);
    ASSERT_EQ(code, 0u);
    ASSERT_TRUE(opened);
  }
  uint32_t code = 0;
};

TEST_F(IpcCore, HandshakeReadsVersionsWritesClientVersionOnceAndKeepsLowHalf) {
  Open();
  EXPECT_EQ(IpcLink.serverVersion, 0x40000000u);
  EXPECT_EQ(IpcLink.simulatorVersion, 0x000Du);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].offset, 0x330Au);
  EXPECT_EQ(writes[0].bytes, (std::vector<uint8_t>{0xD2, 0x07}));
}

struct HandshakeCase {
  const char* name;
  uint32_t serverVersion;
  uint32_t simulatorVersion;
  bool legacy;
  uint32_t code;
};

void PrintTo(const HandshakeCase& c, std::ostream* out) { *out << c.name; }

class Handshakes : public SimulatorTest, public testing::WithParamInterface<HandshakeCase> {};

TEST_P(Handshakes, RefuseAServerThatFailsTheVersionCheck) {
  SetVersions(GetParam().serverVersion, GetParam().simulatorVersion);
  server.legacyServer = GetParam().legacy;
  uint32_t code = 0;
  EXPECT_EQ(IpcOpen(code), GetParam().code == 0);
  EXPECT_EQ(code, GetParam().code);
  EXPECT_EQ(IpcLink.view != nullptr, GetParam().code == 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Handshakes,
    testing::Values(HandshakeCase{"Minimum", 0x19980005, 0xFADE0001, false, 0},
                    HandshakeCase{"TooOld", 0x19980004, 0xFADE0001, false, 7},
                    HandshakeCase{"TooOldLegacyWindow", 0x19980004, 0xFADE0001, true, 14},
                    HandshakeCase{"NoPattern", 0x40000000, 0xFADF0001, false, 7},
                    HandshakeCase{"NeverAnswersVersions", 0, 0, false, 7}),
    [](const testing::TestParamInfo<HandshakeCase>& param) { return std::string(param.param.name); });

TEST_F(IpcCore, HandshakeTriesFiveTimesWhileAVersionReadsZero) {
  SetVersions(0, 0xFADE0001);
  EXPECT_FALSE(IpcOpen(code));
  EXPECT_EQ(server.attempts, 5u);
  EXPECT_EQ(writes.size(), 1u) << "the client version is written on the first try only";
}

TEST_F(IpcCore, OpenOnAnOpenLinkIsCode1AndChangesNothing) {
  Open();
  uint8_t* view = IpcLink.view;
  uint32_t counter = IpcLink.openCounter;
  EXPECT_FALSE(IpcOpen(code));
  EXPECT_EQ(code, 1u);
  EXPECT_EQ(IpcLink.view, view);
  EXPECT_EQ(IpcLink.openCounter, counter);
}

TEST_F(IpcCore, EveryOpenCountsOnAndAFailedOpenReportsTheTransportsCode) {
  Open();
  uint32_t first = IpcLink.openCounter;
  IpcClose();
  Open();
  EXPECT_EQ(IpcLink.openCounter, first + 1);
  IpcClose();
  server.openCode = 2;
  EXPECT_FALSE(IpcOpen(code));
  EXPECT_EQ(code, 2u);
  EXPECT_EQ(IpcLink.view, nullptr);
}

TEST_F(IpcCore, ClosedLinkIsCode9AndEmptyListCode10) {
  uint8_t byte = 0;
  EXPECT_FALSE(IpcQueueRead(0, 1, &byte, code));
  EXPECT_EQ(code, 9u);
  EXPECT_FALSE(IpcQueueWrite(0, 1, &byte, code));
  EXPECT_EQ(code, 9u);
  EXPECT_FALSE(IpcProcess(code));
  EXPECT_EQ(code, 9u);
  Open();
  uint32_t before = server.attempts;
  EXPECT_FALSE(IpcProcess(code));
  EXPECT_EQ(code, 10u);
  EXPECT_EQ(server.attempts, before) << "nothing is sent";
}

struct LimitCase {
  const char* name;
  bool read;
  uint32_t size;
  bool fits;
};

void PrintTo(const LimitCase& c, std::ostream* out) { *out << c.name; }

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
                                         LimitCase{"HugeReadDoesNotWrap", true, 0xFFFFFFF0u, false}),
                         [](const testing::TestParamInfo<LimitCase>& param) { return std::string(param.param.name); });

TEST_F(IpcCore, ReadsLandAtTheirDestinationsAndTheLaterOverlapWins) {
  Open();
  PutBytes(0x1000, {1, 2, 3, 4, 5, 6});
  uint8_t wide[6] = {};
  uint8_t narrow[2] = {0xEE, 0xEE};
  ASSERT_TRUE(IpcQueueRead(0x1000, 6, wide, code));
  ASSERT_TRUE(IpcQueueRead(0x1004, 2, wide, code));  // overlaps the start of wide
  ASSERT_TRUE(IpcQueueRead(0x1000, 0, narrow, code));
  ASSERT_TRUE(IpcQueueRead(0x1000, 2, nullptr, code));
  ASSERT_TRUE(IpcProcess(code));
  EXPECT_EQ(std::vector<uint8_t>(wide, wide + 6), (std::vector<uint8_t>{5, 6, 3, 4, 5, 6}));
  EXPECT_EQ(narrow[0], 0xEE) << "size 0 copies nothing";
}

TEST_F(IpcCore, WriteSourceIsCopiedAtQueueTime) {
  Open();
  uint8_t value[2] = {0x11, 0x22};
  ASSERT_TRUE(IpcQueueWrite(0x2000, 2, value, code));
  value[0] = 0x99;
  ASSERT_TRUE(IpcProcess(code));
  EXPECT_EQ(ByteAt(0x2000), 0x11);
  EXPECT_EQ(ByteAt(0x2001), 0x22);
}

TEST_F(IpcCore, AnswerOtherThan1IsCode13CopiesNothingAndEmptiesTheList) {
  Open();
  PutBytes(0x1000, {7});
  server.answer = 0;
  uint8_t byte = 0;
  ASSERT_TRUE(IpcQueueRead(0x1000, 1, &byte, code));
  EXPECT_FALSE(IpcProcess(code));
  EXPECT_EQ(code, 13u);
  EXPECT_EQ(byte, 0);
  EXPECT_FALSE(IpcProcess(code));
  EXPECT_EQ(code, 10u);
}

struct AttemptCase {
  const char* name;
  uint32_t failing;
  IpcAttempt failure;
  uint32_t code;
};

void PrintTo(const AttemptCase& c, std::ostream* out) { *out << c.name; }

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
                    AttemptCase{"AllFailed", 20, IpcAttempt::Failed, 12}),
    [](const testing::TestParamInfo<AttemptCase>& param) { return std::string(param.param.name); });

// What comes back from the server is not trusted further than the client's
// own table of what it asked for, and a batch is delivered whole or not at
// all: no destination is left half old and half new.
struct TamperCase {
  const char* name;
  size_t position;  // byte of the second record's header to change
  uint32_t value;
};

void PrintTo(const TamperCase& c, std::ostream* out) { *out << c.name; }

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
                                         TamperCase{"HugeRequestNumber", 12, 0xFFFFFFFF}),
                         [](const testing::TestParamInfo<TamperCase>& param) { return std::string(param.param.name); });

// What a client hands the bridge is checked before the simulator sees a byte.
struct ListCase {
  const char* name;
  std::vector<uint8_t> list;
  bool sound;
};

void PrintTo(const ListCase& c, std::ostream* out) { *out << c.name; }

std::vector<uint8_t> Words(std::initializer_list<uint32_t> words, size_t extraBytes = 0) {
  std::vector<uint8_t> bytes(words.size() * 4 + extraBytes, 0);
  size_t at = 0;
  for (uint32_t word : words) PutU32(bytes.data() + (at++) * 4, word);
  return bytes;
}

// A read of 4 bytes (16 + 4), a write of 2 (12 + 2), then the terminator.
std::vector<uint8_t> SoundList() {
  std::vector<uint8_t> list = Words({1, 0x3304, 4, 0}, 4);
  std::vector<uint8_t> write = Words({2, 0x330A, 2}, 2);
  list.insert(list.end(), write.begin(), write.end());
  list.insert(list.end(), 4, 0);
  return list;
}

std::vector<uint8_t> WithoutTheLast(std::vector<uint8_t> list, size_t bytes) {
  list.resize(list.size() - bytes);
  return list;
}

std::vector<uint8_t> Changed(std::vector<uint8_t> list, size_t at, uint32_t value) {
  PutU32(list.data() + at, value);
  return list;
}

class RequestLists : public testing::TestWithParam<ListCase> {};

TEST_P(RequestLists, AreCheckedWhole) {
  const std::vector<uint8_t>& list = GetParam().list;
  EXPECT_EQ(CheckRequestList(list.data(), static_cast<uint32_t>(list.size())) == nullptr, GetParam().sound);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RequestLists,
    testing::Values(ListCase{"Sound", SoundList(), true}, ListCase{"TerminatorOnly", Words({0}), true},
                    ListCase{"LongestThatFits", Words({1, 0, IPC_LIST_LIMIT - 20, 0}, IPC_LIST_LIMIT - 16), true},
                    ListCase{"ShorterThanATerminator", {0, 0, 0}, false},
                    ListCase{"LongerThanTheLimit", std::vector<uint8_t>(IPC_LIST_LIMIT + 1, 0), false},
                    ListCase{"UnknownId", Changed(SoundList(), 20, 3), false},
                    ListCase{"ReadPastTheEnd", Changed(SoundList(), 8, 40), false},
                    ListCase{"WritePastTheEnd", Changed(SoundList(), 28, 7), false},
                    ListCase{"NoTerminator", WithoutTheLast(SoundList(), 4), false},
                    ListCase{"BytesAfterTheTerminator", Changed(std::vector<uint8_t>(8, 0), 4, 9), false}),
    [](const testing::TestParamInfo<ListCase>& param) { return std::string(param.param.name); });

TEST_F(IpcCore, DroppedBatchLeavesNothingBehindForTheNextExchange) {
  Open();
  uint8_t gone[4] = {};
  ASSERT_TRUE(IpcQueueRead(0x1000, 4, gone, code));
  IpcDropQueued();
  EXPECT_FALSE(IpcProcess(code));
  EXPECT_EQ(code, 10u);
}

}  // namespace
