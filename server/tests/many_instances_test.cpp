// Two instances of the real service on one PostgreSQL database, each on a port of its own
// with nothing between them and the clients, and one real SMTP server: every reminder is
// delivered once though an instance is killed in the middle of delivering, wrong passwords
// spread over both are throttled by the count they share, and both report an outage of the
// database on /healthz and recover with it.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <thread>

#include "api/account_api.h"
#include "postgres_server.h"
#include "service_fixture.h"

namespace {

constexpr int kReminders = 1000;
const std::string kSite = "http://site.test/";

class ManyInstances : public ServiceFixture {
 protected:
  ManyInstances() {
    Set("TARN_DATABASE", PostgresServer::Shared().CreateDatabase());
    Set("TARN_MAIL_HOURLY_LIMIT", "100000");
    Set("TARN_LOGIN_FAILURES_PER_ACCOUNT", "3");
  }
  // A test that failed while the sink held its mails lets the services end without waiting.
  ~ManyInstances() override {
    if (sink_) unlink(sink_->HoldFile().c_str());
  }

  // The fixture's service is instance 0; instance 1 differs only in its port and its log.
  void StartBoth() {
    StartService();
    Settings second = settings_;
    for (auto& [name, value] : second) {
      if (name == "TARN_PORT") value = std::to_string(otherPort_);
    }
    other_ = std::make_unique<ServiceProcess>(std::vector<std::string>{SERVICE_BINARY}, otherPort_, second,
                                              folder_.Path() + "/other.log");
    ASSERT_TRUE(other_->Running());
  }

  int Port(int instance) const { return instance == 0 ? port_ : otherPort_; }
  ServiceReply Post(int instance, const std::string& action, const std::string& body) {
    return ReadReply(RawExchange(Port(instance), ProgramRequest(Port(instance), action, body)));
  }
  int Health(int instance) { return ReadReply(RawGet(Port(instance), "/healthz")).http; }

  size_t MailsArrived() const {
    std::error_code ec;
    const std::filesystem::directory_iterator folder(sink_->MailFolder(), ec);
    return ec ? 0 : static_cast<size_t>(std::distance(folder, std::filesystem::directory_iterator()));
  }
  // The mails the sink has held, by file name; one whose client went away is gone since.
  std::vector<std::string> HeldMails() const {
    std::istringstream lines(FileText(sink_->HoldFile() + ".held"));
    std::vector<std::string> names;
    for (std::string name; std::getline(lines, name);) names.push_back(name);
    return names;
  }
  // The number a reminder's site address ends in, from the mail as a reader sees it.
  static int ReminderNumber(const std::string& mail) {
    const size_t at = mail.find("网站：" + kSite);
    return at == std::string::npos ? -1 : std::atoi(mail.c_str() + at + std::string("网站：").size() + kSite.size());
  }

  const int otherPort_ = FreePort();
  std::unique_ptr<ServiceProcess> other_;
};

}  // namespace

TEST_F(ManyInstances, EachReminderIsDeliveredOnceThoughAnInstanceDiesMidDelivery) {
  const std::vector<std::string> accounts = {"a@x.cn", "b@x.cn", "c@x.cn", "d@x.cn"};
  for (const auto& email : accounts) AddAccount(email);
  StartSink();
  StartBoth();
  // A sign-in is on file for both instances.
  for (size_t i = 0; i < accounts.size(); ++i) {
    ASSERT_EQ(1, Post(static_cast<int>(i % 2), "login", LoginBody(accounts[i], kPassword, "PC")).status);
  }

  // Reminder n goes to instance n % 2 for account n % 4, its number in its site address; the
  // instances deliver them meanwhile.
  std::atomic<int> refused = 0;
  std::vector<std::thread> senders;
  for (int first = 0; first < 4; ++first) {
    senders.emplace_back([&, first] {
      for (int n = first; n < kReminders; n += 4) {
        const std::string body = ReminderBody(accounts[n % 4], 1, 500, kSite + std::to_string(n), "PC");
        if (Post(n % 2, "sendMsg", body).status != 1) ++refused;
      }
    });
  }
  for (auto& sender : senders) sender.join();
  EXPECT_EQ(0, refused.load());

  // Some hundreds in, the sink stops accepting: each instance's sender then waits for the
  // acceptance of one mail it has sent, and no instance is between an acceptance and its
  // "sent" record, the only moment whose loss sends a mail twice (at least once is the
  // promise). Instance 0 is killed there; its held mail, never accepted, leaves the sink.
  ASSERT_TRUE(WaitUntil([&] { return MailsArrived() >= 300; }, 60));
  std::ofstream(sink_->HoldFile()).put('1');
  const auto present = [&](const std::string& name) {
    return access((sink_->MailFolder() + "/" + name).c_str(), F_OK) == 0;
  };
  std::vector<std::string> held;  // those still held: one whose exchange timed out is gone
  ASSERT_TRUE(WaitUntil([&] {
    held.clear();
    for (const auto& name : HeldMails()) {
      if (present(name)) held.push_back(name);
    }
    return held.size() == 2;
  }, 30)) << "each instance waits for one mail";
  std::map<std::string, int> heldNumbers;
  for (const auto& name : held) {
    heldNumbers[name] = ReminderNumber(SmtpSink::Readable(FileText(sink_->MailFolder() + "/" + name)));
  }
  service_->Kill(SIGKILL);
  ASSERT_TRUE(WaitUntil([&] { return !present(held[0]) || !present(held[1]); }, 10));
  const int orphan = heldNumbers[present(held[0]) ? held[1] : held[0]];
  unlink(sink_->HoldFile().c_str());

  // The survivor delivers the rest, the dead one's claims once their lease ends among them.
  ASSERT_TRUE(WaitUntil([&] { return MailsArrived() >= kReminders; }, 60)) << MailsArrived();
  EXPECT_TRUE(WaitUntil([&] { return MailsInState("queued") == 0; }, 30)) << "no claim stays stuck";
  std::vector<int> copies(kReminders, 0);
  for (const std::string& mail : sink_->Mails()) {
    const int n = ReminderNumber(mail);
    ASSERT_TRUE(n >= 0 && n < kReminders) << mail;
    ++copies[static_cast<size_t>(n)];
  }
  for (int n = 0; n < kReminders; ++n) EXPECT_EQ(1, copies[static_cast<size_t>(n)]) << "reminder " << n;
  EXPECT_GE(orphan, 0) << "the mail the dead instance held was delivered by the other";
}

TEST_F(ManyInstances, WrongPasswordsOnBothInstancesAreThrottledByOneCount) {
  AddAccount("me@x.cn");
  StartBoth();
  // Three failures are allowed per account and address; the fourth is refused on either
  // instance, and so is the right password meanwhile.
  const struct {
    int instance;
    std::string password;
    const char* info;
  } attempts[] = {{0, "wrong", reply_info::kWrongPassword},  {1, "wrong", reply_info::kWrongPassword},
                  {0, "wrong", reply_info::kWrongPassword},  {1, "wrong", reply_info::kTooManyAttempts},
                  {0, "wrong", reply_info::kTooManyAttempts}, {1, kPassword, reply_info::kTooManyAttempts}};
  for (size_t i = 0; i < std::size(attempts); ++i) {
    const auto& a = attempts[i];
    const ServiceReply reply = Post(a.instance, "login", LoginBody("me@x.cn", a.password, "PC"));
    EXPECT_EQ(0, reply.status) << "attempt " << i;
    EXPECT_EQ(a.info, reply.info) << "attempt " << i;
  }
}

TEST_F(ManyInstances, HealthFollowsTheDatabaseAndBothRecoverWithIt) {
  AddAccount("me@x.cn");
  StartBoth();
  ASSERT_EQ(1, Post(0, "login", LoginBody("me@x.cn", kPassword, "PC")).status);
  for (int instance : {0, 1}) EXPECT_EQ(200, Health(instance));

  PostgresServer::Shared().Stop();
  // The page answers from a check at most a second old: it turns within about a second.
  for (int instance : {0, 1}) EXPECT_TRUE(WaitUntil([&] { return Health(instance) == 503; }, 10)) << instance;
  PostgresServer::Shared().Start();
  // Connections broken by the stop are replaced; real work goes on as before.
  for (int instance : {0, 1}) {
    EXPECT_TRUE(WaitUntil([&] { return Health(instance) == 200; }, 20)) << instance;
    EXPECT_EQ(1, Post(instance, "getInfo", InfoBody("me@x.cn", "PC")).status) << instance;
  }
}
