// A thread that makes the writes of a transfer while the converting thread
// goes on: the blocks of the output and of the report, in the order they
// were handed over, each with the write calls the converting thread would
// have made itself. The converting thread waits for a free buffer when all
// of a writer's buffers are in flight, so memory stays bounded.
#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

namespace decbytes {

class OutputWriter;

class WriteQueue {
 public:
  // Starts the writing thread; throws std::system_error when it cannot.
  WriteQueue();
  // Writes what is still queued, then ends the thread.
  ~WriteQueue();
  WriteQueue(const WriteQueue&) = delete;
  WriteQueue& operator=(const WriteQueue&) = delete;

  // Hands over `size` bytes at `data`, a buffer of `writer`'s, to be
  // written after everything handed over before. `start` is the place of
  // the first byte among all the bytes `writer` has collected, and `mark`
  // how many bytes the writer's companion (see OutputWriter::CutsWith) had
  // collected when these were handed over. No data (nullptr) asks for the
  // writer's file to be truncated to nothing.
  void Submit(OutputWriter& writer, char* data, std::size_t size, std::uint64_t start,
              std::uint64_t mark);

  // Returns a free buffer of `writer`'s, waiting until one is written out.
  char* TakeFree(OutputWriter& writer);

  // Waits until everything handed over has been written or dropped.
  void Drain();

 private:
  struct Job {
    OutputWriter* writer;
    char* data;
    std::size_t size;
    std::uint64_t start;
    std::uint64_t mark;
  };

  void Run();
  static void Write(const Job& job);

  static constexpr std::size_t kMaxJobs = 16;  // more than all buffers in flight

  std::mutex mutex_;
  std::condition_variable queued_;  // a job was handed over, or the end
  std::condition_variable done_;    // a job was written or dropped
  std::array<Job, kMaxJobs> jobs_{};
  std::size_t head_ = 0;   // the next job to write
  std::size_t count_ = 0;  // jobs handed over and not yet written
  bool busy_ = false;      // the thread is writing a job it took
  bool ending_ = false;
  std::thread thread_;
};

}  // namespace decbytes
