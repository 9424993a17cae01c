#include "app/run_log_view.h"

#include <commctrl.h>

#include "win/dpi.h"

namespace {

constexpr int kColumnMargin = 30;  // room for the vertical scroll bar, at 96 DPI

int ColumnWidth(HWND list) {
  RECT client{};
  ::GetClientRect(list, &client);
  return (client.right - client.left) - win::ScaleForDpi(kColumnMargin, win::DpiForWindow(list));
}

}  // namespace

void InitRunLogColumn(HWND list) {
  wchar_t heading[] = L"监控日志";
  LVCOLUMNW column{};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
  column.fmt = LVCFMT_LEFT;
  column.cx = ColumnWidth(list);
  column.pszText = heading;
  ::SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
}

void AddLogLine(HWND list, const std::wstring& text) {
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = 0;
  item.pszText = const_cast<wchar_t*>(text.c_str());
  ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void ClearRunLog(HWND list) { ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0); }

std::vector<std::wstring> RunLogLines(HWND list) {
  std::vector<std::wstring> lines;
  const int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    std::wstring text(512, L'\0');
    for (;;) {
      LVITEMW item{};
      item.iSubItem = 0;
      item.pszText = text.data();
      item.cchTextMax = static_cast<int>(text.size());
      const auto length = static_cast<size_t>(::SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item)));
      if (length + 1 < text.size()) {
        text.resize(length);
        break;
      }
      text.assign(text.size() * 2, L'\0');  // cut: ask again with more room
    }
    lines.push_back(std::move(text));
  }
  return lines;
}

void FitRunLogColumn(HWND list) { ::SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, ColumnWidth(list)); }
