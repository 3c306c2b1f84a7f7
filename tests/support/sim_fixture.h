#pragma once
// A simulator link to the in-process server, with the protocol's waits
// shortened; every test starts from a closed link and default settings.

#include <cstdio>

#include "ipc/link.h"
#include "process/settings.h"
#include "simlink/hot_keys.h"
#include "simlink/in_process_link.h"
#include "simlink/sim_connection.h"
#include "support/test_support.h"
#include "wire/bytes.h"

class SimulatorTest : public testing::Test {
 protected:
  void SetUp() override {
    Settings = SettingsRecord{};
    Settings.hotKeyChar = 0;  // no key slot traffic unless a test asks for it
    IpcTiming = IpcTimingRecord{};
    IpcTiming.retrySleepMs = 0;
    IpcTiming.handshakeSleepMs = 0;
    SetIpcTransport(&server);
    ReportCurrentVersions(server.space);
    server.space.onWrite = [this](uint32_t offset, const uint8_t* data, uint32_t size) {
      writes.push_back({offset, std::vector<uint8_t>(data, data + size)});
    };
    if (FsuipcLock == nullptr) InitSimulatorLink();
  }

  void TearDown() override {
    SetReleaseHook(nullptr);
    server.onClose = nullptr;
    FSUIPCClose();
    IpcClose();
    SimConnected = false;
    SimLossAnnounced = false;
    TabKeySlot = 0;
    SetIpcTransport(nullptr);
    IpcTiming = IpcTimingRecord{};
    Settings = SettingsRecord{};
  }

  void SetVersions(uint32_t server_version, uint32_t simulator) {
    PutU32At(0x3304, server_version);
    PutU32At(0x3308, simulator);
  }

  // Opens the link as the main loop does, to a current simulator.
  void Connect() { ASSERT_EQ(ConnectInProcess(server), 0u); }

  void PutU32At(uint32_t offset, uint32_t value) {
    uint8_t bytes[4];
    PutU32(bytes, value);
    server.space.Write(offset, bytes, 4);
  }
  void PutU16At(uint32_t offset, uint16_t value) {
    uint8_t bytes[2];
    PutU16(bytes, value);
    server.space.Write(offset, bytes, 2);
  }
  void PutBytes(uint32_t offset, const std::vector<uint8_t>& bytes) {
    server.space.Write(offset, bytes.data(), static_cast<uint32_t>(bytes.size()));
  }
  uint8_t ByteAt(uint32_t offset) {
    uint8_t value = 0;
    server.space.Read(offset, &value, 1);
    return value;
  }

  struct Write {
    uint32_t offset;
    std::vector<uint8_t> bytes;
  };
  // Writes the node made, without the handshake's.
  std::vector<Write> NodeWrites() const {
    std::vector<Write> made;
    for (const Write& write : writes) {
      if (write.offset != 0x330A) made.push_back(write);
    }
    return made;
  }

  // From now on, each exchange that reaches the server as its records, in
  // order: "R0D0C/2" for a read of 2 bytes at 0x0D0C, "W07BC/4" for a write.
  // The hook runs after each list is recorded, before it goes back.
  void RecordExchanges(std::function<void()> hook = {}) {
    exchanges.clear();
    server.tamper = [this, hook](uint8_t* list, uint32_t length) {
      std::vector<std::string> records;
      for (uint32_t at = 0; at + 12 <= length;) {
        uint32_t id = GetU32(list + at);
        if (id != 1 && id != 2) break;
        uint32_t offset = GetU32(list + at + 4);
        uint32_t size = GetU32(list + at + 8);
        char record[24];
        std::snprintf(record, sizeof record, "%c%04X/%u", id == 1 ? 'R' : 'W', offset, size);
        records.push_back(record);
        at += (id == 1 ? 16 : 12) + size;
      }
      exchanges.push_back(records);
      if (hook) hook();
    };
  }

  InProcessTransport server;
  std::vector<Write> writes;
  std::vector<std::vector<std::string>> exchanges;
};
