// The request logic of reminders and service information, driven by a scripted service and
// a fake clock.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "fake_service.h"
#include "account/account_forms.h"
#include "account/account_messages.h"
#include "account/login_request.h"
#include "account/send_reminder.h"
#include "account/service_info.h"
#include "storage/settings_fields.h"
#include "version.h"

using service_test::FakeClock;
using service_test::FakeTransport;
using service_test::Reply;

namespace {

const char kAccepted[] = R"({"status":1,"info":"ok"})";
const char kRefused[] = R"({"status":0,"info":"no"})";

SettingsStore& AccountOf(SettingsStore& store, const wchar_t* userName, int32_t softType = 2) {
  store.Update([&](SettingsRecord& r) {
    CopyToField(r.userName, userName, FieldFit::kRefuse);
    r.softType = softType;
  });
  return store;
}

// --- SendReminder -----------------------------------------------------------------

struct ReminderRun {
  SettingsStore store;
  FakeClock clock;
  std::atomic<bool> quit{false};

  bool Send(FakeTransport& transport, const std::wstring& url, int code = 503, int tpl = 1) {
    return SendReminder(store, L"MID", url, code, tpl, {transport, clock.Sleeper(), quit});
  }
};

TEST(SendReminder, MakesNoRequestWithoutLowerCaseHttp) {
  for (const wchar_t* url : {L"", L"HTTP://A.B", L"www.example.com", L"Http://x", L"htp://x"}) {
    ReminderRun run;
    FakeTransport transport({Reply(kPostOk, kAccepted)});
    EXPECT_FALSE(run.Send(transport, url)) << url;
    EXPECT_TRUE(transport.posts.empty()) << url;
    EXPECT_EQ(0, run.clock.sleeps);
  }
  ReminderRun run;
  FakeTransport transport({Reply(kPostOk, kAccepted)});
  EXPECT_TRUE(run.Send(transport, L"ftp://mirror/?via=http"));  // anywhere in the text
}

TEST(SendReminder, AcceptedFirstTimeIsOneRequestWithoutSleeping) {
  ReminderRun run;
  AccountOf(run.store, L"me@x.cn", 2);
  FakeTransport transport({Reply(kPostOk, kAccepted)});
  EXPECT_TRUE(run.Send(transport, L"http://s.cn/a&b", 404, 2));
  ASSERT_EQ(1u, transport.posts.size());
  EXPECT_EQ(kReminderPath, transport.posts[0].path);
  EXPECT_EQ(L"username=me@x.cn&id=MID&softtype=2&ver=" TARN_VERSION_TEXT "&tpl=2&code=404&url=http://s.cn/a&b",
            transport.posts[0].form);
  EXPECT_EQ(0, run.clock.sleeps);
}

TEST(SendReminder, RetriesEveryFailureThreeTimesNineSecondsApart) {
  const struct {
    const char* what;
    int code;
    const char* body;
  } failures[] = {
      {"unreachable", kPostConnectFailed, ""}, {"no answer", kPostSendFailed, ""},
      {"bad status", kPostBadStatus, ""},      {"empty body", kPostOk, ""},
      {"not json", kPostOk, "<html>"},         {"status 0", kPostOk, kRefused},
      {"status 2", kPostOk, R"({"status":2})"},
  };
  for (const auto& f : failures) {
    ReminderRun run;
    FakeTransport transport({Reply(f.code, f.body)}, &run.clock.seconds);
    EXPECT_FALSE(run.Send(transport, L"http://a")) << f.what;
    ASSERT_EQ(3u, transport.posts.size()) << f.what;
    EXPECT_EQ(0, transport.posts[0].second);
    EXPECT_EQ(9, transport.posts[1].second);
    EXPECT_EQ(18, transport.posts[2].second);
    EXPECT_EQ(18, run.clock.sleeps) << f.what;  // none after the last attempt
    // The form is built once and reused.
    EXPECT_EQ(transport.posts[0].form, transport.posts[2].form);
  }
}

TEST(SendReminder, SecondAttemptCanSucceed) {
  ReminderRun run;
  FakeTransport transport({Reply(kPostOk, kRefused), Reply(kPostOk, R"({"status":"1abc"})")});
  EXPECT_TRUE(run.Send(transport, L"http://a"));
  EXPECT_EQ(2u, transport.posts.size());
  EXPECT_EQ(9, run.clock.sleeps);
}

TEST(SendReminder, QuitEndsTheCallWithinOneSleep) {
  ReminderRun run;
  run.clock.onSecond = [&](long second) {
    if (second == 4) run.quit = true;
  };
  FakeTransport transport({Reply(kPostConnectFailed)});
  EXPECT_FALSE(run.Send(transport, L"http://a"));
  EXPECT_EQ(1u, transport.posts.size());
  EXPECT_EQ(4, run.clock.sleeps);

  ReminderRun already;
  already.quit = true;
  FakeTransport none({Reply(kPostOk, kAccepted)});
  EXPECT_FALSE(already.Send(none, L"http://a"));
  EXPECT_TRUE(none.posts.empty());
}

TEST(SendReminder, RefusesATooLongFormWithoutARequest) {
  ReminderRun run;
  FakeTransport transport({Reply(kPostOk, kAccepted)});
  EXPECT_FALSE(run.Send(transport, L"http://" + std::wstring(250, L'a')));
  EXPECT_TRUE(transport.posts.empty());
}

TEST(SendReminder, TakesNameAndTypeFromOneSnapshot) {
  // A sign-in replaces the record while reminders are being sent: every form carries
  // one account's name with that account's type, never a mix.
  ReminderRun run;
  AccountOf(run.store, L"first@a.cn", 1);
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int i = 0; !stop; ++i) {
      if (i % 2) {
        AccountOf(run.store, L"first@a.cn", 1);
      } else {
        AccountOf(run.store, L"second-account-with-a-longer-name@b.cn", 3);
      }
    }
  });
  FakeTransport transport({Reply(kPostOk, kAccepted)});
  for (int i = 0; i < 2000; ++i) run.Send(transport, L"http://a");
  stop = true;
  writer.join();
  for (const auto& post : transport.posts) {
    const bool first = post.form.rfind(L"username=first@a.cn&id=MID&softtype=1&", 0) == 0;
    const bool second = post.form.rfind(
        L"username=second-account-with-a-longer-name@b.cn&id=MID&softtype=3&", 0) == 0;
    ASSERT_TRUE(first || second) << post.form;
  }
}

// --- ServiceInfoPoller --------------------------------------------------------------

class RecordingSink : public AccountSink {
 public:
  void PostState(WPARAM state) override { events.push_back(std::to_wstring(state)); }
  void SendNotice(const std::wstring& text) override { events.push_back(L"100:" + text); }
  std::vector<std::wstring> events;
};

struct InfoRun {
  std::shared_ptr<SettingsStore> store = std::make_shared<SettingsStore>();
  RecordingSink sink;
  std::atomic<bool> signedIn{false};
  FakeClock clock;
  std::atomic<bool> quit{false};

  // Runs the schedule for the given fake seconds.
  void RunFor(FakeTransport& transport, long seconds) {
    ServiceInfoPoller poller(store, L"MID", transport, sink, signedIn);
    clock.onSecond = [&, seconds](long now) {
      if (now >= seconds) quit = true;
    };
    poller.Run(clock.Sleeper(), quit);
  }

  // Asks the service `times` times, without the schedule.
  void Request(FakeTransport& transport, int times = 1) {
    ServiceInfoPoller poller(store, L"MID", transport, sink, signedIn);
    for (int i = 0; i < times; ++i) poller.RequestOnce();
  }
};

std::vector<long> Seconds(const FakeTransport& transport) {
  std::vector<long> out;
  for (const auto& p : transport.posts) out.push_back(p.second);
  return out;
}

TEST(ServiceInfoPoller, ScheduleFollowsTheAnswerCount) {
  const long hour = 3600;
  {  // No network: every ten minutes, for ever.
    InfoRun run;
    FakeTransport transport({Reply(kPostConnectFailed)}, &run.clock.seconds);
    run.RunFor(transport, 2 * hour);
    EXPECT_EQ((std::vector<long>{9, 608, 1207, 1806, 2405, 3004, 3603, 4202, 4801, 5400, 5999,
                                 6598, 7197}),
              Seconds(transport));
    EXPECT_TRUE(run.sink.events.empty());
  }
  {  // A service that always answers: 9 s, ten minutes later, then every five hours.
    InfoRun run;
    FakeTransport transport({Reply(kPostOk, kAccepted)}, &run.clock.seconds);
    run.RunFor(transport, 11 * hour);
    EXPECT_EQ((std::vector<long>{9, 608, 608 + 17999, 608 + 2 * 17999}), Seconds(transport));
  }
  {  // Three bad statuses move to the long cycle too; unparsed answers count once each.
    InfoRun run;
    FakeTransport transport({Reply(kPostBadStatus), Reply(kPostOk, "oops"), Reply(kPostBadStatus)},
                            &run.clock.seconds);
    run.RunFor(transport, 6 * hour);
    EXPECT_EQ((std::vector<long>{9, 608, 1207, 1806, 1806 + 17999}), Seconds(transport));
  }
}

TEST(ServiceInfoPoller, QuitEndsTheWaitWithinASecond) {
  InfoRun run;
  FakeTransport transport({Reply(kPostOk, kAccepted)}, &run.clock.seconds);
  run.RunFor(transport, 3);
  EXPECT_TRUE(transport.posts.empty());
  EXPECT_EQ(3, run.clock.sleeps);

  InfoRun already;
  already.quit = true;
  ServiceInfoPoller poller(already.store, L"MID", transport, already.sink, already.signedIn);
  poller.Run(already.clock.Sleeper(), already.quit);
  EXPECT_EQ(0, already.clock.sleeps);
}

TEST(ServiceInfoPoller, SendsTheFormOfTheRecordAtStart) {
  InfoRun run;
  AccountOf(*run.store, L"", 2);
  FakeTransport transport({Reply(kPostConnectFailed)});
  ServiceInfoPoller poller(run.store, L"MID", transport, run.sink, run.signedIn);
  AccountOf(*run.store, L"later@sign.in", 2);  // a later sign-in does not change the form
  poller.RequestOnce();
  ASSERT_EQ(1u, transport.posts.size());
  EXPECT_EQ(kServiceInfoPath, transport.posts[0].path);
  EXPECT_EQ(L"username=&id=MID&softtype=2&ver=" TARN_VERSION_TEXT, transport.posts[0].form);
}

TEST(ServiceInfoPoller, AcceptedReplyUpdatesRecordAndReportsInOrder) {
  InfoRun run;
  run.store->Update([](SettingsRecord& r) {
    r.softType = 0;
    r.loginFailed = 1;
    r.lastNoticeId = 6;
  });
  FakeTransport transport({Reply(
      kPostOk,
      R"({"status":1,"time":1700000000,"expire":1800000000,"update":1,"notice_id":7,)"
      R"("notice_text":"六个字的通知","info":"x"})")});
  run.Request(transport);
  const SettingsRecord r = run.store->Snapshot();
  EXPECT_EQ(2, r.softType);
  EXPECT_EQ(1700000000, r.serviceTime);
  EXPECT_EQ(1800000000, r.expireTime);
  EXPECT_EQ(0, r.loginFailed);
  EXPECT_EQ(7, r.lastNoticeId);
  EXPECT_TRUE(run.signedIn);
  EXPECT_EQ((std::vector<std::wstring>{L"1", L"120", L"100:六个字的通知"}), run.sink.events);
}

TEST(ServiceInfoPoller, RefusedReplySignsOut) {
  InfoRun run;
  run.signedIn = true;
  run.store->Update([](SettingsRecord& r) {
    r.serviceTime = 5;
    r.expireTime = 9;
  });
  FakeTransport transport({Reply(kPostOk, R"({"status":0,"time":77,"expire":88})")});
  run.Request(transport);
  const SettingsRecord r = run.store->Snapshot();
  EXPECT_FALSE(run.signedIn);
  EXPECT_EQ(0, r.expireTime);
  EXPECT_EQ(5, r.serviceTime);  // kept
  EXPECT_EQ(1, r.loginFailed);
  EXPECT_EQ(2, r.softType);
  EXPECT_EQ((std::vector<std::wstring>{L"0"}), run.sink.events);
}

TEST(ServiceInfoPoller, FailuresChangeNothing) {
  for (const char* body : {"", "[1,2", "\"text\""}) {
    InfoRun run;
    run.signedIn = true;
    run.store->Update([](SettingsRecord& r) { r.expireTime = 9; });
    const SettingsRecord before = run.store->Snapshot();
    for (int code : {-5, -2, -1, 0}) {
      FakeTransport transport({Reply(code, body)});
      run.Request(transport);
    }
    const SettingsRecord after = run.store->Snapshot();
    EXPECT_EQ(0, std::memcmp(&before, &after, sizeof before));
    EXPECT_TRUE(run.signedIn);
    EXPECT_TRUE(run.sink.events.empty());
  }
}

TEST(ServiceInfoPoller, ShowsEachNoticeNumberOnce) {
  InfoRun run;
  const auto notice = [](int id, const char* text) {
    return Reply(kPostOk, std::string(R"({"status":1,"notice_id":)") + std::to_string(id) +
                              R"(,"notice_text":")" + text + "\"}");
  };
  FakeTransport transport({
      notice(7, "123456"),   // shown
      notice(7, "123456"),   // same number again: ignored
      notice(6, "older!"),   // older: ignored
      notice(8, "12345"),    // five characters: ignored, number not stored
      notice(0, "no number"),
      notice(8, "abcdef"),   // shown
  });
  run.Request(transport, 6);
  std::vector<std::wstring> notices;
  for (const auto& e : run.sink.events) {
    if (e.rfind(L"100:", 0) == 0) notices.push_back(e);
  }
  EXPECT_EQ((std::vector<std::wstring>{L"100:123456", L"100:abcdef"}), notices);
  EXPECT_EQ(8, run.store->Snapshot().lastNoticeId);

  // A notice seen in an earlier run (lastNoticeId saved with the record) stays hidden.
  InfoRun next;
  next.store->Update([](SettingsRecord& r) { r.lastNoticeId = 8; });
  FakeTransport again({notice(8, "abcdef")});
  next.Request(again);
  EXPECT_EQ((std::vector<std::wstring>{L"1"}), next.sink.events);
}

}  // namespace
