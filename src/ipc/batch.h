#pragma once
// One request list for every thread that is waiting when it goes out, as a
// group commit. A simulator serves request lists inside its own frame loop,
// one per frame: threads that each sent a list of their own would wait a
// frame per thread, and at 5 frames per second a switch would arrive seconds
// late.
//
// A caller gathers its requests in a batch, in its own order, and hands it
// to ExchangeBatch. The first caller that finds nobody building a list leads:
// it takes the "FSUIPC" lock, puts every batch waiting at that moment into
// the list (each whole, in the order they came, as many as one list holds),
// has it executed and gives every caller in it the outcome; batches that did
// not fit, or came meanwhile, go in the next list. While no frame is known
// and nobody leads, a caller's batch goes out at once as a list of its own.

#include <cstddef>
#include <cstdint>
#include <vector>

class IpcBatch {
 public:
  // False (nothing queued) when the batch would no longer fit in one list.
  bool Read(uint32_t offset, uint32_t size, void* destination);
  bool Write(uint32_t offset, uint32_t size, const void* source);
  bool empty() const { return requests_.empty(); }
  // Bytes the batch takes in a request list, without the terminator.
  uint32_t listBytes() const { return listBytes_; }
  void Clear();

  // Queues the batch into the link's list (under the lock); false with the
  // link's code when a request could not be queued.
  bool QueueInto(uint32_t& code) const;

 private:
  struct Request {
    bool read;
    uint32_t offset;
    uint32_t size;
    void* destination;  // reads
    size_t dataAt;      // writes: where their bytes are in data_
  };
  std::vector<Request> requests_;
  std::vector<uint8_t> data_;
  uint32_t listBytes_ = 0;
};

// True when the list that carried the batch was executed and its reads are
// at their destinations. False when that list failed (every batch in it
// fails), when the link is not open, or when no list took the batch within
// the lock's wait, which is reported as the lock reports it, with the
// caller's name. Returns only once no list holds the batch any more.
bool ExchangeBatch(IpcBatch& batch, const char* caller);

// The same for writes whose caller need not wait for them (the changes of
// the network, while the network goes on arriving): true when the batch is
// handed over, and cleared. Only while a list is out or held for a frame's
// end does it return before the writes are made; otherwise it is
// ExchangeBatch. A write that fails later is lost, as a write that failed.
bool PostBatch(IpcBatch& batch, const char* caller);

// Batches waiting for a list now (diagnostics and tests).
size_t BatchesWaiting();
// Lists held back since the start to go out just before a frame's end.
uint64_t IpcListsHeld();
