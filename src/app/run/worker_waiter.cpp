#include "app/run/worker_waiter.h"

#include <algorithm>
#include <optional>

namespace {

// Drops every handle that has ended or cannot be waited on from `pending`; used only
// when a batch wait failed as a whole.
void DropEndedOneByOne(std::vector<HANDLE>& pending) {
  std::erase_if(pending, [](HANDLE thread) { return ::WaitForSingleObject(thread, 0) != WAIT_TIMEOUT; });
}

}  // namespace

void WorkerWaiter::Add(win::KernelHandle thread) {
  if (thread) threads_.push_back(std::move(thread));
}

bool WorkerWaiter::WaitAll() {
  const std::uint64_t generation = generation_;
  std::vector<HANDLE> pending;
  std::size_t scanned = 0;  // handles of threads_ copied into pending so far
  std::optional<WPARAM> quitCode;
  bool ours = true;

  for (;;) {
    // Workers added while this call waits are waited for too.
    for (; scanned < threads_.size(); ++scanned) pending.push_back(threads_[scanned].Get());
    if (pending.empty()) break;

    const DWORD count = static_cast<DWORD>(std::min(pending.size(), kBatchSize));
    // MWMO_INPUTAVAILABLE: wake for messages already queued too, not only for new ones,
    // since each wake takes just one message.
    const DWORD woke = ::MsgWaitForMultipleObjectsEx(count, pending.data(), INFINITE, QS_ALLINPUT,
                                                     MWMO_INPUTAVAILABLE);
    if (woke < WAIT_OBJECT_0 + count) {
      pending.erase(pending.begin() + (woke - WAIT_OBJECT_0));
      continue;
    }
    if (woke == WAIT_OBJECT_0 + count) {
      MSG msg{};
      // Peeking also delivers the messages the workers send synchronously.
      if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
          quitCode = msg.wParam;  // keep it for the message loop
        } else {
          ::DispatchMessageW(&msg);
        }
      }
      if (generation_ != generation) {
        ours = false;  // a nested wait ended the run and closed the handles
        break;
      }
      continue;
    }
    // Not expected for thread handles; look at them one by one so the wait cannot spin.
    DropEndedOneByOne(pending);
    ::Sleep(10);
  }

  if (quitCode) ::PostQuitMessage(static_cast<int>(*quitCode));
  if (!ours) return false;
  threads_.clear();
  ++generation_;
  return true;
}
