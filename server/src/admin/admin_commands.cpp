#include "admin/admin_commands.h"

#include <sodium.h>

#include <cctype>
#include <charconv>
#include <ctime>
#include <optional>
#include <ostream>

#include "api/account_address.h"
#include "api/gbk_text.h"
#include "api/password_hash.h"
#include "api/version_compare.h"
#include "web/link_mailer.h"

namespace {

constexpr int64_t kDay = 86400;
constexpr int64_t kMaxDays = 36500;                    // "+DAYS" reaches at most a hundred years ahead
constexpr int64_t kMaxServiceEnd = 253402300799;       // 9999-12-31 23:59:59 UTC
constexpr size_t kLongestNotice = 259;                 // what the program's popup holds, in UTF-16 units

const char* kUsage =
    "commands:\n"
    "  add EMAIL [END]        create an account (password asked for; END as for expire, default +365)\n"
    "  invite EMAIL [+DAYS]   mail a link where the person sets their own password; the account,\n"
    "                         with DAYS of service (default 365), exists once they have\n"
    "  passwd EMAIL           set a new password\n"
    "  disable EMAIL          refuse the account's sign-ins, information and mails\n"
    "                         (passwd and disable also sign every machine of the account out)\n"
    "  enable EMAIL           accept them again\n"
    "  expire EMAIL END       set the end of service: YYYY-MM-DD, +DAYS or Unix seconds\n"
    "  list                   list the accounts\n"
    "  machines EMAIL         list the machines signed in to the account\n"
    "  forget EMAIL MACHINE   sign one machine out (--all for every machine of the account)\n"
    "  notice TEXT            post a notice (UTF-8, 6 to 259 characters)\n"
    "  version X.Y.Z.W        set the latest program version (older programs are told to update)\n"
    "  mails [queued|sent|failed]  list the newest reminder mails\n"
    "  copy-to postgresql://USER@HOST:PORT/DATABASE\n"
    "                         copy this SQLite installation (accounts, machines, notices,\n"
    "                         the latest version, the mail queue) into an empty PostgreSQL database\n";

std::string Date(int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm parts{};
  gmtime_r(&t, &parts);
  char out[32] = {};
  std::strftime(out, sizeof out, "%Y-%m-%d %H:%M UTC", &parts);
  return out;
}

// Asks for a password twice when it comes from a terminal; the hash, or empty on failure.
std::string NewPasswordHash(AdminContext& c) {
  std::string first = c.readPassword("new password: ");
  std::string hash;
  if (Utf8Length(first) < 4 || Utf8Length(first) > 20) {
    c.err << "the program accepts passwords of 4 to 20 characters\n";
  } else {
    hash = HashPassword(first).value_or("");
    if (hash.empty()) c.err << "hashing failed\n";
  }
  sodium_memzero(first.data(), first.size());
  return hash;
}

// The length the program sees (UTF-16 units) of valid UTF-8 text, or nothing when the
// bytes are not UTF-8 or hold control characters other than line breaks.
std::optional<size_t> NoticeLength(const std::string& text) {
  size_t units = 0;
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) return std::nullopt;
    uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      code = (code << 6) | (next & 0x3F);
    }
    static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return std::nullopt;
    if ((code < 0x20 && code != '\n' && code != '\r') || code == 0x7F) return std::nullopt;
    units += code >= 0x10000 ? 2 : 1;
    i += length;
  }
  return units;
}

// A machine identifier as the program sent it, with anything unprintable masked.
std::string Printable(std::string text) {
  for (char& ch : text) {
    if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) ch = '?';
  }
  return text;
}

std::string MachinesSignedOut(int count) {
  return count == 1 ? "1 machine signed out" : std::to_string(count) + " machines signed out";
}

int Fail(AdminContext& c, const std::string& message) {
  c.err << message << "\n";
  return 1;
}

}  // namespace

bool ParseServiceEnd(const std::string& text, int64_t now, int64_t& out) {
  int64_t value = 0;
  const char* begin = text.data() + (text.starts_with('+') ? 1 : 0);
  const char* end = text.data() + text.size();
  if (auto [p, e] = std::from_chars(begin, end, value); e == std::errc() && p == end && value >= 0) {
    if (text.starts_with('+') ? value > kMaxDays : value > kMaxServiceEnd) return false;
    out = text.starts_with('+') ? now + value * kDay : value;
    return true;
  }
  std::tm parts{};
  const char* parsed = strptime(text.c_str(), "%Y-%m-%d", &parts);
  if (!parsed || *parsed != '\0') return false;
  out = static_cast<int64_t>(timegm(&parts)) + kDay - 1;
  return out > 0 && out <= kMaxServiceEnd;
}

int RunAdminCommand(AdminContext& c, const std::vector<std::string>& args) {
  const std::string command = args.empty() ? "" : args[0];
  const size_t n = args.size();
  if (command == "add" && (n == 2 || n == 3)) {
    if (!IsPlainAddress(args[1])) return Fail(c, "not an address the program accepts: " + args[1]);
    if (c.accounts.Find(args[1])) return Fail(c, "account exists: " + args[1]);
    int64_t serviceEnd = c.now + 365 * kDay;
    if (n == 3 && !ParseServiceEnd(args[2], c.now, serviceEnd)) return Fail(c, "bad end of service: " + args[2]);
    const std::string hash = NewPasswordHash(c);
    if (hash.empty()) return 1;
    if (!c.accounts.Add(args[1], hash, c.now, serviceEnd)) return Fail(c, "account exists: " + args[1]);
    c.out << "added " << args[1] << ", service until " << Date(serviceEnd) << "\n";
    return 0;
  }
  if (command == "invite" && (n == 2 || n == 3)) {
    if (!IsPlainAddress(args[1])) return Fail(c, "not an address the program accepts: " + args[1]);
    if (c.accounts.Find(args[1])) return Fail(c, "account exists: " + args[1]);
    long long days = 365;
    if (n == 3 && (args[2].size() < 2 || args[2][0] != '+' ||
                   std::from_chars(args[2].data() + 1, args[2].data() + args[2].size(), days).ptr !=
                       args[2].data() + args[2].size() ||
                   days < 1 || days > 36500)) {
      return Fail(c, "bad days of service: " + args[2] + " (+1 to +36500)");
    }
    if (!c.tokens || c.publicUrl.empty()) return Fail(c, "invitations need the public_url setting");
    MailLink(*c.tokens, c.mails, c.publicUrl, c.sender,
             LinkMail{AccountMailKind::kInvitation, args[1], "", static_cast<int>(days)}, c.now);
    c.out << "invitation queued for " << args[1] << " (" << days << " days of service once accepted)\n";
    return 0;
  }
  if (command == "passwd" && n == 2) {
    if (!c.accounts.Find(args[1])) return Fail(c, "no account " + args[1]);
    const std::string hash = NewPasswordHash(c);
    if (hash.empty()) return 1;
    const auto signedOut = c.accounts.SetPassword(args[1], hash);
    if (!signedOut) return Fail(c, "no account " + args[1]);
    if (c.passwordChanged) c.passwordChanged(args[1]);
    c.out << "password set for " << args[1] << ", " << MachinesSignedOut(*signedOut) << "\n";
    return 0;
  }
  if ((command == "disable" || command == "enable") && n == 2) {
    const auto signedOut = c.accounts.SetEnabled(args[1], command == "enable");
    if (!signedOut) return Fail(c, "no account " + args[1]);
    c.out << args[1] << (command == "enable" ? " enabled" : " disabled, " + MachinesSignedOut(*signedOut)) << "\n";
    return 0;
  }
  if (command == "machines" && n == 2) {
    const auto machines = c.accounts.Machines(args[1]);
    if (!machines) return Fail(c, "no account " + args[1]);
    for (const Machine& m : *machines) {
      c.out << Printable(m.id) << "  signed in " << Date(m.firstSeen) << "  last seen " << Date(m.lastSeen)
            << (m.lastSeen <= c.now - c.machineIdleSeconds ? "  (expired)" : "") << "\n";
    }
    return 0;
  }
  if (command == "forget" && n == 3) {
    const auto signedOut =
        args[2] == "--all" ? c.accounts.ForgetAllMachines(args[1]) : c.accounts.ForgetMachine(args[1], args[2]);
    if (!signedOut) return Fail(c, "no account " + args[1]);
    if (*signedOut == 0) return Fail(c, "no machine " + args[2] + " signed in to " + args[1]);
    c.out << args[1] << ": " << MachinesSignedOut(*signedOut) << "\n";
    return 0;
  }
  if (command == "expire" && n == 3) {
    int64_t serviceEnd = 0;
    if (!ParseServiceEnd(args[2], c.now, serviceEnd)) return Fail(c, "bad end of service: " + args[2]);
    if (!c.accounts.SetServiceEnd(args[1], serviceEnd)) return Fail(c, "no account " + args[1]);
    c.out << args[1] << " service until " << Date(serviceEnd) << "\n";
    return 0;
  }
  if (command == "list" && n == 1) {
    for (const Account& a : c.accounts.List()) {
      c.out << a.email << (a.enabled ? "  enabled" : "  disabled") << "  until " << Date(a.serviceEnd) << "\n";
    }
    return 0;
  }
  if (command == "notice" && n == 2) {
    const auto length = NoticeLength(args[1]);
    if (!length) return Fail(c, "a notice is UTF-8 text without control characters");
    if (*length <= 5) return Fail(c, "the program shows only notices of more than 5 characters");
    if (*length > kLongestNotice) return Fail(c, "the program shows at most 259 characters of a notice");
    c.out << "notice " << c.accounts.PostNotice(args[1], c.now) << " posted\n";
    return 0;
  }
  if (command == "version" && n == 2) {
    if (!IsVersionText(args[1])) return Fail(c, "a version is a dotted number such as 1.1.0.3");
    c.accounts.SetLatestVersion(args[1]);
    c.out << "latest version " << args[1] << "\n";
    return 0;
  }
  if (command == "mails" && n <= 2) {
    const std::string state = n == 2 ? args[1] : "";
    if (!state.empty() && state != "queued" && state != "sent" && state != "failed") return Fail(c, kUsage);
    for (const QueuedMail& m : c.mails.List(state, 100)) {
      c.out << m.id << "  " << m.state << "  " << m.recipient << "  queued " << Date(m.created) << "  attempts "
            << m.attempts;
      if (m.state == "sent") c.out << "  sent " << Date(m.sentAt);
      if (!m.lastError.empty()) c.out << "  last error: " << m.lastError;
      c.out << "\n";
    }
    return 0;
  }
  c.err << kUsage;
  return 2;
}
