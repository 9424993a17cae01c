#include "monitor/event_outcome.h"

#include "monitor/monitor_events.h"
#include "monitor/run_log_lines.h"

namespace {

// How long the popup shows a notice, by what the event says.
constexpr int kLongNotice = 0;  // the popup's default: worth a minute of attention
constexpr int kGoodNewsSeconds = 3;
constexpr int kNetworkBackSeconds = 5;
constexpr int kHttpProblemSeconds = 10;

bool InRange(int code, int first, int last) { return code >= first && code <= last; }

}  // namespace

std::wstring StatusTrayTip(int code) {
  std::wstring tip = kProductTitle;
  tip += L"\n状态：";
  tip += StatusText(code);
  return tip;
}

EventOutcome DescribeEvent(int code, int previousLastCode, int index, std::wstring_view url,
                           const SYSTEMTIME& time) {
  EventOutcome outcome;
  outcome.lastCode = code;
  outcome.trayTip = StatusTrayTip(code);
  const std::wstring status = StatusText(code);

  switch (code) {
    case EV_THREAD_EXIT:
      outcome.logLine = ThreadLine(time, index, status);
      return outcome;
    case EV_NET_DOWN:
      // Every worker repeats this once a second while the network is down: announce it
      // once per site, refresh only the tooltip afterwards.
      if (previousLastCode != EV_NET_DOWN) {
        outcome.logLine = PlainLine(time, status);
        outcome.popup = PopupNotice{status, kLongNotice};
      }
      return outcome;
    case EV_NET_UP:
      // Only news after an outage this site reported; otherwise nothing changes at all.
      if (previousLastCode != EV_NET_DOWN) {
        outcome.trayTip.reset();
        outcome.lastCode = previousLastCode;
        return outcome;
      }
      outcome.logLine = PlainLine(time, status);
      outcome.popup = PopupNotice{status, kNetworkBackSeconds};
      outcome.popupFirst = true;
      return outcome;
    case EV_NET_INIT_FAILED:
      outcome.logLine = SiteLine(time, url, status);
      return outcome;
    case EV_SITE_UNREACHABLE:
    case EV_MAIL_FAILED:
    case EV_MAIL_SENT:
      outcome.logLine = SiteLine(time, url, status);
      outcome.popup = PopupNotice{*outcome.logLine, kLongNotice};
      return outcome;
    default:
      break;
  }

  if (code < 100) {
    outcome.logLine = kUnknownStatusText;
    return outcome;
  }
  outcome.logLine = SiteLine(time, url, status);
  if (InRange(code, 200, 299)) {
    // A site that keeps answering is logged at every check but announced only when it
    // comes back from some other state.
    if (previousLastCode / 100 != 2) outcome.popup = PopupNotice{*outcome.logLine, kGoodNewsSeconds};
  } else if (InRange(code, 300, 599)) {
    outcome.popup = PopupNotice{*outcome.logLine, kHttpProblemSeconds};
  }
  return outcome;
}
