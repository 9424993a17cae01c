#include "channels/channel_text.h"

#include <ctime>

#include "text/status_text.h"

namespace {

std::string LocalTime(int64_t time) {
  const std::time_t t = static_cast<std::time_t>(time);
  std::tm parts{};
  localtime_r(&t, &parts);
  char out[64] = {};
  std::strftime(out, sizeof out, "%Y-%m-%d %H:%M:%S", &parts);
  return out;
}

// A site address the program sent, on one line.
std::string OneLine(std::string text) {
  for (char& c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = ' ';
  }
  return text;
}

const char* What(const Delivery& d) { return d.event.templateId == 1 ? "不能访问" : "已恢复"; }

std::string CodeText(const Delivery& d) {
  return std::to_string(d.event.statusCode) + "（" + std::string(StatusText(d.event.statusCode)) + "）";
}

std::string FullText(const Delivery& d) {
  std::string text = std::string("【网站监控】网站") + What(d) + "\n";
  text += "网站：" + OneLine(d.event.site) + "\n";
  text += std::string("情况：") + What(d) + "\n";
  text += "状态码：" + CodeText(d) + "\n";
  text += "时间：" + LocalTime(d.event.time);
  if (d.event.templateId != 1 && d.downSeconds >= 0) text += "\n中断时长：" + DurationText(d.downSeconds);
  return text;
}

std::string SummaryLine(const Delivery& d) {
  std::string line = LocalTime(d.event.time) + " " + What(d) + " " + OneLine(d.event.site) + " 状态码 " + CodeText(d);
  if (d.event.templateId != 1 && d.downSeconds >= 0) line += " 中断 " + DurationText(d.downSeconds);
  return line;
}

}  // namespace

std::string CutUtf8(const std::string& text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  size_t end = maxBytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

std::string DurationText(int64_t seconds) {
  if (seconds < 60) return std::to_string(seconds) + "秒";
  const int64_t days = seconds / 86400, hours = seconds % 86400 / 3600, minutes = seconds % 3600 / 60;
  std::string text;
  if (days) text += std::to_string(days) + "天";
  if (hours) text += std::to_string(hours) + "小时";
  if (minutes || text.empty()) text += std::to_string(minutes) + "分钟";
  return text;
}

std::string TestMessageText(int64_t now) {
  return "【网站监控】测试消息：此渠道已能收到网站监控提醒。\n时间：" + LocalTime(now);
}

ComposedText ComposeChannelText(const std::vector<Delivery>& deliveries, size_t maxBytes) {
  if (deliveries.empty()) return {};
  if (deliveries.size() == 1) return {CutUtf8(FullText(deliveries[0]), maxBytes), 1};
  // The heading counts what this message holds, so it is written after the lines are chosen.
  const auto heading = [](size_t count, size_t failing) {
    return "【网站监控】汇总提醒 " + std::to_string(count) + " 条（不能访问 " + std::to_string(failing) + "，已恢复 " +
           std::to_string(count - failing) + "）";
  };
  constexpr size_t kHeadingRoom = 96;  // the heading with the longest counts
  std::string lines;
  size_t carried = 0, failing = 0;
  for (const Delivery& d : deliveries) {
    std::string line(1, '\n');
    line += SummaryLine(d);
    if (carried > 0 && kHeadingRoom + lines.size() + line.size() > maxBytes) break;
    lines += line;
    ++carried;
    if (d.event.templateId == 1) ++failing;
  }
  return {CutUtf8(heading(carried, failing) + lines, maxBytes), carried};
}
