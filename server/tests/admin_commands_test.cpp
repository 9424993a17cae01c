// The operator's commands over a real database of either engine: machines listed and signed out, a new
// password or a disabled account signing every machine out, ends of service and notices
// checked before they are stored, and a database only its owner can read.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <sstream>
#include <thread>

#include "admin/admin_commands.h"
#include "store/database.h"
#include "test_database.h"

namespace {

constexpr int64_t kDay = 86400;
constexpr int64_t kNow = 1796724192;  // 2026-12-08

bool PrivateToOwner(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && (info.st_mode & 077) == 0;
}

}  // namespace

TEST(AdminCommands, LooksAfterMachinesAndChecksWhatItStores) {
  TestFolder folder;
  const std::string path = folder.Path() + "/data/accounts.db";
  Database db(TestingPostgres() ? TestDatabase(folder) : path);
  AccountStore accounts(db);
  MailStore mails(db);
  std::ostringstream out;
  std::ostringstream err;
  std::vector<std::string> passwordChanged;
  AdminContext c{accounts, mails, out, err, kNow, [](const char*) { return std::string("密码ab"); }, 180 * kDay,
                 [&](const std::string& email) { passwordChanged.push_back(email); }};
  ASSERT_EQ(0, RunAdminCommand(c, {"add", "me@x.cn"}));
  const auto signIn = [&](const std::string& machine, int64_t when) {
    const Account account = *accounts.Find("me@x.cn");
    accounts.RecordMachine(account.id, account.passwordHash, machine, when, 0);
  };
  signIn("PC-OLD", kNow - 200 * kDay);
  for (const std::string& file : {path, path + "-wal", path + "-shm", folder.Path() + "/data"}) {
    if (!TestingPostgres()) {
      EXPECT_TRUE(PrivateToOwner(file)) << file;
    }
  }

  const struct {
    std::vector<std::string> signInFirst;  // machines that sign in just before the command
    std::vector<std::string> args;
    int exitCode;
    std::vector<std::string> printed;
  } cases[] = {
      {{"PC-A", "PC-B"}, {"machines", "me@x.cn"}, 0, {"PC-A  signed in 2026-12-08", "PC-B", "PC-OLD", "(expired)"}},
      {{}, {"forget", "me@x.cn", "PC-OLD"}, 0, {"me@x.cn: 1 machine signed out"}},
      {{}, {"forget", "me@x.cn", "PC-OLD"}, 1, {}},
      {{}, {"forget", "who@x.cn", "--all"}, 1, {}},
      {{}, {"passwd", "me@x.cn"}, 0, {"password set for me@x.cn, 2 machines signed out"}},
      {{"PC-A", "PC-B"}, {"forget", "me@x.cn", "--all"}, 0, {"me@x.cn: 2 machines signed out"}},
      {{"PC-A"}, {"disable", "me@x.cn"}, 0, {"me@x.cn disabled, 1 machine signed out"}},
      {{"PC-A"}, {"machines", "me@x.cn"}, 0, {}},  // a disabled account records no sign-in
      {{}, {"expire", "me@x.cn", "+36500"}, 0, {"service until 2126-"}},
      {{}, {"expire", "me@x.cn", "+36501"}, 1, {}},
      {{}, {"expire", "me@x.cn", "+9223372036854775807"}, 1, {}},
      {{}, {"expire", "me@x.cn", "253402300800"}, 1, {}},
      {{}, {"notice", "服务器周六凌晨维护"}, 0, {"notice 1 posted"}},
      {{}, {"notice", "\xB7\xFE\xCE\xF1\xC6\xF7\xCE\xAC\xBB\xA4"}, 1, {}},  // GBK, not UTF-8
      {{}, {"notice", "维护通知\x1B[2J维护"}, 1, {}},
      {{}, {"notice", std::string(260, 'a')}, 1, {}},
      {{}, {"notice", "服务器" + std::string(256, 'a')}, 0, {"notice 2 posted"}},
  };
  for (const auto& step : cases) {
    for (const std::string& machine : step.signInFirst) signIn(machine, kNow);
    out.str("");
    EXPECT_EQ(step.exitCode, RunAdminCommand(c, step.args)) << step.args[0] << " " << step.args.back();
    for (const std::string& text : step.printed) EXPECT_NE(std::string::npos, out.str().find(text)) << out.str();
  }
  EXPECT_TRUE(accounts.Machines("me@x.cn")->empty());
  // Signed out, the machines stay known to the account; only the one unseen too long is gone.
  const int64_t id = accounts.Find("me@x.cn")->id;
  EXPECT_EQ(kNow, accounts.KnownMachineLastSeen(id, "PC-A"));
  EXPECT_EQ(kNow, accounts.KnownMachineLastSeen(id, "PC-B"));
  EXPECT_EQ(std::vector<std::string>{"me@x.cn"}, passwordChanged) << "the sign-in counts are cleared after passwd";
  EXPECT_EQ("服务器" + std::string(256, 'a'), accounts.NewestNotice()->text);
}

// A new password given while a sign-in records its machine: the sign-in waits for it and is
// refused, or the new password signs the machine out; never a machine signed in with the old
// password after the new one. The new password's transaction is held open on a connection
// of its own.
TEST(AdminCommands, ANewPasswordAndASignInUnderWayTakeTurns) {
  TestFolder folder;
  const std::string setting = TestDatabase(folder);
  Database db(setting);
  AccountStore accounts(db);
  ASSERT_TRUE(accounts.Add("me@x.cn", "old hash", kNow, kNow + 365 * kDay));
  const Account account = *accounts.Find("me@x.cn");

  const auto passwd = OpenConnection(setting);
  passwd->Begin();
  static constexpr Query kNewPassword{"UPDATE accounts SET password_hash = 'new hash' WHERE id = $1"};
  static constexpr Query kSignOut{"UPDATE machines SET signed_in = 0 WHERE account_id = $1"};
  (*passwd)(kNewPassword, account.id);
  (*passwd)(kSignOut, account.id);
  std::atomic<int> recorded{-1};
  std::thread signIn([&] {
    try {
      recorded = accounts.RecordMachine(account.id, "old hash", "PC-A", kNow, 0) ? 1 : 0;
    } catch (const std::exception&) {
      recorded = 2;
    }
  });
  if (TestingPostgres()) {
    // The sign-in waits for the account's row while the new password is not committed.
    static constexpr Query kWaiting{"SELECT COUNT(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock'"};
    const auto watcher = OpenConnection(setting);
    EXPECT_TRUE(WaitUntil([&] { return (*watcher)(kWaiting).rows.at(0).Int(0) > 0; }, 10)) << "no wait for the row";
  }
  EXPECT_EQ(-1, recorded.load()) << "recorded before the new password was committed";
  passwd->Exec("COMMIT");
  signIn.join();
  EXPECT_EQ(0, recorded.load());
  EXPECT_FALSE(accounts.MachineLastSeen(account.id, "PC-A").has_value());
}
