// Lifetime, configuration and observations of the simulated device, and its worker thread.
#include "KsAsioDriver/sim/sim_state.h"

#include "KsAsioDriver/ks/ks_kernel.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>

namespace tx880::sim {

namespace {
std::atomic<SimKsSystem::State*> g_live{nullptr};
}  // namespace

SimKsSystem::State* LiveState() { return g_live.load(); }

std::int32_t RampSample(std::uint64_t frame, unsigned channel) {
  const auto top = static_cast<std::uint32_t>((frame * 2 + channel) & 0xFFFF);
  const std::uint32_t middle = channel == 0 ? 0x5A : 0xA5;
  return static_cast<std::int32_t>(top << 16 | middle << 8);
}

IdentityHandle::IdentityHandle() : handle_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  if (handle_ == nullptr) throw std::runtime_error("the simulated device cannot create a handle");
}

IdentityHandle::~IdentityHandle() {
  if (handle_ != nullptr) CloseHandle(handle_);
}

IdentityHandle::IdentityHandle(IdentityHandle&& other) noexcept : handle_(other.handle_) {
  other.handle_ = nullptr;
}

SimKsSystem::SimKsSystem() : state_(std::make_unique<State>()) {
  State* expected = nullptr;
  if (!g_live.compare_exchange_strong(expected, state_.get())) {
    throw std::logic_error("only one simulated kernel-streaming system may live at a time");
  }
  try {
    state_->worker = std::thread([state = state_.get()] { state->WorkerLoop(); });
  } catch (...) {
    g_live.store(nullptr);
    throw;
  }
  state_->savedTable = ks::Kernel();
  InstallKernelEntries(ks::Kernel());
}

SimKsSystem::~SimKsSystem() {
  {
    std::lock_guard lock(state_->mutex);
    state_->stopping = true;
  }
  state_->wake.notify_all();
  state_->worker.join();
  ks::Kernel() = state_->savedTable;
  g_live.store(nullptr);
  // Pending packets end as cancelled, so nothing waits on a device that is gone.
  std::lock_guard lock(state_->mutex);
  for (auto& pin : state_->pins) state_->CancelPackets(pin);
}

void SimKsSystem::AddFilter(SimFilterDescription filter) {
  for (auto& pin : filter.pins) pin = WithDefaults(std::move(pin));
  std::lock_guard lock(state_->mutex);
  state_->filters.push_back(std::move(filter));
}

void SimKsSystem::SetCompletion(Completion completion) {
  std::lock_guard lock(state_->mutex);
  state_->completion = completion;
}

void SimKsSystem::FailRequest(RequestKind kind, int occurrence, DWORD error) {
  std::lock_guard lock(state_->mutex);
  if (error == 0) {
    std::erase_if(state_->failures, [kind](const FailureRule& rule) { return rule.kind == kind; });
    return;
  }
  state_->failures.push_back({kind, occurrence, error});
}

void SimKsSystem::StallStreams(bool stalled) {
  std::lock_guard lock(state_->mutex);
  state_->stalled = stalled;
}

void SimKsSystem::SetClock(Clock clock) {
  {
    std::lock_guard lock(state_->mutex);
    state_->clock = clock;
    const auto now = std::chrono::steady_clock::now();
    for (auto& pin : state_->pins) {
      pin.runSince = now;
      pin.framesGranted = 0;
    }
  }
  state_->wake.notify_all();
}

void SimKsSystem::AdvanceFrames(std::uint64_t frames) {
  std::lock_guard lock(state_->mutex);
  if (state_->clock != Clock::Manual) return;
  for (auto& pin : state_->pins) state_->GrantFrames(pin, frames);
}

void SimKsSystem::SetCaptureSignal(CaptureSignal signal) {
  std::lock_guard lock(state_->mutex);
  state_->signal = signal ? std::move(signal) : CaptureSignal(RampSample);
}

std::vector<SimPinInstance> SimKsSystem::PinInstances() const {
  std::lock_guard lock(state_->mutex);
  std::vector<SimPinInstance> result;
  for (const auto& pin : state_->pins) result.push_back(pin.instance);
  return result;
}

std::vector<std::uint8_t> SimKsSystem::RenderedBytes() const {
  std::lock_guard lock(state_->mutex);
  return state_->rendered;
}

int SimKsSystem::OpenHandles() const {
  std::lock_guard lock(state_->mutex);
  return static_cast<int>(state_->handles.size());
}

int SimKsSystem::RequestCount(RequestKind kind) const {
  std::lock_guard lock(state_->mutex);
  return state_->requestCounts[static_cast<std::size_t>(kind)];
}

DWORD SimKsSystem::State::CountRequest(RequestKind kind) {
  const int count = ++requestCounts[static_cast<std::size_t>(kind)];
  for (const auto& rule : failures) {
    if (rule.kind == kind && (rule.occurrence == 0 || rule.occurrence == count)) return rule.error;
  }
  return 0;
}

HANDLE SimKsSystem::State::AddHandle(HandleKind kind, std::size_t index) {
  IdentityHandle identity;
  const HANDLE value = identity.get();
  handles.emplace(value, HandleEntry{kind, index, std::move(identity)});
  return value;
}

HandleEntry* SimKsSystem::State::FindHandle(HANDLE handle) {
  const auto found = handles.find(handle);
  return found == handles.end() ? nullptr : &found->second;
}

BOOL SimKsSystem::State::CompleteProperty(DWORD bytes, LPDWORD bytesReturned, LPOVERLAPPED overlapped) {
  if (completion == Completion::Synchronous || overlapped == nullptr) {
    if (bytesReturned != nullptr) *bytesReturned = bytes;
    if (overlapped != nullptr) {
      overlapped->Internal = 0;
      overlapped->InternalHigh = bytes;
    }
    return TRUE;
  }
  // The low bit of hEvent only keeps the completion off a completion port.
  const auto event = reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(overlapped->hEvent) &
                                              ~static_cast<ULONG_PTR>(1));
  overlapped->Internal = STATUS_PENDING;
  overlapped->InternalHigh = 0;
  deferred.push_back({event, overlapped, bytes});
  wake.notify_all();
  SetLastError(ERROR_IO_PENDING);
  return FALSE;
}

void SimKsSystem::State::WorkerLoop() {
  std::unique_lock lock(mutex);
  for (;;) {
    while (!deferred.empty()) {
      const DeferredCompletion done = deferred.front();
      deferred.pop_front();
      done.overlapped->Internal = 0;
      done.overlapped->InternalHigh = done.bytes;
      if (done.event != nullptr) SetEvent(done.event);
    }
    if (stopping) return;
    const bool ticking = clock == Clock::RealTime && std::ranges::any_of(pins, [](const PinRecord& pin) {
      return pin.instance.open && pin.instance.state == KSSTATE_RUN;
    });
    if (ticking) {
      RealTimeTick();
      wake.wait_for(lock, std::chrono::milliseconds(1));
    } else {
      // Nothing runs on the clock: sleep until a request, a state change or the end.
      wake.wait(lock);
    }
  }
}

}  // namespace tx880::sim
