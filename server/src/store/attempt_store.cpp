#include "store/attempt_store.h"

#include <charconv>

namespace {

// A key's row holds the times of its attempts, oldest first, as decimal seconds separated
// by spaces.
constexpr Query kMakeRow{"INSERT INTO sign_in_attempts (key, times, last) VALUES ($1, '', $2) "
                         "ON CONFLICT (key) DO NOTHING"};
// PostgreSQL holds the row until the transaction ends, so instances take turns on a key;
// SQLite's write transaction already excludes every other writer.
constexpr Query kReadTimes{"SELECT times FROM sign_in_attempts WHERE key = $1",
                           "SELECT times FROM sign_in_attempts WHERE key = $1 FOR UPDATE"};
constexpr Query kWriteTimes{"UPDATE sign_in_attempts SET times = $2, last = $3 WHERE key = $1"};
constexpr Query kWriteTimesOnly{"UPDATE sign_in_attempts SET times = $2 WHERE key = $1"};
constexpr Query kDelete{"DELETE FROM sign_in_attempts WHERE key = $1"};
constexpr Query kForgetQuiet{"DELETE FROM sign_in_attempts WHERE last < $1"};

std::vector<int64_t> ReadTimes(SqlConnection& sql, const std::string& key) {
  const SqlResult row = sql(kReadTimes, key);
  std::vector<int64_t> times;
  if (row.rows.empty()) return times;
  const std::string& text = row.rows[0].Text(0);
  const char* at = text.data();
  const char* end = at + text.size();
  while (at < end) {
    int64_t time = 0;
    const auto parsed = std::from_chars(at, end, time);
    if (parsed.ec != std::errc()) break;
    times.push_back(time);
    at = parsed.ptr + (parsed.ptr < end ? 1 : 0);
  }
  return times;
}

std::string WriteTimes(const std::vector<int64_t>& times) {
  std::string text;
  for (const int64_t time : times) {
    if (!text.empty()) text += ' ';
    text += std::to_string(time);
  }
  return text;
}

}  // namespace

bool AttemptStore::ChangeTimes(const std::string& key, std::optional<int64_t> now,
                               const std::function<bool(std::vector<int64_t>& times)>& change) {
  return db_.InTransaction([&](SqlConnection& sql) {
    if (now) sql(kMakeRow, key, *now);
    std::vector<int64_t> times = ReadTimes(sql, key);
    if (!change(times)) return false;
    if (now) {
      sql(kWriteTimes, key, WriteTimes(times), *now);
    } else {
      sql(kWriteTimesOnly, key, WriteTimes(times));
    }
    return true;
  });
}

void AttemptStore::Delete(const std::string& key) {
  db_.WithConnection([&](SqlConnection& sql) { sql(kDelete, key); });
}

int AttemptStore::ForgetQuiet(int64_t before) {
  return db_.WithConnection([&](SqlConnection& sql) { return static_cast<int>(sql(kForgetQuiet, before).changed); });
}
