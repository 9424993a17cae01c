// The real service over real HTTP: requests byte for byte as the program sends them, a
// real SQLite file, accounts made with the operator tool, and a real SMTP server that
// receives the reminder mails.
#include <gtest/gtest.h>
#include <signal.h>

#include <set>

#include "service_fixture.h"

using ServiceTest = ServiceFixture;

TEST_F(ServiceTest, SignsInOnlyActiveAccountsWithTheirPassword) {
  AddAccount("me@x.cn");
  AddAccount("off@x.cn");
  AddAccount("old@x.cn");
  ASSERT_EQ(0, Admin({"disable", "off@x.cn"}).first);
  ASSERT_EQ(0, Admin({"expire", "old@x.cn", "1000"}).first);
  StartService();

  const struct {
    const char* name;
    std::string body;
    int status;
    const char* info;
  } cases[] = {
      {"right password", "username=me@x.cn&pwd=5a+G56CBYWI=&id=MID&softtype=2&ver=1.1.0.2", 1, "登录成功"},
      {"name in other case", "username=ME@x.cn&pwd=5a+G56CBYWI=&id=MID&softtype=2&ver=1.1.0.2", 1, "登录成功"},
      {"plus read as a space", "username=me@x.cn&pwd=5a G56CBYWI=&id=MID&softtype=2&ver=1.1.0.2", 0, "用户名或密码错误"},
      {"padding dropped", "username=me@x.cn&pwd=5a+G56CBYWI&id=MID&softtype=2&ver=1.1.0.2", 0, "用户名或密码错误"},
      {"unknown account", "username=who@x.cn&pwd=5a+G56CBYWI=&id=MID&softtype=2&ver=1.1.0.2", 0, "用户名或密码错误"},
      {"disabled", "username=off@x.cn&pwd=5a+G56CBYWI=&id=MID&softtype=2&ver=1.1.0.2", 0, "账户已停用"},
      {"service ended", "username=old@x.cn&pwd=5a+G56CBYWI=&id=MID&softtype=2&ver=1.1.0.2", 0, "服务已到期"},
      {"field missing", "username=me@x.cn&pwd=5a+G56CBYWI=&softtype=2&ver=1.1.0.2", 0, "请求格式错误"},
      {"softtype not a number", "username=me@x.cn&pwd=5a+G56CBYWI=&id=MID&softtype=x&ver=1.1.0.2", 0, "请求格式错误"},
  };
  for (const auto& c : cases) {
    const ServiceReply reply = PostAction("login", c.body);
    EXPECT_EQ(200, reply.http) << c.name;
    EXPECT_EQ(c.status, reply.status) << c.name;
    EXPECT_EQ(c.info, reply.info) << c.name;
    // Only a sign-in carries the service's start and end, the end after the start and within 32 bits.
    EXPECT_EQ(c.status == 1, reply.Int("expire") > reply.Int("time") && reply.Int("expire") <= INT32_MAX) << c.name;
  }
}

TEST_F(ServiceTest, ServiceInformationNeedsASignedInMachineAndCarriesNoticeAndUpdate) {
  AddAccount("me@x.cn");
  StartService();
  ServiceReply before = Info("me@x.cn");
  EXPECT_EQ(0, before.status) << "a name alone does not sign a machine in";
  EXPECT_FALSE(before.Has("notice_id"));
  EXPECT_EQ(0, before.Int("update"));

  ASSERT_EQ(1, Login("me@x.cn", kPassword).status);
  ASSERT_EQ(1, Admin({"notice", "短通知"}).first == 0 ? 0 : 1) << "5 characters or fewer are refused";
  ASSERT_EQ(0, Admin({"notice", "服务器周六凌晨维护两小时"}).first);
  ASSERT_EQ(0, Admin({"version", "1.1.0.3"}).first);

  const ServiceReply after = Info("me@x.cn");
  EXPECT_EQ(1, after.status);
  EXPECT_GT(after.Int("expire"), 0);
  EXPECT_EQ(1, after.Int("update"));
  EXPECT_EQ(1, after.Int("notice_id"));
  EXPECT_EQ("服务器周六凌晨维护两小时", after.Text("notice_text"));
  EXPECT_EQ(0, Info("me@x.cn", "OTHER").status) << "another machine has not signed in";
  const ServiceReply anonymous = Info("");
  EXPECT_EQ(0, anonymous.status);
  EXPECT_EQ(1, anonymous.Int("notice_id")) << "notices reach programs that never signed in";
}

TEST_F(ServiceTest, RemindersOfSignedInMachinesArriveAsMails) {
  settings_.push_back({"TARN_MAIL_HOURLY_LIMIT", "3"});
  AddAccount("me@x.cn");
  StartSink();
  StartService();
  EXPECT_EQ(0, Remind("me@x.cn", 1, 404, "http://a.cn/").status) << "no machine has signed in";
  ASSERT_EQ(1, Login("me@x.cn", kPassword).status);
  EXPECT_EQ(0, Remind("me@x.cn", 1, 404, "http://a.cn/", "OTHER").status);
  EXPECT_EQ("请求格式错误", Remind("me@x.cn", 3, 404, "http://a.cn/").info);
  EXPECT_EQ(0u, MailsInState("")) << "refused requests store nothing";

  // The site address holds "&" and "=" and a GBK character, and is taken whole.
  EXPECT_EQ(1, Remind("me@x.cn", 1, 500, "http://\xD6\xD0.cn/?a=1&url=2").status);
  EXPECT_EQ(1, Remind("me@x.cn", 2, 200, "http://b.cn/").status);
  EXPECT_EQ(1, Remind("me@x.cn", 1, 404, "http://c.cn/").status);
  EXPECT_EQ("提醒邮件过多，请稍后再试", Remind("me@x.cn", 1, 600, "http://c.cn/").info) << "3 an hour in this test";
  ASSERT_TRUE(sink_->WaitForMails(3, 30));
  const auto mails = sink_->Mails();
  const std::vector<std::vector<std::string>> expected = {
      {"To: me@x.cn", "X-RcptTo: me@x.cn", "Content-Type: text/plain; charset=UTF-8", "网站：http://中.cn/?a=1&url=2",
       "状态码：500（网站服务器，内部发生错误500）", "网站访问异常"},
      {"状态码：200（访问正常）", "网站已恢复正常"},
      {"状态码：404（网页不存在）"}};
  for (size_t i = 0; i < expected.size(); ++i) {
    for (const auto& text : expected[i]) EXPECT_NE(std::string::npos, mails[i].find(text)) << text << "\n" << mails[i];
  }
}

TEST_F(ServiceTest, KilledWithMailsQueuedDeliversEachOnceAfterRestart) {
  AddAccount("me@x.cn");
  StartService();  // no mail server yet: the mails stay queued
  ASSERT_EQ(1, Login("me@x.cn", kPassword).status);
  for (int code : {404, 500, 600}) ASSERT_EQ(1, Remind("me@x.cn", 1, code, "http://a.cn/").status);
  service_->Kill(SIGKILL);

  StartSink();
  StartService();
  ASSERT_TRUE(sink_->WaitForMails(3, 60));
  EXPECT_TRUE(WaitUntil([&] { return MailsInState("sent") == 3; }, 30));
  EXPECT_EQ(0u, MailsInState("queued"));
  const auto mails = sink_->Mails();
  ASSERT_EQ(3u, mails.size()) << "none twice";
  std::set<std::string> codes;
  for (const auto& mail : mails) codes.insert(mail.substr(mail.find("状态码："), 16));
  EXPECT_EQ(3u, codes.size());
}
