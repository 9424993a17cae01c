#include "text/status_text.h"

#include <climits>

namespace {

struct StatusRange {
  int first;
  int last;
  std::string_view text;
};

// The program's own codes name themselves; HTTP statuses go by class.
constexpr StatusRange kStatusTexts[] = {
    {9, 9, "线程退出"},
    {10, 10, "本机网络断线，请检查网线是否插好"},
    {11, 11, "本机网络恢复正常"},
    {21, 21, "本地网络始初化失败"},
    {22, 22, "不能访问网站，可能本机不能上网，或网站故障"},
    {24, 24, "发送提醒邮件：失败。"},
    {25, 25, "发送提醒邮件：成功。"},
    {100, 199, "临时响应"},
    {200, 299, "访问正常"},
    {300, 399, "当前网页300跳转"},
    {400, 499, "网页不存在"},
    {500, 599, "网站服务器，内部发生错误500"},
    {600, INT_MAX, "http未知状态"},
};

}  // namespace

std::string_view StatusText(int code) {
  for (const auto& range : kStatusTexts) {
    if (code >= range.first && code <= range.last) return range.text;
  }
  return "未知状态";
}
