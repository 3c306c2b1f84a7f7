#pragma once
// A recording's file on disk. Whole chunks are written one behind the
// other, and a reserve of zero bytes is kept written ahead of them: when
// the disk fills up, the gap mark still finds room there. A reader takes
// zero bytes after the last chunk for that reserve; closing cuts it off.

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

inline constexpr uint64_t RECORDING_RESERVE = 4096;
inline constexpr uint64_t RECORDING_GROWTH = 64 * 1024;

class RecordingFile {
 public:
  // Creates the file; false when it exists or cannot be created.
  bool Create(const std::string& path);
  // Writes a whole chunk behind the last. False when it could not be
  // written (the disk is full, say): the file then ends where it did.
  bool Append(const std::vector<uint8_t>& chunk);
  // After a failed Append: a small chunk (the gap mark) into the reserve.
  bool AppendIntoReserve(const std::vector<uint8_t>& chunk);
  // Closes the file and cuts it after its last chunk.
  void Close();
  const std::string& path() const { return path_; }

 private:
  bool WriteAt(uint64_t position, const uint8_t* data, size_t size);

  std::fstream file_;
  std::string path_;
  uint64_t dataEnd_ = 0;     // behind the last whole chunk
  uint64_t writtenEnd_ = 0;  // behind the reserve
};
