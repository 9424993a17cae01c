#include "monitor/site_list.h"

#include <algorithm>

namespace {

constexpr std::wstring_view kLineBreak = L"\r\n";

bool IsTrimmed(wchar_t c) { return c == L' ' || c == L'\u3000'; }

}  // namespace

SiteList::SiteList(std::wstring_view text) {
  if (text.empty()) return;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(kLineBreak, start);
    if (end == std::wstring_view::npos) {
      lines_.emplace_back(text.substr(start));
      break;
    }
    lines_.emplace_back(text.substr(start, end - start));
    start = end + kLineBreak.size();
  }
}

SiteList SiteList::Parse(std::wstring_view text) {
  SiteList list(text);
  list.TrimLines();
  list.DropEmptyLines();
  return list;
}

void SiteList::TrimLines() {
  for (auto& line : lines_) {
    size_t first = 0;
    while (first < line.size() && IsTrimmed(line[first])) ++first;
    size_t last = line.size();
    while (last > first && IsTrimmed(line[last - 1])) --last;
    line = line.substr(first, last - first);
  }
}

void SiteList::DropEmptyLines() {
  lines_.erase(std::remove_if(lines_.begin(), lines_.end(), [](const std::wstring& l) { return l.empty(); }),
               lines_.end());
}

const std::wstring& SiteList::Join() {
  joined_.clear();
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (i > 0) joined_ += kLineBreak;
    joined_ += lines_[i];
  }
  return joined_;
}
