// The cleaned list of site addresses taken from the site box: one address per line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Characters of the site box that take part in a run: the box is read into a buffer of
// 1024 wide characters including the terminator, the rest is cut.
inline constexpr size_t kSiteBoxReadLimit = 1023;

class SiteList {
 public:
  SiteList() = default;
  // Splits text into lines at every CR LF pair; a lone CR or LF stays inside its line.
  // A non-empty text with k pairs gives k + 1 lines; an empty text gives none.
  explicit SiteList(std::wstring_view text);

  // Split, trim and drop in one go: the list the Start command works with.
  static SiteList Parse(std::wstring_view text);

  // Removes spaces (U+0020) and ideographic spaces (U+3000) from both ends of every line.
  // Tabs and other white space stay.
  void TrimLines();
  // Removes every empty line; the others keep their order.
  void DropEmptyLines();

  size_t Count() const { return lines_.size(); }
  const std::wstring& Line(size_t i) const { return lines_.at(i); }
  const std::vector<std::wstring>& Lines() const { return lines_; }

  // The lines joined with CR LF between two lines and none after the last; the text is
  // owned by the list and stays valid until the next Join or the list's destruction.
  const std::wstring& Join();

 private:
  std::vector<std::wstring> lines_;
  std::wstring joined_;
};
