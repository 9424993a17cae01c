#include "monitor/monitor_events.h"

#include <climits>

namespace {

struct StatusRange {
  int first;
  int last;
  const wchar_t* text;
};

// Worker codes name themselves; HTTP statuses go by class.
constexpr StatusRange kStatusTexts[] = {
    {EV_THREAD_EXIT, EV_THREAD_EXIT, L"线程退出"},
    {EV_NET_DOWN, EV_NET_DOWN, L"本机网络断线，请检查网线是否插好"},
    {EV_NET_UP, EV_NET_UP, L"本机网络恢复正常"},
    {EV_NET_INIT_FAILED, EV_NET_INIT_FAILED, L"本地网络始初化失败"},
    {EV_SITE_UNREACHABLE, EV_SITE_UNREACHABLE, L"不能访问网站，可能本机不能上网，或网站故障"},
    {EV_MAIL_FAILED, EV_MAIL_FAILED, L"发送提醒邮件：失败。"},
    {EV_MAIL_SENT, EV_MAIL_SENT, L"发送提醒邮件：成功。"},
    {100, 199, L"临时响应"},
    {200, 299, L"访问正常"},
    {300, 399, L"当前网页300跳转"},
    {400, 499, L"网页不存在"},
    {500, 599, L"网站服务器，内部发生错误500"},
    {600, INT_MAX, L"http未知状态"},
};

}  // namespace

const wchar_t* StatusText(int code) {
  for (const auto& range : kStatusTexts) {
    if (code >= range.first && code <= range.last) return range.text;
  }
  return kUnknownStatusText;
}
