#include "record/recording_file.h"

#include <filesystem>

bool RecordingFile::Create(const std::string& path) {
  std::error_code error;
  if (std::filesystem::exists(path, error) || error) return false;
  file_.open(path, std::ios::in | std::ios::out | std::ios::binary | std::ios::trunc);
  if (!file_.is_open()) return false;
  path_ = path;
  dataEnd_ = 0;
  writtenEnd_ = 0;
  const std::vector<uint8_t> zeros(RECORDING_RESERVE, 0);
  if (WriteAt(0, zeros.data(), zeros.size())) {
    writtenEnd_ = RECORDING_RESERVE;
    return true;
  }
  Close();
  std::filesystem::remove(path, error);
  return false;
}

bool RecordingFile::WriteAt(uint64_t position, const uint8_t* data, size_t size) {
  file_.clear();
  file_.seekp(static_cast<std::streamoff>(position));
  file_.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  file_.flush();
  return static_cast<bool>(file_);
}

bool RecordingFile::Append(const std::vector<uint8_t>& chunk) {
  if (!file_.is_open()) return false;
  const uint64_t needed = dataEnd_ + chunk.size() + RECORDING_RESERVE;
  if (needed > writtenEnd_) {
    // Only this can meet a full disk: the chunk itself goes where the
    // file already holds zeros.
    const std::vector<uint8_t> zeros(needed + RECORDING_GROWTH - writtenEnd_, 0);
    if (!WriteAt(writtenEnd_, zeros.data(), zeros.size())) return false;
    writtenEnd_ += zeros.size();
  }
  if (!WriteAt(dataEnd_, chunk.data(), chunk.size())) return false;
  dataEnd_ += chunk.size();
  return true;
}

bool RecordingFile::AppendIntoReserve(const std::vector<uint8_t>& chunk) {
  if (!file_.is_open() || chunk.size() > RECORDING_RESERVE) return false;
  if (!WriteAt(dataEnd_, chunk.data(), chunk.size())) return false;
  dataEnd_ += chunk.size();
  return true;
}

void RecordingFile::Close() {
  if (!file_.is_open()) return;
  file_.close();
  std::error_code error;
  std::filesystem::resize_file(path_, dataEnd_, error);
}
