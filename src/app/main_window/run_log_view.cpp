#include "app/main_window/run_log_view.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <string_view>
#include <vector>

#include "win/dpi.h"

namespace {

constexpr int kColumnMargin = 30;  // room for the vertical scroll bar, at 96 DPI

int ColumnWidth(HWND list) {
  RECT client{};
  ::GetClientRect(list, &client);
  return (client.right - client.left) - win::ScaleForDpi(kColumnMargin, win::DpiForWindow(list));
}

void SetState(HWND list, int item, UINT mask, UINT state) {
  LVITEMW change{};
  change.stateMask = mask;
  change.state = state;
  ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&change));
}

// Whether line starts with wanted (or is it, when whole), ignoring case as typing does.
bool Matches(const std::wstring& line, std::wstring_view wanted, bool whole) {
  if (line.size() < wanted.size() || (whole && line.size() != wanted.size())) return false;
  if (wanted.empty()) return true;
  const int length = static_cast<int>(wanted.size());
  return ::CompareStringOrdinal(line.data(), length, wanted.data(), length, TRUE) == CSTR_EQUAL;
}

}  // namespace

RunLogView::~RunLogView() {
  if (drawTimer_ && ::IsWindow(list_)) ::KillTimer(list_, reinterpret_cast<UINT_PTR>(this));
}

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

// The list view is told the new number with its drawing held: a new number otherwise makes
// it update and draw its scroll bar at once, tens of milliseconds under Wine. Every line it
// shows has moved down by one, so it is drawn again as a whole when the drawing resumes.
void RunLogView::Add(std::wstring text) {
  HoldDrawing();
  const size_t before = lines_.size();
  lines_.push_front(std::move(text));
  if (lines_.size() > static_cast<size_t>(kRunLogMaxLines)) lines_.pop_back();
  const int count = static_cast<int>(lines_.size());
  if (lines_.size() != before) {
    ::SendMessageW(list_, LVM_SETITEMCOUNT, count, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
  }
  FollowLinesDown(count);
  if (!drawTimer_) ResumeDrawing();  // no timer to resume it later
}

// The list view numbers its lines from the top, so a new line on top moves every line's
// number by one: the selected lines, the focus and the selection mark (the anchor of a
// Shift-click) are moved with their lines. The list view finds the focused and selected
// lines by walking its lines, so that is done only once the user has marked a line.
void RunLogView::FollowLinesDown(int count) {
  const auto mark = static_cast<int>(::SendMessageW(list_, LVM_GETSELECTIONMARK, 0, 0));
  auto selectedCount = static_cast<int>(::SendMessageW(list_, LVM_GETSELECTEDCOUNT, 0, 0));
  if (mark < 0 && selectedCount == 0) return;
  std::vector<int> selected;
  for (int i = -1; selectedCount-- > 0;) {
    i = static_cast<int>(::SendMessageW(list_, LVM_GETNEXTITEM, i, LVNI_SELECTED));
    if (i < 0) break;
    selected.push_back(i);
  }
  const auto focused = static_cast<int>(::SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
  const auto isSelected = [&](int i) { return std::binary_search(selected.begin(), selected.end(), i); };
  // Only the ends of each selected run change: its first line leaves, the line after its
  // last joins (unless that one fell off the bottom).
  for (const int i : selected) {
    if (!isSelected(i - 1)) SetState(list_, i, LVIS_SELECTED, 0);
  }
  for (const int i : selected) {
    if (!isSelected(i + 1) && i + 1 < count) SetState(list_, i + 1, LVIS_SELECTED, LVIS_SELECTED);
  }
  if (focused >= 0) {
    if (focused + 1 < count) {
      SetState(list_, focused + 1, LVIS_FOCUSED, LVIS_FOCUSED);
    } else {
      SetState(list_, focused, LVIS_FOCUSED, 0);
    }
  }
  if (mark >= 0) ::SendMessageW(list_, LVM_SETSELECTIONMARK, 0, mark + 1 < count ? mark + 1 : -1);
}

void RunLogView::HoldDrawing() {
  if (drawTimer_) return;
  ::SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  // The timer's id is this object, which its callback gets back.
  drawTimer_ = ::SetTimer(list_, reinterpret_cast<UINT_PTR>(this), kDrawDelayMs, &RunLogView::OnDrawTimer) != 0;
}

void CALLBACK RunLogView::OnDrawTimer(HWND, UINT, UINT_PTR self, DWORD) noexcept {
  reinterpret_cast<RunLogView*>(self)->ResumeDrawing();
}

void RunLogView::ResumeDrawing() {
  if (drawTimer_ && ::IsWindow(list_)) ::KillTimer(list_, reinterpret_cast<UINT_PTR>(this));
  drawTimer_ = false;
  ::SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(list_, nullptr, TRUE);
}

void RunLogView::DrawNow() {
  if (!drawTimer_) return;
  ResumeDrawing();
  ::UpdateWindow(list_);
}

void RunLogView::Clear() {
  if (drawTimer_) ResumeDrawing();
  lines_.clear();
  ::SendMessageW(list_, LVM_SETITEMCOUNT, 0, 0);
  ::SendMessageW(list_, LVM_SETSELECTIONMARK, 0, -1);
}

bool RunLogView::AnswerTextRequest(LPARAM notification) const {
  auto* info = reinterpret_cast<NMLVDISPINFOW*>(notification);
  if (!info || !list_ || info->hdr.hwndFrom != list_ || info->hdr.code != LVN_GETDISPINFOW) return false;
  LVITEMW& item = info->item;
  if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return true;
  if (item.iItem < 0 || static_cast<size_t>(item.iItem) >= lines_.size() || item.iSubItem != 0) {
    item.pszText[0] = L'\0';
    return true;
  }
  // Copied into the caller's buffer, cut to its size: the request may come from another
  // program, which reads back only its own buffer.
  const std::wstring& line = lines_[static_cast<size_t>(item.iItem)];
  const size_t length = std::min(line.size(), static_cast<size_t>(item.cchTextMax) - 1);
  std::wmemcpy(item.pszText, line.data(), length);
  item.pszText[length] = L'\0';
  return true;
}

// From the line the search starts at downwards, and on from the top when it may wrap.
// Only searches by text are answered; any other kind finds nothing.
bool RunLogView::AnswerFindRequest(LPARAM notification, LRESULT& result) const {
  auto* find = reinterpret_cast<NMLVFINDITEMW*>(notification);
  if (!find || !list_ || find->hdr.hwndFrom != list_ || find->hdr.code != LVN_ODFINDITEMW) return false;
  result = -1;
  const LVFINDINFOW& info = find->lvfi;
  const int count = static_cast<int>(lines_.size());
  if (!(info.flags & (LVFI_STRING | LVFI_PARTIAL)) || !info.psz || count == 0) return true;
  const std::wstring_view wanted(info.psz);
  const bool whole = !(info.flags & LVFI_PARTIAL);
  const int start = std::clamp(find->iStart, 0, count);
  const int tries = (info.flags & LVFI_WRAP) ? count : count - start;
  for (int n = 0; n < tries; ++n) {
    const int i = (start + n) % count;
    if (Matches(lines_[static_cast<size_t>(i)], wanted, whole)) {
      result = i;
      break;
    }
  }
  return true;
}

void RunLogView::FitColumn() { ::SendMessageW(list_, LVM_SETCOLUMNWIDTH, 0, ColumnWidth(list_)); }
