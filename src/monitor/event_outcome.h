// What the main window makes of one monitoring event: the run-log line, the popup notice,
// the tray tooltip and the site's new last code. A plain decision, applied by the window.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "text/product_texts.h"

struct PopupNotice {
  std::wstring text;
  int seconds = 0;  // 0: the popup's default display time (60 s)

  bool operator==(const PopupNotice&) const = default;
};

struct EventOutcome {
  std::optional<std::wstring> logLine;  // the line to put on top of the run log
  std::optional<PopupNotice> popup;     // shown after the line is written, unless popupFirst
  bool popupFirst = false;              // the popup comes before the line
  std::optional<std::wstring> trayTip;  // the tooltip's new text
  int lastCode = 0;                     // the site's last code after this event
};

// "禾岚网站监控\n状态：<status text of code>"
std::wstring StatusTrayTip(int code);

// One event of the site with this index and address. previousLastCode is the code the
// window handled last for the site (200 at the start of a run); time stamps the line.
EventOutcome DescribeEvent(int code, int previousLastCode, int index, std::wstring_view url,
                           const SYSTEMTIME& time);
