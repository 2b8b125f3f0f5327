#include "zevlib/output_pipeline.h"

#include <zlib.h>

namespace zevlib {

OutputPipeline::OutputPipeline(const DataSink& sink, std::size_t bufferSize)
    : sink_(sink), piece_(bufferSize), worker_([this] { Work(); }) {}

OutputPipeline::~OutputPipeline() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

void OutputPipeline::WaitUntilIdle(std::unique_lock<std::mutex>& lock) {
  changed_.wait(lock, [this] { return !busy_; });
  if (failure_) std::rethrow_exception(failure_);
}

void OutputPipeline::Push(std::vector<std::uint8_t>& buffer, std::size_t count) {
  {
    std::unique_lock lock(mutex_);
    WaitUntilIdle(lock);
    buffer.swap(piece_);
    buffer.resize(piece_.size());
    pieceSize_ = count;
    busy_ = true;
  }
  changed_.notify_all();
}

std::uint32_t OutputPipeline::Finish() {
  std::unique_lock lock(mutex_);
  WaitUntilIdle(lock);
  return crc_;
}

void OutputPipeline::Work() {
  uLong crc = crc32(0, nullptr, 0);
  for (;;) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return busy_ || stopping_; });
    if (!busy_) return;
    lock.unlock();
    // The caller does not touch piece_ while busy_ is set.
    try {
      if (!failure_) {
        crc = crc32_z(crc, piece_.data(), pieceSize_);
        sink_(std::span(piece_.data(), pieceSize_));
      }
    } catch (...) {
      lock.lock();
      failure_ = std::current_exception();
      lock.unlock();
    }
    lock.lock();
    crc_ = static_cast<std::uint32_t>(crc);
    busy_ = false;
    lock.unlock();
    changed_.notify_all();
  }
}

}  // namespace zevlib
