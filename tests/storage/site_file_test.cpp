#include "storage/site_file.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "storage/code_page_text.h"
#include "text/code_page.h"
#include "temp_folder.h"

namespace {

// The program runs on Simplified Chinese systems; the test wrapper gives the same code page.
class SiteFile : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(GetACP(), 936u) << "tests expect the Chinese ANSI code page"; }
  TempFolder folder_;
  std::wstring path_ = folder_ / L"site.txt";
};

TEST_F(SiteFile, StoresTheTextAsAnsiBytesWithNothingAdded) {
  struct Case {
    const char* name;
    std::wstring text;
    std::string bytes;
  } cases[] = {
      {"two lines, one CR LF", L"http://a.com\r\nhttp://b.com", "http://a.com\r\nhttp://b.com"},
      {"Chinese in code page 936", L"http://例子.com", "http://\xC0\xFD\xD7\xD3.com"},
      {"empty list", L"", ""},
      {"stops at a NUL", std::wstring(L"http://a.com\0junk", 17), "http://a.com"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(WriteSiteFile(path_, c.text));
    EXPECT_EQ(ReadAllBytes(path_), c.bytes);
  }
}

TEST_F(SiteFile, ReadsTheBytesUpToTheFirstNul) {
  const std::string longChinese = [] {
    std::string bytes;
    for (int i = 0; i < 900; ++i) bytes += "\xD6\xD0";  // 1800 bytes of 中
    return bytes;
  }();
  struct Case {
    const char* name;
    std::string bytes;
    std::wstring text;
  } cases[] = {
      {"empty file", "", L""},
      {"two lines", "http://a.com\r\nhttp://b.com", L"http://a.com\r\nhttp://b.com"},
      {"not normalised", "  http://a.com \r\n\r\n", L"  http://a.com \r\n\r\n"},
      {"Chinese", "http://\xC0\xFD\xD7\xD3.com", L"http://例子.com"},
      {"cut at a NUL", std::string("http://a.com\0http://b.com", 25), L"http://a.com"},
      {"1800 bytes read whole", longChinese, std::wstring(900, L'中')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(WriteAllBytes(path_, c.bytes));
    EXPECT_EQ(ReadSiteFile(path_), c.text);
  }
}

TEST_F(SiteFile, FileThatCannotBeOpenedGivesNoText) {
  EXPECT_EQ(ReadSiteFile(path_), std::nullopt);
  ASSERT_TRUE(WriteAllBytes(path_, "http://a.com"));
  ASSERT_TRUE(SetReadOnly(path_, true));
  EXPECT_EQ(ReadSiteFile(path_), std::nullopt);
}

TEST_F(SiteFile, ReadOnlyFileIsNotRewritten) {
  ASSERT_TRUE(WriteAllBytes(path_, "http://old.com"));
  ASSERT_TRUE(SetReadOnly(path_, true));
  EXPECT_FALSE(WriteSiteFile(path_, L"http://new.com"));
  EXPECT_EQ(ReadAllBytes(path_), "http://old.com");
  EXPECT_FALSE(WriteSiteFile(folder_ / L"missing\\site.txt", L"http://new.com"));
}

TEST_F(SiteFile, UnrepresentableCharactersComeBackChanged) {
  ASSERT_TRUE(WriteSiteFile(path_, L"http://\U0001F600.com"));
  const auto back = ReadSiteFile(path_);
  ASSERT_TRUE(back);
  EXPECT_NE(*back, L"http://\U0001F600.com");
  EXPECT_EQ(back->substr(0, 7), L"http://");
}

TEST_F(SiteFile, HugeFileIsReadOnlyUpToTheCap) {
  ASSERT_TRUE(WriteAllBytes(path_, std::string(kMaxSiteFileBytes + 1000, 'a')));
  EXPECT_EQ(ReadSiteFile(path_), std::wstring(kMaxSiteFileBytes, L'a'));
}

TEST(CUserChar, ConvertsBothWaysAndNullIsEmpty) {
  CUserChar text;
  EXPECT_STREQ(text.UnicodeToAnsi(L"中文 abc"), "\xD6\xD0\xCE\xC4 abc");
  EXPECT_STREQ(text.AnsiToUnicode("\xD6\xD0\xCE\xC4 abc"), L"中文 abc");
  EXPECT_STREQ(text.AnsiToUnicode(nullptr), L"");
  EXPECT_STREQ(text.UnicodeToAnsi(nullptr), "");
  const std::wstring longText(200000, L'中');
  EXPECT_EQ(std::string(text.UnicodeToAnsi(longText.c_str())).size(), 400000u);
  EXPECT_EQ(std::wstring(text.AnsiToUnicode(WideToCodePage(longText, CP_ACP).c_str())), longText);
}

}  // namespace
