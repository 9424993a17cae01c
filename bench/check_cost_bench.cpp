#include "check_cost_bench.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "build_config.h"
#include "local_http_server.h"
#include "monitor/http_check.h"
#include "win/internet_handle.h"
#include "stopwatch.h"

using win::InternetHandle;

namespace {

struct Kind {
  const char* name;
  std::function<bool()> check;
  std::vector<double> ms;
  int failures = 0;
};

double Mean(const std::vector<double>& values) {
  double sum = 0;
  for (double v : values) sum += v;
  return values.empty() ? 0 : sum / static_cast<double>(values.size());
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

bool BareWinInetCheck(const std::wstring& url) {
  InternetHandle session(InternetOpenW(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, INTERNET_FLAG_DONT_CACHE));
  if (!session) return false;
  InternetHandle request(InternetOpenUrlW(session.Get(), url.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0));
  if (!request) return false;
  wchar_t status[25] = {};
  DWORD size = sizeof status;
  return HttpQueryInfoW(request.Get(), HTTP_QUERY_STATUS_CODE, status, &size, nullptr) && std::wstring(status) == L"200";
}

void BenchCheckCost(BenchTable& table, int checks) {
  test_support::LocalHttpServer server([](const test_support::HttpRequest&) {
    return test_support::StatusReply(200, "<html>ok</html>");
  });
  const std::wstring url = server.Url("/");
  const std::atomic<bool> stop{false};
  const std::atomic<bool> quit{false};
  const auto isOk = [](const HttpCheckOutcome& o) { return o.result == HttpCheckResult::kStatusRead && o.status == 200; };

  std::vector<Kind> kinds;
  kinds.push_back({"worker check path (RunAbandonableCheck)",
                   [&] { return isOk(RunAbandonableCheck(url, build_config::kRequestTimeoutMs, stop, quit)); }});
  kinds.push_back({"bare WinINet (InternetOpenUrl)", [&] { return BareWinInetCheck(url); }});
  // Where the time goes: the request without any thread hand-over, and with a thread
  // started for it (as the check path did before it used the thread pool).
  kinds.push_back({"request alone, same thread (CheckAddress)",
                   [&] { return isOk(CheckAddress(url, build_config::kRequestTimeoutMs)); }});
  kinds.push_back({"a new thread per check", [&] {
                     bool ok = false;
                     std::thread([&] { ok = isOk(CheckAddress(url, build_config::kRequestTimeoutMs)); }).join();
                     return ok;
                   }});

  for (int warm = 0; warm < 10; ++warm) {
    for (Kind& kind : kinds) kind.check();
  }
  for (int i = 0; i < checks; ++i) {
    for (size_t k = 0; k < kinds.size(); ++k) {
      Kind& kind = kinds[(i + k) % kinds.size()];
      Stopwatch watch;
      const bool ok = kind.check();
      kind.ms.push_back(watch.Milliseconds());
      if (!ok) ++kind.failures;
    }
  }

  const double worker = Mean(kinds[0].ms);
  const double bare = Mean(kinds[1].ms);
  for (const Kind& kind : kinds) {
    table.AddInfo(std::string("site check, ") + kind.name,
                  Fixed(Mean(kind.ms), 3) + " ms/check (median " + Fixed(Median(kind.ms), 3) + ", N=" +
                      std::to_string(kind.ms.size()) + (kind.failures ? ", " + std::to_string(kind.failures) + " failed" : "") + ")");
  }
  table.AddBounded("site check ratio, worker path / bare WinINet", worker / bare, "x", 1.10, 3);
}
