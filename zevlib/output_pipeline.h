#pragma once
// Checksums and writes one piece of output on a second thread while the caller inflates the
// next, so a big entry costs little more than inflating it.
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace zevlib {

using DataSink = std::function<void(std::span<const std::uint8_t>)>;

class OutputPipeline {
 public:
  OutputPipeline(const DataSink& sink, std::size_t bufferSize);
  // Lets the piece in hand finish, then stops the thread.
  ~OutputPipeline();
  OutputPipeline(const OutputPipeline&) = delete;
  OutputPipeline& operator=(const OutputPipeline&) = delete;

  // Takes the first count bytes of buffer and hands back an empty buffer of the same size to
  // fill next. Rethrows what the sink threw for an earlier piece.
  void Push(std::vector<std::uint8_t>& buffer, std::size_t count);
  // Waits for every piece; the CRC-32 of all of them.
  std::uint32_t Finish();

 private:
  void Work();
  void WaitUntilIdle(std::unique_lock<std::mutex>& lock);

  const DataSink& sink_;
  std::vector<std::uint8_t> piece_;  // the worker's while busy_
  std::size_t pieceSize_ = 0;
  bool busy_ = false;
  bool stopping_ = false;
  std::exception_ptr failure_;
  std::uint32_t crc_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread worker_;
};

}  // namespace zevlib
