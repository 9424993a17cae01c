// Two instances of the real service on one PostgreSQL database deliver 500 reminders to
// webhook channels exactly once, though the instance sending one of them is killed while the
// receiver holds that message.
#include <signal.h>

#include <set>

#include "channel_receiver.h"
#include "postgres_server.h"
#include "service_fixture.h"

namespace {

constexpr int kReminders = 500;
const std::string kSite = "http://site.test/";

// Every reminder number the texts name, with repeats.
std::multiset<int> ReminderNumbers(const std::vector<std::string>& texts) {
  std::multiset<int> numbers;
  for (const std::string& text : texts) {
    for (size_t at = text.find(kSite); at != std::string::npos; at = text.find(kSite, at + 1)) {
      numbers.insert(std::atoi(text.c_str() + at + kSite.size()));
    }
  }
  return numbers;
}

class ChannelInstances : public ServiceFixture {};

}  // namespace

TEST_F(ChannelInstances, DeliverEveryChannelReminderOnceThoughOneIsKilled) {
  Set("TARN_DATABASE", PostgresServer::Shared().CreateDatabase());
  Set("TARN_MAIL_HOURLY_LIMIT", "100000");
  Set("TARN_CHANNEL_ALLOW_PRIVATE", "1");
  ChannelReceiver receiver(folder_, "webhook", "", "");
  receiver.Start();
  const std::vector<std::string> accounts = {"a@x.cn", "b@x.cn", "c@x.cn", "d@x.cn"};
  for (const auto& email : accounts) {
    AddAccount(email);
    ASSERT_EQ(0, Admin({"channels", email, "add", "webhook"}, receiver.Url() + "/" + email + "\n\n").first);
    ASSERT_EQ(0, Admin({"channels", email, "mail", "off"}).first);
  }
  StartService();
  const int otherPort = FreePort();
  Settings second = settings_;
  for (auto& [name, value] : second) {
    if (name == "TARN_PORT") value = std::to_string(otherPort);
  }
  ServiceProcess other({SERVICE_BINARY}, otherPort, second, folder_.Path() + "/other.log");
  ASSERT_TRUE(other.Running());
  const auto post = [&](int port, const std::string& action, const std::string& body) {
    return ReadReply(RawExchange(port, ProgramRequest(port, action, body)));
  };
  for (const auto& email : accounts) ASSERT_EQ(1, post(port_, "login", LoginBody(email, kPassword, "PC")).status);

  // The first half goes to instance 0, whose sender is woken by them; its first message is
  // held at the receiver and the instance killed there, before any answer.
  receiver.Hold();
  for (int n = 0; n < kReminders / 2; ++n) {
    ASSERT_EQ(1, post(port_, "sendMsg", ReminderBody(accounts[n % 4], 1, 500, kSite + std::to_string(n), "PC")).status);
  }
  ASSERT_TRUE(WaitUntil([&] { return receiver.Held() >= 1; }, 30));
  service_->Kill(SIGKILL);
  receiver.Release();

  // The second half goes to instance 1, which also takes over the dead one's channels once
  // their claims end.
  for (int n = kReminders / 2; n < kReminders; ++n) {
    const std::string body = ReminderBody(accounts[n % 4], 1, 500, kSite + std::to_string(n), "PC");
    ASSERT_EQ(1, post(otherPort, "sendMsg", body).status);
  }
  ASSERT_TRUE(WaitUntil([&] { return ReminderNumbers(receiver.Texts()).size() >= kReminders; }, 120))
      << ReminderNumbers(receiver.Texts()).size();
  const std::multiset<int> numbers = ReminderNumbers(receiver.Texts());
  for (int n = 0; n < kReminders; ++n) EXPECT_EQ(1u, numbers.count(n)) << "reminder " << n;
  EXPECT_EQ(static_cast<size_t>(kReminders), numbers.size());
}
