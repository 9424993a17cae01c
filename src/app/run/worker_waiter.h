// The worker threads of a run and the wait for their end. The wait keeps the calling
// (window) thread's messages flowing, because each worker's last act is a message sent
// synchronously to the window: it cannot end before the window has handled it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "win/unique_handle.h"

class WorkerWaiter {
 public:
  // Handles one wait call covers: the system's limit less the slot of the message queue.
  // More workers are waited for batch after batch.
  static constexpr std::size_t kBatchSize = MAXIMUM_WAIT_OBJECTS - 1;

  WorkerWaiter() = default;
  WorkerWaiter(const WorkerWaiter&) = delete;
  WorkerWaiter& operator=(const WorkerWaiter&) = delete;

  // Takes over a started worker's handle; an empty handle is ignored.
  void Add(win::KernelHandle thread);
  std::size_t Count() const { return threads_.size(); }

  // Waits until every added worker has ended, dispatching one message of this thread's
  // queue on each wake that is not a worker's end. Returns true when this call saw the
  // end: every handle is closed and the waiter is empty, and the caller may now release
  // what the workers used. Returns false when a wait started by a dispatched message
  // (the window closed while a Stop waits) finished the same work first: the handles are
  // already closed and released by that call, and the caller must leave the run alone.
  // A quit message met while waiting is posted again once the wait is over.
  bool WaitAll();

 private:
  std::vector<win::KernelHandle> threads_;
  std::uint64_t generation_ = 0;  // advances whenever a wait finishes
};
