// The message loop: filter order and consumption, when idle passes happen, exit codes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "win/app_module.h"
#include "win/message_loop.h"

namespace {

std::vector<std::string> g_log;

// Records the messages it sees; consumes those it is told to.
class RecordingFilter : public CMessageFilter {
 public:
  RecordingFilter(std::string name, UINT consumes) : name_(std::move(name)), consumes_(consumes) {}
  BOOL PreTranslateMessage(MSG* msg) override {
    if (msg->message < WM_APP) return FALSE;
    g_log.push_back(name_ + ":" + std::to_string(msg->message - WM_APP));
    return msg->message == consumes_;
  }

 private:
  std::string name_;
  UINT consumes_;
};

// Posts a scripted message on each idle pass; the last script entry is the quit code.
class ScriptedIdle : public CIdleHandler {
 public:
  explicit ScriptedIdle(std::vector<UINT> posts) : posts_(std::move(posts)) {}
  BOOL OnIdle() override {
    g_log.push_back("idle");
    if (next_ + 1 < posts_.size()) {
      ::PostThreadMessageW(::GetCurrentThreadId(), posts_[next_++], 0, 0);
    } else if (next_ < posts_.size()) {
      ::PostQuitMessage(static_cast<int>(posts_[next_++]));
    }
    return TRUE;  // the loop must make a single pass whatever the handler answers
  }

 private:
  std::vector<UINT> posts_;
  size_t next_ = 0;
};

void DrainQueue() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}

}  // namespace

TEST(MessageLoop, FiltersAreTriedNewestFirstAndTheFirstConsumerWins) {
  DrainQueue();
  g_log.clear();
  CMessageLoop loop;
  RecordingFilter older("older", 0), newer("newer", WM_APP + 1);
  loop.AddMessageFilter(&older);
  loop.AddMessageFilter(&newer);
  ::PostThreadMessageW(::GetCurrentThreadId(), WM_APP + 1, 0, 0);  // consumed by newer
  ::PostThreadMessageW(::GetCurrentThreadId(), WM_APP + 2, 0, 0);  // offered to both
  ::PostQuitMessage(0);
  EXPECT_EQ(0, loop.Run());
  EXPECT_EQ((std::vector<std::string>{"newer:1", "newer:2", "older:2"}), g_log);

  // A removed filter is no longer offered anything.
  g_log.clear();
  EXPECT_TRUE(loop.RemoveMessageFilter(&newer));
  EXPECT_FALSE(loop.RemoveMessageFilter(&newer));
  ::PostThreadMessageW(::GetCurrentThreadId(), WM_APP + 3, 0, 0);
  ::PostQuitMessage(0);
  loop.Run();
  EXPECT_EQ((std::vector<std::string>{"older:3"}), g_log);
}

TEST(MessageLoop, MouseMovesPaintAndCaretBlinkDoNotEarnAnIdlePass) {
  for (UINT quiet : {UINT(WM_MOUSEMOVE), UINT(WM_NCMOUSEMOVE), UINT(WM_PAINT), UINT(0x0118)}) {
    DrainQueue();
    g_log.clear();
    CMessageLoop loop;
    // idle #1 posts the quiet message and then an ordinary one arrives through the filter;
    // only the ordinary one re-arms idle processing, so idle #2 quits with 7.
    class ChainFilter : public CMessageFilter {
     public:
      explicit ChainFilter(UINT quiet) : quiet_(quiet) {}
      BOOL PreTranslateMessage(MSG* msg) override {
        if (msg->message == quiet_) {
          g_log.push_back("quiet");
          ::PostThreadMessageW(::GetCurrentThreadId(), WM_APP + 9, 0, 0);
          return TRUE;
        }
        if (msg->message == WM_APP + 9) g_log.push_back("ordinary");
        return msg->message == WM_APP + 9;
      }
      UINT quiet_;
    } filter(quiet);
    ScriptedIdle idle({quiet, 7});
    loop.AddMessageFilter(&filter);
    loop.AddIdleHandler(&idle);
    EXPECT_EQ(7, loop.Run()) << quiet;
    EXPECT_EQ((std::vector<std::string>{"idle", "quiet", "ordinary", "idle"}), g_log) << quiet;
  }
}

TEST(MessageLoop, AfterAnyOtherMessageExactlyOneIdlePassRuns) {
  DrainQueue();
  g_log.clear();
  CMessageLoop loop;
  ScriptedIdle idle({WM_APP + 1, WM_APP + 2, 3});
  RecordingFilter filter("f", 0);
  loop.AddMessageFilter(&filter);
  loop.AddIdleHandler(&idle);
  EXPECT_EQ(3, loop.Run());
  EXPECT_EQ((std::vector<std::string>{"idle", "f:1", "idle", "f:2", "idle"}), g_log);
}

TEST(AppModule, LoopTableIsPerThread) {
  CAppModule module;
  module.Init(::GetModuleHandleW(nullptr));
  CMessageLoop loop;
  EXPECT_EQ(nullptr, module.GetMessageLoop());
  EXPECT_TRUE(module.AddMessageLoop(&loop));
  EXPECT_EQ(&loop, module.GetMessageLoop());
  CMessageLoop* seenByOtherThread = &loop;
  std::thread([&] { seenByOtherThread = module.GetMessageLoop(); }).join();
  EXPECT_EQ(nullptr, seenByOtherThread);
  EXPECT_TRUE(module.RemoveMessageLoop());
  EXPECT_EQ(nullptr, module.GetMessageLoop());
  module.Term();
}
