#include "io/write_queue.h"

#include <algorithm>

#include "io/output_writer.h"

namespace decbytes {

WriteQueue::WriteQueue() : thread_([this] { Run(); }) {}

WriteQueue::~WriteQueue() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    ending_ = true;
  }
  queued_.notify_one();
  thread_.join();
}

void WriteQueue::Submit(OutputWriter& writer, char* data, std::size_t size, std::uint64_t start,
                        std::uint64_t mark) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    jobs_[(head_ + count_) % kMaxJobs] = {&writer, data, size, start, mark};
    ++count_;
  }
  queued_.notify_one();
}

char* WriteQueue::TakeFree(OutputWriter& writer) {
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [&writer] { return !writer.free_.empty(); });
  char* const buffer = writer.free_.back();
  writer.free_.pop_back();
  return buffer;
}

void WriteQueue::Drain() {
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [this] { return count_ == 0 && !busy_; });
}

// Takes the jobs in the order they were handed over and writes each outside
// the lock, then gives its buffer back; ends when told to and nothing is left.
void WriteQueue::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    queued_.wait(lock, [this] { return count_ > 0 || ending_; });
    if (count_ == 0) return;
    const Job job = jobs_[head_];
    head_ = (head_ + 1) % kMaxJobs;
    --count_;
    busy_ = true;
    lock.unlock();
    Write(job);
    lock.lock();
    busy_ = false;
    if (job.data != nullptr) job.writer->free_.push_back(job.data);
    done_.notify_all();
  }
}

// Writes a job's bytes unless its writer has failed, and none past the
// writer's limit. A failure sticks to the writer and cuts its companion at
// the point the failed block was handed over.
void WriteQueue::Write(const Job& job) {
  OutputWriter& writer = *job.writer;
  if (writer.failed() || job.start >= writer.writeLimit_) return;
  int error = 0;
  if (job.data == nullptr) {
    writer.truncateFailed_ = writer.truncate_(writer.fd_, 0) != 0;
    if (writer.truncateFailed_) error = errno;
  } else {
    const std::size_t size =
        static_cast<std::size_t>(std::min<std::uint64_t>(job.size, writer.writeLimit_ - job.start));
    error = WriteFully(writer.write_, writer.fd_, job.data, size);
  }
  if (error == 0) return;
  writer.error_.store(error);
  if (writer.companion_ != nullptr) writer.companion_->writeLimit_ = job.mark;
}

}  // namespace decbytes
