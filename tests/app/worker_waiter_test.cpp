// Waiting for a run's workers: many more than one wait call covers, workers that cannot
// end before the waiting thread handles their synchronous message, and a second wait
// started from a message dispatched by the first.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <optional>

#include "app/run/worker_waiter.h"
#include "message_window.h"

namespace {

constexpr UINT kHello = WM_APP + 1;  // sent by each worker as its last act
constexpr UINT kNest = WM_APP + 2;   // posted: start a second wait from inside the first

struct Shared {
  WorkerWaiter waiter;
  int hellos = 0;
  int nestedCalls = 0;
  std::optional<bool> nestedResult;
  HANDLE go = nullptr;
  HWND window = nullptr;
  DWORD uiThread = 0;
};

enum Extra : int { kNone = 0, kPostNest = 1, kPostQuit = 2 };
struct WorkerArgs {
  Shared* shared;
  int extra;
};

DWORD WINAPI Worker(LPVOID param) {
  auto* args = static_cast<WorkerArgs*>(param);
  ::WaitForSingleObject(args->shared->go, INFINITE);
  if (args->extra == kPostNest) ::PostMessageW(args->shared->window, kNest, 0, 0);
  if (args->extra == kPostQuit) ::PostThreadMessageW(args->shared->uiThread, WM_QUIT, 7, 0);
  ::SendMessageW(args->shared->window, kHello, 0, 0);
  return 0;
}

class WorkerWaiterTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(window_.Get(), nullptr);
    shared_.window = window_.Get();
    shared_.go = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    shared_.uiThread = ::GetCurrentThreadId();
  }
  void TearDown() override { ::CloseHandle(shared_.go); }

  void StartWorkers(int count, int firstExtra = kNone) {
    args_.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      args_[static_cast<size_t>(i)] = {&shared_, i == 0 ? firstExtra : kNone};
      HANDLE thread = ::CreateThread(nullptr, 0, &Worker, &args_[static_cast<size_t>(i)], 0, nullptr);
      ASSERT_NE(thread, nullptr);
      shared_.waiter.Add(win::KernelHandle(thread));
    }
    ::SetEvent(shared_.go);
  }

  Shared shared_;
  std::vector<WorkerArgs> args_;
  test_support::MessageWindow window_{[this](UINT message, WPARAM, LPARAM) {
    if (message == kHello) ++shared_.hellos;
    if (message == kNest) {
      ++shared_.nestedCalls;
      shared_.nestedResult = shared_.waiter.WaitAll();
    }
    return message == kHello || message == kNest;
  }};
};

TEST_F(WorkerWaiterTest, WaitsForMoreWorkersThanOneWaitCovers) {
  for (int count : {0, 1, 63, 64, 150}) {
    SCOPED_TRACE(count);
    ::ResetEvent(shared_.go);
    shared_.hellos = 0;
    StartWorkers(count);
    EXPECT_EQ(shared_.waiter.Count(), static_cast<size_t>(count));
    EXPECT_TRUE(shared_.waiter.WaitAll());
    EXPECT_EQ(shared_.hellos, count);  // every synchronous message got through
    EXPECT_EQ(shared_.waiter.Count(), 0u);
  }
}

TEST_F(WorkerWaiterTest, NestedWaitFinishesTheRunAndTheOuterOneLeavesIt) {
  StartWorkers(100, kPostNest);
  const bool outer = shared_.waiter.WaitAll();
  EXPECT_FALSE(outer);  // the run was finished by the wait inside it
  EXPECT_EQ(shared_.nestedCalls, 1);
  ASSERT_TRUE(shared_.nestedResult.has_value());
  EXPECT_TRUE(*shared_.nestedResult);  // exactly one of the two releases the run
  EXPECT_EQ(shared_.hellos, 100);
  EXPECT_EQ(shared_.waiter.Count(), 0u);
  // The waiter is usable for the next run.
  StartWorkers(3);
  EXPECT_TRUE(shared_.waiter.WaitAll());
}

TEST_F(WorkerWaiterTest, QuitMessageMetWhileWaitingIsKeptForTheLoop) {
  StartWorkers(5, kPostQuit);
  EXPECT_TRUE(shared_.waiter.WaitAll());
  MSG msg{};
  ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 7u);
}

}  // namespace
