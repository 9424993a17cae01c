#include "app/run_log_view.h"

#include <commctrl.h>

namespace {

constexpr int kColumnMargin = 30;  // room for the vertical scroll bar

}  // namespace

void RunLogView::Attach(HWND list) {
  list_ = list;
  RECT client{};
  ::GetClientRect(list, &client);
  wchar_t heading[] = L"监控日志";
  LVCOLUMNW column{};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
  column.fmt = LVCFMT_LEFT;
  column.cx = (client.right - client.left) - kColumnMargin;
  column.pszText = heading;
  ::SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
}

void RunLogView::Add(const std::wstring& text) {
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = 0;
  item.pszText = const_cast<wchar_t*>(text.c_str());
  ::SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  const auto count = static_cast<int>(::SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0));
  if (count > kRunLogMaxLines) ::SendMessageW(list_, LVM_DELETEITEM, count - 1, 0);
}

void RunLogView::Clear() { ::SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0); }
