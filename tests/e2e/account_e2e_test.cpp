// The real program against the real account service (started by account_e2e.sh on the
// port this test build of the program talks to, with an account, a notice, a mail sink and
// two chat-robot receivers): a notice in the popup, a sign-in through the dialog, and a site
// that fails and recovers producing both reminder mails in the sink and both messages at
// each robot; and, with two instances of the service behind one address, a sign-in through
// one and a reminder accepted by the other.
#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "local_http_server.h"
#include "program_driver.h"
#include "res/resource.h"
#include "temp_folder.h"
#include "text/code_page.h"
#include "window_probes.h"

namespace {

using test_support::HttpRequest;
using test_support::LocalHttpServer;
using test_support::StatusReply;

std::wstring Environment(const wchar_t* name) {
  wchar_t value[1024] = {};
  ::GetEnvironmentVariableW(name, value, 1024);
  return value;
}

// WM_GETTEXT rather than GetWindowText, which does not ask a window of another process.
std::wstring WindowText(HWND window) {
  wchar_t text[512] = {};
  ::SendMessageW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
  return text;
}

std::string Utf8(const std::wstring& text) { return WideToCodePage(text, CP_UTF8); }

// A stored mail as a mail reader shows it: the header lines, a blank line and the body with
// its Base64 transfer encoding undone.
std::string Readable(const std::string& raw) {
  const size_t blank = raw.find("\n\n");
  if (blank == std::string::npos || raw.find("Content-Transfer-Encoding: base64") > blank) return raw;
  const std::string encoded = raw.substr(blank + 2);
  DWORD size = 0;
  if (!::CryptStringToBinaryA(encoded.c_str(), static_cast<DWORD>(encoded.size()), CRYPT_STRING_BASE64, nullptr,
                              &size, nullptr, nullptr)) {
    return raw;
  }
  std::string body(size, '\0');
  ::CryptStringToBinaryA(encoded.c_str(), static_cast<DWORD>(encoded.size()), CRYPT_STRING_BASE64,
                         reinterpret_cast<BYTE*>(body.data()), &size, nullptr, nullptr);
  body.resize(size);
  return raw.substr(0, blank + 2) + body;
}

// Every mail the sink has stored (one file each), as a mail reader shows it.
std::vector<std::string> Mails(const std::wstring& folder) {
  std::vector<std::string> mails;
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return mails;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    mails.push_back(Readable(ReadAllBytes(folder + L"\\" + found.cFileName).value_or(std::string())));
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return mails;
}

// How many of `texts` hold every one of `parts`.
size_t CountHolding(const std::vector<std::string>& texts, const std::vector<std::string>& parts) {
  size_t count = 0;
  for (const std::string& text : texts) {
    bool all = true;
    for (const auto& part : parts) all = all && text.find(part) != std::string::npos;
    count += all ? 1 : 0;
  }
  return count;
}

bool HasMail(const std::wstring& folder, const std::vector<std::string>& parts) {
  return CountHolding(Mails(folder), parts) > 0;
}

// The messages a chat-robot receiver took, one JSON line each in `kind`.log of `folder`:
// the vendor's body, its text, and whether the receiver checked the signature.
std::vector<std::string> RobotMessages(const std::wstring& folder, const std::wstring& kind) {
  std::vector<std::string> messages;
  std::istringstream lines(ReadAllBytes(folder + L"\\" + kind + L".log").value_or(std::string()));
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty()) messages.push_back(line);
  }
  return messages;
}

bool LogHas(const ProgramDriver& program, const std::wstring& ending) {
  for (const auto& line : program.Log()) {
    if (line.ends_with(ending)) return true;
  }
  return false;
}

// Signs in through the dialog, as the user does, and closes it.
void SignIn(const ProgramDriver& program, const std::wstring& user, const std::wstring& password) {
  PostClick(program.Control(IDC_SIGN_IN));
  HWND dialog = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (dialog = FindOtherWindowWithControl(program.Window(), IDC_LOGIN_SIGNED_IN)); },
                        10000));
  ::SendMessageW(::GetDlgItem(dialog, IDC_LOGIN_USER), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(user.c_str()));
  ::SendMessageW(::GetDlgItem(dialog, IDC_LOGIN_PASSWORD), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(password.c_str()));
  PostClick(::GetDlgItem(dialog, IDOK));
  EXPECT_TRUE(WaitUntil(
      [&] {
        return WindowText(::GetDlgItem(dialog, IDOK)) == L"重新登录" &&
               WindowText(::GetDlgItem(dialog, IDC_LOGIN_SIGNED_IN)).find(L"登录成功") != std::wstring::npos;
      },
      20000))
      << "not signed in: " << Utf8(WindowText(::GetDlgItem(dialog, IDC_LOGIN_STATUS)));
  PostClick(::GetDlgItem(dialog, IDCANCEL));
  ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(dialog); }, 10000));
}

// Starts watching `url`: checks every 30 ticks, one retry after 10, reminders on.
void Watch(const ProgramDriver& program, const std::wstring& url) {
  program.Select(IDC_INTERVAL, 0);
  program.Select(IDC_RETRY_COUNT, 0);
  program.Select(IDC_RETRY_INTERVAL, 0);
  program.Select(IDC_EMAIL_REMINDER, 1);
  program.SetText(IDC_SITES, url);
  program.Click(IDC_START);
}

// Stops watching and closes the program with Esc.
void StopAndClose(ProgramDriver& program) {
  program.Click(IDC_STOP);
  ::PostMessageW(program.Control(IDC_START), WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(2, program.WaitForExit(20000));
}

TEST(AccountEndToEnd, NoticeSignInAndBothRemindersArrive) {
  const std::wstring user = Environment(L"TARN_E2E_USER");
  const std::wstring password = Environment(L"TARN_E2E_PASSWORD");
  const std::wstring notice = Environment(L"TARN_E2E_NOTICE");
  const std::wstring mailFolder = Environment(L"TARN_E2E_MAIL_DIR");
  const std::wstring robotFolder = Environment(L"TARN_E2E_CHANNEL_DIR");
  ASSERT_FALSE(user.empty() || mailFolder.empty() || robotFolder.empty())
      << "run through account_e2e.sh, which starts the service";
  // A data folder of the test's own (no notice shown yet, not signed in), and workers
  // that count their seconds in tenths.
  const ProgramSurroundings surroundings(100);

  // The site fails with 500 for its first four checks and is fine after: the failing
  // reminder goes out at the third failure, the recovery one at the third good check.
  LONG checks = 0;
  LocalHttpServer flaky([&checks](const HttpRequest&) {
    return StatusReply(::InterlockedIncrement(&checks) <= 4 ? 500 : 200);
  });
  const std::wstring url = flaky.Url("/shop?id=7&from=e2e");

  ProgramDriver program;
  ASSERT_TRUE(program.Start(ProgramBesideTest(L"TarnSiteMonitorAccountE2E.exe"))) << "no main window";

  // Service information comes nine seconds after the start, with the operator's notice.
  HWND popup = nullptr;
  EXPECT_TRUE(WaitUntil(
      [&] {
        popup = FindOtherWindowWithControl(program.Window(), IDC_POPUP_MESSAGE);
        return popup && WindowText(::GetDlgItem(popup, IDC_POPUP_MESSAGE)) == notice;
      },
      30000))
      << "the notice was not shown";

  ASSERT_NO_FATAL_FAILURE(SignIn(program, user, password));

  Watch(program, url);

  const std::string address = "X-RcptTo: " + Utf8(user);
  const std::string site = "网站：" + Utf8(url);
  const std::string failingCode = "状态码：500（网站服务器，内部发生错误500）";
  const std::string upCode = "状态码：200（访问正常）";
  EXPECT_TRUE(WaitUntil([&] { return HasMail(mailFolder, {address, site, "网站访问异常", failingCode}); }, 150000))
      << "no failing reminder";
  EXPECT_TRUE(WaitUntil([&] { return HasMail(mailFolder, {address, site, "网站已恢复正常", upCode}); }, 150000))
      << "no recovery reminder";
  EXPECT_TRUE(WaitUntil([&] { return LogHas(program, L"发送提醒邮件：成功。"); }, 10000));

  // The same two reminders at each robot, the DingTalk one signed with the channel's secret
  // (its receiver takes nothing unsigned or outside the timestamp window).
  struct Robot {
    const wchar_t* kind;
    bool signedBySecret;
  };
  const Robot robots[] = {{L"wecom", false}, {L"dingtalk", true}};
  for (const Robot& robot : robots) {
    EXPECT_TRUE(WaitUntil([&] { return CountHolding(RobotMessages(robotFolder, robot.kind), {site, upCode}) > 0; },
                          30000))
        << Utf8(robot.kind) << " got no recovery message";
  }
  StopAndClose(program);

  EXPECT_EQ(2u, Mails(mailFolder).size()) << "mail stays a channel beside the robots";
  for (const Robot& robot : robots) {
    const std::vector<std::string> messages = RobotMessages(robotFolder, robot.kind);
    SCOPED_TRACE(Utf8(robot.kind));
    EXPECT_EQ(2u, messages.size());
    EXPECT_EQ(1u, CountHolding(messages, {site, "不能访问", failingCode}));
    EXPECT_EQ(1u, CountHolding(messages, {site, "已恢复", upCode}));
    EXPECT_EQ(robot.signedBySecret ? messages.size() : 0u, CountHolding(messages, {"\"signed\": true"}));
  }
}

// Lines of a service's log that name `action`: each request's line reads "time client
// action [user] status=... info duration".
size_t ActionLines(const std::wstring& log, const std::string& action) {
  const std::string text = ReadAllBytes(log).value_or(std::string());
  const std::string field = " " + action + " [";
  size_t count = 0;
  for (size_t at = text.find(field); at != std::string::npos; at = text.find(field, at + 1)) ++count;
  return count;
}

// Two instances of the service on one PostgreSQL database behind nginx (account_e2e.sh
// with "split"), which sends sign-ins to the first and every other request to the second:
// the second knows the machine that signed in through the first, accepts its reminder, and
// the mail goes out once.
TEST(AccountTwoInstancesEndToEnd, SignInThroughOneReminderAcceptedByTheOther) {
  const std::wstring user = Environment(L"TARN_E2E_USER");
  const std::wstring password = Environment(L"TARN_E2E_PASSWORD");
  const std::wstring mailFolder = Environment(L"TARN_E2E_MAIL_DIR");
  const std::wstring signInLog = Environment(L"TARN_E2E_SIGN_IN_LOG");
  const std::wstring otherLog = Environment(L"TARN_E2E_OTHER_LOG");
  ASSERT_FALSE(user.empty() || mailFolder.empty() || signInLog.empty() || otherLog.empty())
      << "run through account_e2e.sh with split, which starts both instances";
  const ProgramSurroundings surroundings(100);
  LocalHttpServer down([](const HttpRequest&) { return StatusReply(500); });
  const std::wstring url = down.Url("/down");

  ProgramDriver program;
  ASSERT_TRUE(program.Start(ProgramBesideTest(L"TarnSiteMonitorAccountE2E.exe"))) << "no main window";
  ASSERT_NO_FATAL_FAILURE(SignIn(program, user, password));
  Watch(program, url);

  EXPECT_TRUE(WaitUntil([&] { return LogHas(program, L"发送提醒邮件：成功。"); }, 40000)) << "reminder not accepted";
  EXPECT_TRUE(WaitUntil([&] { return HasMail(mailFolder, {"X-RcptTo: " + Utf8(user), "网站访问异常"}); }, 20000))
      << "no reminder mail";
  EXPECT_TRUE(WaitUntil([&] { return ActionLines(otherLog, "sendMsg") == 1; }, 10000));
  StopAndClose(program);

  EXPECT_EQ(1u, Mails(mailFolder).size());
  EXPECT_EQ(1u, ActionLines(signInLog, "login"));
  EXPECT_EQ(0u, ActionLines(signInLog, "sendMsg") + ActionLines(signInLog, "getInfo"));
  EXPECT_EQ(0u, ActionLines(otherLog, "login"));
  EXPECT_EQ(1u, ActionLines(otherLog, "sendMsg"));
}

}  // namespace
