// The local network lost and back during a run of three sites, with the real main window
// and real workers ticking every 50 ms. Wine always reports the network up, so the
// workers' probe is replaced by one the test switches.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "local_http_server.h"
#include "main_window_support.h"
#include "test_seams.h"
#include "res/resource.h"
#include "ui/message_box_dlg.h"

namespace {

using test_support::LocalHttpServer;
using test_support::StatusReply;

constexpr wchar_t kNetDown[] = L"本机网络断线，请检查网线是否插好";
constexpr wchar_t kNetUp[] = L"本机网络恢复正常";

std::atomic<bool> g_networkUp{true};
bool TestNetworkProbe() { return g_networkUp; }

// The probe is the test's while this lives.
class NetworkSwitch {
 public:
  NetworkSwitch() {
    g_networkUp = true;
    test_support::SetNetworkProbe(&TestNetworkProbe);
  }
  ~NetworkSwitch() { test_support::SetNetworkProbe(nullptr); }
  NetworkSwitch(const NetworkSwitch&) = delete;
  NetworkSwitch& operator=(const NetworkSwitch&) = delete;
  void Set(bool up) { g_networkUp = up; }
};

// Every text put into the popup's message while this lives: one per popup shown with a
// new text. The window thread is the test's thread, so a hook on it sees each one.
class PopupTexts {
 public:
  PopupTexts() : hook_(::SetWindowsHookExW(WH_CALLWNDPROC, &Record, nullptr, ::GetCurrentThreadId())) {
    texts_.clear();
  }
  ~PopupTexts() {
    if (hook_) ::UnhookWindowsHookEx(hook_);
  }
  PopupTexts(const PopupTexts&) = delete;
  PopupTexts& operator=(const PopupTexts&) = delete;

  bool Hooked() const { return hook_ != nullptr; }
  size_t Count(const std::wstring& text) const { return static_cast<size_t>(std::count(texts_.begin(), texts_.end(), text)); }

 private:
  static LRESULT CALLBACK Record(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_SETTEXT && call->lParam &&
        ::GetDlgCtrlID(call->hwnd) == IDC_POPUP_MESSAGE) {
      texts_.emplace_back(reinterpret_cast<const wchar_t*>(call->lParam));
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
  }

  static inline std::vector<std::wstring> texts_;
  HHOOK hook_;
};

// The workers tick every 50 ms while this lives.
class FastTicks {
 public:
  FastTicks() { test_support::SetWorkerTickMilliseconds(50); }
  ~FastTicks() { test_support::SetWorkerTickMilliseconds(0); }
  FastTicks(const FastTicks&) = delete;
  FastTicks& operator=(const FastTicks&) = delete;
};

size_t CountLines(const std::vector<std::wstring>& log, const std::wstring& ending) {
  return static_cast<size_t>(
      std::count_if(log.begin(), log.end(), [&](const std::wstring& line) { return line.ends_with(L" " + ending); }));
}

TEST(NetworkLoss, EachSiteReportsTheLossAndTheReturnOnceAndItsCountdownResumes) {
  using test_support::WorkerTicks;
  LocalHttpServer server([](const test_support::HttpRequest&) { return StatusReply(200); });
  NetworkSwitch network;
  FastTicks fastTicks;
  MainWindowHarness harness;
  ASSERT_TRUE(harness.Open());
  std::vector<std::wstring> urls;
  for (int i = 1; i <= 3; ++i) urls.push_back(server.Url("/site" + std::to_string(i)));
  harness.SetSites(urls[0] + L"\r\n" + urls[1] + L"\r\n" + urls[2]);
  ::SendMessageW(harness.Control(IDC_INTERVAL), CB_SETCURSEL, 0, 0);  // "30秒": 30 ticks
  PopupTexts popups;
  ASSERT_TRUE(popups.Hooked());
  const unsigned long long startTicks = WorkerTicks();
  harness.Click(IDC_START);
  ASSERT_TRUE(harness.PumpUntil([&] { return WorkerTicks() >= startTicks + 6; }, 30000));

  // Down for 60 ticks (about 20 of each worker): one line and one popup per site, however
  // many times each worker repeats the event meanwhile.
  network.Set(false);
  const unsigned long long downTicks = WorkerTicks();
  EXPECT_TRUE(harness.PumpUntil([&] { return CountLines(harness.Log(), kNetDown) == 3; }, 30000));
  EXPECT_TRUE(harness.PumpUntil([&] { return WorkerTicks() >= downTicks + 60; }, 30000));
  EXPECT_EQ(CountLines(harness.Log(), kNetDown), 3u);
  EXPECT_EQ(popups.Count(kNetDown), 3u);
  EXPECT_EQ(harness.Dialog().Popup().Popup()->MessageText(), kNetDown);
  EXPECT_EQ(harness.Dialog().TrayTip(), std::wstring(L"禾岚网站监控\n状态：") + kNetDown);
  EXPECT_EQ(server.RequestCount(), 0u);

  // Back up: one line and one popup per site, and no more over the next ticks.
  network.Set(true);
  const unsigned long long upTicks = WorkerTicks();
  EXPECT_TRUE(harness.PumpUntil([&] { return CountLines(harness.Log(), kNetUp) == 3; }, 30000));
  EXPECT_TRUE(harness.PumpUntil([&] { return WorkerTicks() >= upTicks + 9; }, 30000));
  EXPECT_EQ(CountLines(harness.Log(), kNetUp), 3u);
  EXPECT_EQ(CountLines(harness.Log(), kNetDown), 3u);
  EXPECT_EQ(popups.Count(kNetUp), 3u);
  EXPECT_EQ(popups.Count(kNetDown), 3u);
  EXPECT_EQ(harness.Dialog().Popup().Popup()->MessageText(), kNetUp);
  EXPECT_EQ(harness.Dialog().TrayTip(), std::wstring(L"禾岚网站监控\n状态：") + kNetUp);

  // The countdowns stood still while the network was down: a worker checks 29 ticks after
  // Start, of which it had spent at most the ticks counted before the loss, so its check
  // comes at least the rest after the return (a countdown that ran on would check at once).
  const unsigned long long ticksBeforeDown = downTicks - startTicks;
  const unsigned long long leastAfterUp = ticksBeforeDown < 29 ? 29 - ticksBeforeDown : 0;
  std::map<std::wstring, unsigned long long> firstStatus;  // worker ticks since the return
  EXPECT_TRUE(harness.PumpUntil(
      [&] {
        const auto log = harness.Log();
        for (const auto& url : urls) {
          if (!firstStatus.count(url) && CountLines(log, url + L" 访问正常") > 0) firstStatus[url] = WorkerTicks() - upTicks;
        }
        return firstStatus.size() == urls.size();
      },
      60000));
  for (const auto& [url, ticks] : firstStatus) {
    std::printf("[measured] first status %llu worker ticks after the return (%llu before the loss)\n", ticks,
                ticksBeforeDown);
    EXPECT_GE(ticks, leastAfterUp);
  }
  EXPECT_EQ(server.RequestCount(), 3u);
  EXPECT_EQ(CountLines(harness.Log(), kNetDown), 3u);
  EXPECT_EQ(CountLines(harness.Log(), kNetUp), 3u);
  harness.Click(IDC_STOP);
}

}  // namespace
