#include "app/main_window/run_log_view.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <vector>

#include "win/dpi.h"

namespace {

constexpr int kColumnMargin = 30;  // room for the vertical scroll bar, at 96 DPI

int ColumnWidth(HWND list) {
  RECT client{};
  ::GetClientRect(list, &client);
  return (client.right - client.left) - win::ScaleForDpi(kColumnMargin, win::DpiForWindow(list));
}

}  // namespace

RunLogView::~RunLogView() { StopShowTimer(); }

void RunLogView::Attach(HWND list) {
  list_ = list;
  wchar_t heading[] = L"监控日志";
  LVCOLUMNW column{};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
  column.fmt = LVCFMT_LEFT;
  column.cx = ColumnWidth(list);
  column.pszText = heading;
  ::SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
}

void RunLogView::Add(std::wstring text) {
  lines_.push_front(std::move(text));
  ++unshown_;
  // The timer's id is this object, which its callback gets back.
  if (!showTimer_ && unshown_ < kRunLogMaxLines) {
    showTimer_ = ::SetTimer(list_, reinterpret_cast<UINT_PTR>(this), kShowDelayMs, &RunLogView::OnShowTimer) != 0;
  }
  if (!showTimer_) ShowNewLines();  // no timer, or so many lines wait: show them now
}

void CALLBACK RunLogView::OnShowTimer(HWND, UINT, UINT_PTR self, DWORD) noexcept {
  try {
    reinterpret_cast<RunLogView*>(self)->ShowNewLines();
  } catch (...) {
    // Out of memory noting the selection: the lines are shown with the next one.
  }
}

void RunLogView::StopShowTimer() {
  if (showTimer_ && ::IsWindow(list_)) ::KillTimer(list_, reinterpret_cast<UINT_PTR>(this));
  showTimer_ = false;
}

void RunLogView::Clear() {
  StopShowTimer();
  lines_.clear();
  unshown_ = 0;
  ::SendMessageW(list_, LVM_SETITEMCOUNT, 0, 0);
}

// The list view numbers its lines from the top, so new lines on top move every line's
// number: selected lines follow their text (the focus goes with the first of them). The
// list view finds selected lines by walking its lines, so that walk is taken only when
// something is selected, and stops at the last selected line.
void RunLogView::ShowNewLines() {
  StopShowTimer();
  const int shift = unshown_;
  unshown_ = 0;
  std::vector<int> selected;
  auto remaining = static_cast<int>(::SendMessageW(list_, LVM_GETSELECTEDCOUNT, 0, 0));
  for (int i = -1; remaining-- > 0;) {
    i = static_cast<int>(::SendMessageW(list_, LVM_GETNEXTITEM, i, LVNI_SELECTED));
    if (i < 0) break;
    selected.push_back(i);
  }
  // The oldest lines go only now: until the list view learns of the new ones it may still
  // ask for them.
  if (lines_.size() > static_cast<size_t>(kRunLogMaxLines)) lines_.resize(kRunLogMaxLines);
  const int count = static_cast<int>(lines_.size());
  ::SendMessageW(list_, LVM_SETITEMCOUNT, count, LVSICF_NOSCROLL);
  if (selected.empty() || shift == 0) return;
  LVITEMW state{};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  ::SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
  for (const int i : selected) {
    if (i + shift >= count) continue;
    state.state = i == selected.front() ? LVIS_SELECTED | LVIS_FOCUSED : LVIS_SELECTED;
    ::SendMessageW(list_, LVM_SETITEMSTATE, i + shift, reinterpret_cast<LPARAM>(&state));
  }
}

bool RunLogView::AnswerTextRequest(LPARAM notification) const {
  auto* info = reinterpret_cast<NMLVDISPINFOW*>(notification);
  if (!info || !list_ || info->hdr.hwndFrom != list_ || info->hdr.code != LVN_GETDISPINFOW) return false;
  LVITEMW& item = info->item;
  if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return true;
  // The list view's line i is the i-th below the lines it has not been told of yet.
  const auto index = static_cast<size_t>(item.iItem) + static_cast<size_t>(unshown_);
  if (item.iItem < 0 || index >= lines_.size() || item.iSubItem != 0) {
    item.pszText[0] = L'\0';
    return true;
  }
  // Copied into the caller's buffer, cut to its size: the request may come from another
  // program, which reads back only its own buffer.
  const std::wstring& line = lines_[index];
  const size_t length = std::min(line.size(), static_cast<size_t>(item.cchTextMax) - 1);
  std::wmemcpy(item.pszText, line.data(), length);
  item.pszText[length] = L'\0';
  return true;
}

void RunLogView::FitColumn() { ::SendMessageW(list_, LVM_SETCOLUMNWIDTH, 0, ColumnWidth(list_)); }
