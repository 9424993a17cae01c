#include "net/abandonable_run.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

constexpr auto kFlagPollInterval = std::chrono::milliseconds(50);

// The work and its end, shared by the pool thread that runs it and the caller waiting for
// it: whichever of the two lets go last frees it. done is guarded by mutex.
struct RunSlot {
  std::function<void()> work;
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
};

// Runs on a thread of the pool; context is a heap-held share of the slot, which the
// callback owns.
void CALLBACK RunWork(PTP_CALLBACK_INSTANCE instance, void* context) noexcept {
  const std::unique_ptr<std::shared_ptr<RunSlot>> share(static_cast<std::shared_ptr<RunSlot>*>(context));
  RunSlot& slot = **share;
  // The work may block until a time-out: the pool starts another thread for other work
  // rather than letting it queue behind this one.
  CallbackMayRunLong(instance);
  try {
    slot.work();
  } catch (...) {
  }
  std::lock_guard<std::mutex> lock(slot.mutex);
  slot.done = true;
  slot.finished.notify_all();
}

}  // namespace

bool QueueOnThreadPool(PTP_SIMPLE_CALLBACK callback, void* context) {
  return TrySubmitThreadpoolCallback(callback, context, nullptr) != FALSE;
}

RunEnd RunAbandonable(std::function<void()> work, const std::atomic<bool>& stop, const std::atomic<bool>& quit,
                      PoolQueue queue) {
  std::shared_ptr<RunSlot> slot;
  try {
    slot = std::make_shared<RunSlot>();
    slot->work = std::move(work);
    auto share = std::make_unique<std::shared_ptr<RunSlot>>(slot);
    // The pool keeps its threads for a while between runs, so a check does not pay for
    // starting a thread (several milliseconds on some systems) while checks keep coming.
    if (!queue(RunWork, share.get())) return RunEnd::kNotQueued;
    share.release();  // the callback owns it now
  } catch (...) {
    return RunEnd::kNoMemory;
  }

  std::unique_lock<std::mutex> lock(slot->mutex);
  while (!slot->done) {
    if (stop || quit) return RunEnd::kAbandoned;
    slot->finished.wait_for(lock, kFlagPollInterval);
  }
  return RunEnd::kFinished;
}
