// Reminder channels end to end: the real service and operator tool, receivers shaped like
// each vendor on 127.0.0.1 that check signatures, timestamps and rates as the vendor does,
// and a real SMTP sink. Nothing is ever sent to an address other than the loopback; the
// refusals of other addresses are the classifier table's part.
#include <map>

#include "channel_receiver.h"
#include "service_fixture.h"

namespace {

const std::string kOwner = "owner@x.cn";

class ChannelService : public ServiceFixture {
 protected:
  ChannelService() {
    Set("TARN_CHANNEL_ALLOW_PRIVATE", "1");
    Set("TARN_MAIL_HOURLY_LIMIT", "1000");
  }

  // A receiver of the kind, with the vendor kinds' host pointed at it.
  ChannelReceiver& Receiver(const std::string& kind, const std::string& target, const std::string& secret) {
    receivers_.push_back(std::make_unique<ChannelReceiver>(folder_, kind, target, secret));
    ChannelReceiver& receiver = *receivers_.back();
    receiver.Start();
    EXPECT_TRUE(receiver.Running());
    if (kind != "webhook") {
      std::string setting = "TARN_CHANNEL_" + kind + "_URL";
      for (char& c : setting) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      Set(setting, receiver.Url());
    }
    return receiver;
  }

  // Adds a channel with the operator tool; its id.
  std::string AddChannel(const std::string& kind, const std::string& target, const std::string& secret,
                         const std::string& events = "both") {
    const auto [code, out] = Admin({"channels", kOwner, "add", kind, events}, target + "\n" + secret + "\n");
    EXPECT_EQ(0, code) << out;
    const size_t at = out.find("channel ");
    return at == std::string::npos ? "" : out.substr(at + 8, out.find(' ', at + 8) - at - 8);
  }

  void SignIn() {
    AddAccount(kOwner);
    StartSink();
    StartService();
    ASSERT_EQ(1, Login(kOwner, kPassword).status);
  }

  std::vector<std::unique_ptr<ChannelReceiver>> receivers_;
};

}  // namespace

TEST_F(ChannelService, AFailureAndItsRecoveryReachEveryKindOnceAndByMail) {
  struct Row {
    const char* kind;
    const char* target;
    const char* secret;
  };
  const Row rows[] = {
      {"wecom", "693a91f6-7xxx-4bc4-97a0-0ec2sifa5aaa", ""},
      {"dingtalk", "d5c1token", "SEC1234567890abcdef"},
      {"feishu", "hook-1234", "feishu-secret"},
      {"slack", "T000/B000/XXXX", ""},
      {"webhook", "/hook", "hook-secret"},
  };
  AddAccount(kOwner);
  std::map<std::string, ChannelReceiver*> receivers;
  for (const Row& row : rows) receivers[row.kind] = &Receiver(row.kind, row.target, row.secret);
  for (const Row& row : rows) {
    const std::string target = std::string(row.kind) == "webhook" ? receivers[row.kind]->Url() + row.target : row.target;
    AddChannel(row.kind, target, row.secret);
  }
  StartSink();
  StartService();
  ASSERT_EQ(1, Login(kOwner, kPassword).status);

  ASSERT_EQ(1, Remind(kOwner, 1, 503, "http://www.example.cn/").status);
  ASSERT_EQ(1, Remind(kOwner, 2, 200, "http://www.example.cn/").status);
  // Each reminder once: alone, or merged into one summary where the vendor's rate (Slack
  // and the webhook, one a second) has no room for the second at once.
  for (const Row& row : rows) {
    ChannelReceiver& receiver = *receivers[row.kind];
    const auto all = [&] {
      std::string joined;
      for (const auto& text : receiver.Texts()) joined += text + "\n";
      return joined;
    };
    ASSERT_TRUE(WaitUntil([&] { return Occurrences(all(), "http://www.example.cn/") >= 2; }, 30))
        << row.kind << FileText(LogPath()) << Admin({"channels", kOwner, "deliveries"}).second;
    const std::string texts = all();
    EXPECT_EQ(2u, Occurrences(texts, "http://www.example.cn/")) << texts;
    for (const char* part : {"不能访问", "503（网站服务器，内部发生错误500）", "已恢复", "200（访问正常）", "中断"}) {
      EXPECT_NE(std::string::npos, texts.find(part)) << row.kind << ": " << part << " in " << texts;
    }
    EXPECT_EQ(0u, receiver.RateViolations()) << row.kind;
  }
  EXPECT_TRUE(sink_->WaitForMails(2, 30)) << "mail stays one of the channels";
}

TEST_F(ChannelService, BusyOrDownReceiversGetEveryMessageLaterOnce) {
  ChannelReceiver& busy = Receiver("slack", "T1/B1/busy", "");
  busy.AnswerBusy(2);
  auto down = std::make_unique<ChannelReceiver>(folder_, "webhook", "", "");  // not started: down
  AddAccount(kOwner);
  AddChannel("slack", "T1/B1/busy", "");
  AddChannel("webhook", down->Url() + "/hook", "");
  StartSink();
  StartService();
  ASSERT_EQ(1, Login(kOwner, kPassword).status);
  ASSERT_EQ(1, Remind(kOwner, 1, 404, "http://a.cn/").status);

  ASSERT_TRUE(WaitUntil([&] { return busy.Texts().size() == 1; }, 30)) << "sent again after Retry-After";
  ASSERT_TRUE(WaitUntil([&] { return Occurrences(FileText(LogPath()), "not delivered") >= 1; }, 30));
  down->Start();
  ASSERT_TRUE(WaitUntil([&] { return down->Texts().size() == 1; }, 30)) << "delivered once it is back";
  ASSERT_TRUE(sink_->WaitForMails(1, 30));
  // Nothing more arrives afterwards.
  ASSERT_EQ(1, Remind(kOwner, 2, 200, "http://a.cn/").status);
  ASSERT_TRUE(WaitUntil([&] { return busy.Texts().size() == 2 && down->Texts().size() == 2; }, 30));
  EXPECT_NE(std::string::npos, busy.Texts()[0].find("不能访问"));
  EXPECT_NE(std::string::npos, down->Texts()[0].find("不能访问"));
  down->Stop();
}

TEST_F(ChannelService, ABadSignaturePausesTheChannelAndTheOwnerIsMailedOnce) {
  ChannelReceiver& robot = Receiver("dingtalk", "tok", "the-right-secret");
  AddAccount(kOwner);
  const std::string id = AddChannel("dingtalk", "tok", "a-wrong-secret");
  ASSERT_EQ(0, Admin({"channels", kOwner, "mail", "off"}).first);
  StartSink();
  StartService();
  ASSERT_EQ(1, Login(kOwner, kPassword).status);
  ASSERT_EQ(1, Remind(kOwner, 1, 500, "http://a.cn/").status);
  ASSERT_TRUE(sink_->WaitForMails(1, 30)) << FileText(LogPath());
  ASSERT_EQ(1, Remind(kOwner, 1, 500, "http://b.cn/").status);
  ASSERT_EQ(1, Remind(kOwner, 2, 200, "http://a.cn/").status);

  const auto listing = [&] { return Admin({"channels", kOwner}).second; };
  EXPECT_NE(std::string::npos, listing().find("paused: errcode 310000: sign not match")) << listing();
  EXPECT_EQ(std::string::npos, listing().find("a-wrong-secret")) << "secrets are never shown in full";
  const auto mails = sink_->Mails();
  ASSERT_EQ(1u, mails.size()) << "one notice, and no reminder mail (mail is off)";
  EXPECT_NE(std::string::npos, mails[0].find("已暂停发送")) << mails[0];
  EXPECT_NE(std::string::npos, mails[0].find("sign not match")) << mails[0];
  EXPECT_TRUE(robot.Texts().empty());
  EXPECT_NE(std::string::npos, ReadReply(RawGet(port_, "/metrics")).body.find("tarn_channels_paused 1"));
}

TEST_F(ChannelService, SixtySitesFailingAtOnceReachA20PerMinuteChannelAsSummaries) {
  ChannelReceiver& robot = Receiver("wecom", "key-60", "");
  AddAccount(kOwner);
  AddChannel("wecom", "key-60", "");
  StartSink();
  StartService();
  ASSERT_EQ(1, Login(kOwner, kPassword).status);
  for (int i = 0; i < 60; ++i) {
    ASSERT_EQ(1, Remind(kOwner, 1, 500, "http://site" + std::to_string(i) + ".example.cn/").status);
  }
  const auto allArrived = [&] {
    const auto texts = robot.Texts();
    std::string all;
    for (const auto& text : texts) all += text + "\n";
    for (int i = 0; i < 60; ++i) {
      if (all.find("http://site" + std::to_string(i) + ".example.cn/ ") == std::string::npos &&
          all.find("http://site" + std::to_string(i) + ".example.cn/\n") == std::string::npos) {
        return false;
      }
    }
    return true;
  };
  // Once the minute's twenty requests are spent, the rest waits for the window to move on.
  ASSERT_TRUE(WaitUntil(allArrived, 150));
  // Twenty a minute: sixty events that all arrive within two minutes came as at most forty
  // requests, however slowly the reminders trickled in; the rest were merged into summaries.
  EXPECT_LE(robot.Texts().size(), 40u) << "merged into summaries";
  EXPECT_EQ(0u, robot.RateViolations());
  for (const auto& text : robot.Texts()) EXPECT_LE(text.size(), 2048u);
}

TEST_F(ChannelService, TheAddressIsCheckedWhereTheConnectionIsMadeAndRedirectsAreNotFollowed) {
  ChannelReceiver& first = Receiver("webhook", "", "");
  ChannelReceiver& second = Receiver("webhook", "", "");
  AddAccount(kOwner);
  const std::string byAddress = AddChannel("webhook", first.Url() + "/hook", "");
  const std::string byName = AddChannel("webhook", "http://localhost:" + std::to_string(first.Port()) + "/hook", "");
  const std::string redirected = AddChannel("webhook", second.Url() + "/hook", "");
  second.RedirectTo(first.Url() + "/hook");
  struct Row {
    std::string id;
    const char* allowPrivate;
    std::string reply;
  };
  const Row rows[] = {
      {byAddress, "0", "the address is not allowed"},
      {byName, "0", "the address is not allowed"},  // a name that resolves to a loopback address
      {redirected, "1", "refused: HTTP 302, not followed: redirect to " + first.Url() + "/hook"},
      {byAddress, "1", "delivered"},
  };
  for (const Row& row : rows) {
    Set("TARN_CHANNEL_ALLOW_PRIVATE", row.allowPrivate);
    const auto [code, out] = Admin({"channel-test", kOwner, row.id});
    EXPECT_NE(std::string::npos, out.find(row.reply)) << out;
    EXPECT_EQ(row.reply == "delivered" ? 0 : 1, code) << out;
  }
  EXPECT_EQ(1u, first.Texts().size()) << "only the allowed test arrived; the redirect was not followed";
  EXPECT_TRUE(second.Texts().empty());
}
