// The address box's text as a run takes it, generated from a fixed seed: the box's
// 1023-character cut, then split, trim and drop, over every mix of CR, LF, CR LF, spaces,
// ideographic spaces and tabs. The cleaned list must keep its shape whatever was typed.
#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>

#include "monitor/site_list.h"

namespace {

// Pieces a typed or pasted address box is made of, line breaks and blanks of every kind
// weighted heavily.
std::wstring RandomBoxText(std::mt19937& random) {
  static const wchar_t* const kPieces[] = {
      L"\r\n", L"\r\n", L"\r", L"\n", L"\n\r", L" ", L" ", L"\u3000", L"\t", L"\r\n\r\n",
      L"http://", L"127.0.0.1", L"/", L"a", L"\u4E2D\u6587", L":8080", L"?q=1&r=2", L"\u3000 \u3000", L"\v", L"x",
  };
  const size_t length = random() % 4 == 0 ? 1023 + random() % 600 : random() % 1024;
  std::wstring text;
  while (text.size() < length) text += kPieces[random() % std::size(kPieces)];
  return text;
}

bool IsTrimmedAway(wchar_t c) { return c == L' ' || c == L'\u3000'; }

TEST(HostileSiteBox, CleanedListKeepsItsShape) {
  std::mt19937 random(65001);
  for (int n = 0; n < 5000; ++n) {
    const std::wstring typed = RandomBoxText(random);
    const std::wstring box = typed.substr(0, kSiteBoxReadLimit);
    ASSERT_LE(box.size(), kSiteBoxReadLimit);
    ASSERT_EQ(typed.substr(0, box.size()), box);

    SiteList list = SiteList::Parse(box);
    const std::wstring joined = list.Join();
    size_t searchFrom = 0;
    for (const std::wstring& line : list.Lines()) {
      ASSERT_FALSE(line.empty()) << "case " << n;
      EXPECT_FALSE(IsTrimmedAway(line.front())) << "case " << n;
      EXPECT_FALSE(IsTrimmedAway(line.back())) << "case " << n;
      EXPECT_EQ(std::wstring::npos, line.find(L"\r\n")) << "case " << n;
      // Every line is a piece of the box, in the box's order.
      const size_t at = box.find(line, searchFrom);
      ASSERT_NE(std::wstring::npos, at) << "case " << n;
      searchFrom = at + line.size();
    }
    EXPECT_EQ(list.Count() == 0, joined.empty());
    EXPECT_FALSE(joined.size() >= 2 && joined.compare(joined.size() - 2, 2, L"\r\n") == 0) << "case " << n;
    EXPECT_FALSE(joined.rfind(L"\r\n", 0) == 0) << "case " << n;
    EXPECT_LE(joined.size(), box.size());

    // What the box shows after Start, cleaned again, is the same list.
    SiteList again = SiteList::Parse(joined);
    EXPECT_EQ(list.Lines(), again.Lines()) << "case " << n;
    EXPECT_EQ(joined, again.Join());
    if (HasFailure()) return;
  }
}

}  // namespace
