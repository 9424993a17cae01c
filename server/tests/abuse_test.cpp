// The real service against hostile clients, over loopback only: guesses from one address
// never lock the owner's machine out, a site address cannot add a mail header or a line
// the mail server refuses, and a locked database cannot make a mail go out twice.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

#include "program_client.h"
#include "service_fixture.h"
#include "store/database.h"

namespace {

const std::string kPassword = "secret12";
const char* const kTooMany = "尝试次数过多，请稍后再试";
const char* const kWrong = "用户名或密码错误";
const char* const kSignedIn = "登录成功";

bool WaitFor(const std::function<bool()>& condition, double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

class AbuseTest : public ServiceFixture {
 public:
  void SetUp() override {
    settings_.push_back({"TARN_LOGIN_FAILURES_PER_ACCOUNT", "3"});
    settings_.push_back({"TARN_LOGIN_FAILURES_ACCOUNT_WIDE", "5"});
    ASSERT_EQ(0, Admin({"add", "me@x.cn"}, kPassword + "\n").first);
    StartSink(HoldFile());
    StartService();
    ASSERT_EQ(kSignedIn, Login("127.0.0.1", "OWNER-PC", kPassword).info);
  }

  std::string HoldFile() const { return folder_.Path() + "/hold"; }
  ServiceReply Login(const char* from, const std::string& machine, const std::string& password) {
    return PostAction(port_, "login", LoginBody("me@x.cn", password, machine), from);
  }
  ServiceReply Remind(const std::string& url) {
    return PostAction(port_, "sendMsg", ReminderBody("me@x.cn", 1, 500, url, "OWNER-PC"));
  }
  // Guesses from other addresses, past every limit, while the owner's machine signs in.
  void GuessesFromElsewhere() {
    const struct {
      const char* from;
      const char* machine;
      std::string password;
      const char* info;
    } steps[] = {
        {"127.0.0.2", "GUESSER", "guess1", kWrong},
        {"127.0.0.2", "GUESSER", "guess2", kWrong},
        {"127.0.0.2", "GUESSER", "guess3", kWrong},
        {"127.0.0.2", "GUESSER", "guess4", kTooMany},
        {"127.0.0.2", "GUESSER", kPassword, kTooMany},  // that address has used its share
        {"127.0.0.3", "GUESSER", "guess5", kWrong},
        {"127.0.0.3", "GUESSER", "guess6", kWrong},
        {"127.0.0.4", "GUESSER", "guess7", kTooMany},  // the account-wide ceiling
        {"127.0.0.1", "NEW-PC", kPassword, kTooMany},   // slows a machine the account does not know
        {"127.0.0.1", "OWNER-PC", kPassword, kSignedIn},
        {"127.0.0.5", "OWNER-PC", kPassword, kSignedIn},  // the owner's machine elsewhere
        {"127.0.0.1", "OWNER-PC", "typo", kWrong},
    };
    for (const auto& step : steps) {
      EXPECT_EQ(step.info, Login(step.from, step.machine, step.password).info) << step.from << " " << step.password;
    }
  }

  // A site address with CR/LF and 1 900 characters: one mail, no added header, short lines.
  void LongAddressWithLineBreaks() {
    const std::string url = "http://a.cn/" + std::string(900, 'a') + "\r\nBcc: evil@x.cn\r\n" + std::string(970, 'b');
    ASSERT_EQ(1900u, url.size());
    const size_t before = sink_->RawMails().size();
    ASSERT_EQ(1, Remind(url).status);
    ASSERT_TRUE(sink_->WaitForMails(before + 1, 30)) << "the mail server took it";
    const std::string raw = sink_->RawMails().back();
    const std::string headers = raw.substr(0, raw.find("\n\n") + 1);
    EXPECT_EQ(std::string::npos, headers.find("\nBcc:")) << headers;
    EXPECT_EQ(std::string::npos, headers.find("evil")) << headers;
    for (size_t start = 0, end; start < raw.size(); start = end + 1) {
      end = std::min(raw.find('\n', start), raw.size());
      EXPECT_LE(end - start, 998u) << raw.substr(start, 80);
    }
    EXPECT_NE(std::string::npos, sink_->Mails().back().find("网站：http://a.cn/" + std::string(900, 'a') + "  Bcc: evil"));
  }

  // The database is locked by another process while a delivered mail is to be marked sent.
  void DatabaseLockedWhileMarkingSent() {
    const size_t before = sink_->RawMails().size();
    const size_t sentBefore = MailsInState("sent");
    std::ofstream(HoldFile()).put('1');
    ASSERT_EQ(1, Remind("http://c.cn/").status);
    ASSERT_TRUE(sink_->WaitForMails(before + 1, 30));  // the sender now waits for the acceptance
    Database other(DatabasePath());
    other.Exec("BEGIN IMMEDIATE");
    unlink((HoldFile() + ".quit").c_str());  // left by the sessions before
    unlink(HoldFile().c_str());
    // Once the SMTP session has ended, the sender waits for the file; requests go on meanwhile.
    ASSERT_TRUE(WaitFor([&] { return access((HoldFile() + ".quit").c_str(), F_OK) == 0; }, 30));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(1, PostAction(port_, "getInfo", InfoBody("me@x.cn", "OWNER-PC")).status);
    EXPECT_EQ(0u, Occurrences(FileText(LogPath()), "not yet recorded as sent"))
        << "answered while the sender still waits for the file: its wait holds no other request";
    // Held until the sender has failed to record the mail twice: the second time, a full
    // pass later, the back-off has passed and the mail is due again.
    EXPECT_TRUE(WaitFor([&] { return Occurrences(FileText(LogPath()), "not yet recorded as sent") >= 2; }, 30));
    other.Exec("COMMIT");
    EXPECT_TRUE(WaitFor([&] { return MailsInState("sent") == sentBefore + 1; }, 30));
    EXPECT_EQ(before + 1, sink_->RawMails().size()) << "no second copy";
  }

};

}  // namespace

TEST_F(AbuseTest, HoldsAgainstHostileClients) {
  const struct {
    const char* name;
    void (AbuseTest::*run)();
  } cases[] = {
      {"wrong passwords from 127.0.0.2 while the owner signs in from 127.0.0.1", &AbuseTest::GuessesFromElsewhere},
      {"CR/LF and 1 900 characters in a reminder's url", &AbuseTest::LongAddressWithLineBreaks},
      {"the database locked while a mail is marked sent", &AbuseTest::DatabaseLockedWhileMarkingSent},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    (this->*c.run)();
  }
}
