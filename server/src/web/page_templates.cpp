#include "web/page_templates.h"

#include <array>
#include <memory>

namespace {

constexpr const char* kFrame = R"(<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{{title}} - 网站监控提醒服务</title>
<link rel="stylesheet" href="/style.css">
</head>
<body>
<header>
<a class="brand" href="/">网站监控提醒服务</a>
<nav>{{#signedIn}}<a href="/account">我的账户</a>
<form method="post" action="/signout" class="inline"><input type="hidden" name="csrf" value="{{csrf}}"><button type="submit" class="link" id="signout">退出登录</button></form>{{/signedIn}}{{^signedIn}}<a href="/signin">登录</a>{{#signUpOpen}} <a href="/signup">注册</a>{{/signUpOpen}}{{/signedIn}}</nav>
</header>
<main>
<h1>{{title}}</h1>
{{#error}}<p class="error" id="error">{{error}}</p>{{/error}}
{{#notice}}<p class="notice" id="notice">{{notice}}</p>{{/notice}}
{{{content}}}
</main>
</body>
</html>
)";

constexpr const char* kHome = R"(<p class="lead">在电脑上运行网站监控程序：您监控的网站出现异常或恢复正常时，本服务立即发邮件提醒您。</p>
<p class="actions"><a class="button" href="/signin" id="home-signin">登录</a>{{#signUpOpen}} <a class="button secondary" href="/signup" id="home-signup">注册新账户</a>{{/signUpOpen}}</p>
{{#hasDownloads}}<h2>下载程序</h2>
<div class="scroll"><table id="downloads">
<thead><tr><th>安装程序</th><th>版本</th><th>大小</th><th>SHA-256</th></tr></thead>
<tbody>{{#downloads}}<tr><td><a href="/downloads/{{name}}">{{name}}</a></td><td>{{version}}</td><td class="nowrap">{{size}}</td><td class="hash">{{sha256}}</td></tr>
{{/downloads}}</tbody></table></div>{{/hasDownloads}}
)";

constexpr const char* kMessage = R"({{#linkHref}}<p><a class="button" href="{{linkHref}}" id="next">{{linkText}}</a></p>{{/linkHref}}
)";

constexpr const char* kSignIn = R"(<form method="post" action="/signin" class="card">
<input type="hidden" name="csrf" value="{{csrf}}">
<label>邮箱<input type="email" name="email" value="{{email}}" required maxlength="82" autocomplete="username"></label>
<label>密码<input type="password" name="password" required maxlength="128" autocomplete="current-password"></label>
<button type="submit" id="submit">登录</button>
</form>
<p><a href="/forgot">忘记密码？</a>{{#signUpOpen}} · <a href="/signup">注册新账户</a>{{/signUpOpen}}</p>
)";

constexpr const char* kSignUp = R"(<form method="post" action="/signup" class="card">
<input type="hidden" name="csrf" value="{{csrf}}">
<label>邮箱<input type="email" name="email" value="{{email}}" required maxlength="82" autocomplete="username"></label>
<label>密码（至少 8 个字符）<input type="password" name="password" required minlength="8" maxlength="128" autocomplete="new-password"></label>
<button type="submit" id="submit">注册</button>
</form>
<p class="hint">我们会给这个邮箱发一封确认邮件，确认后账户即可使用，含 {{signUpDays}} 天服务。</p>
)";

constexpr const char* kForgot = R"(<form method="post" action="/forgot" class="card">
<input type="hidden" name="csrf" value="{{csrf}}">
<label>账户邮箱<input type="email" name="email" value="{{email}}" required maxlength="82" autocomplete="username"></label>
<button type="submit" id="submit">发送重设密码邮件</button>
</form>
)";

constexpr const char* kSetPassword = R"(<form method="post" action="{{action}}" class="card">
<input type="hidden" name="csrf" value="{{csrf}}">
<input type="hidden" name="t" value="{{token}}">
<p>账户：{{email}}</p>
<label>新密码（至少 8 个字符）<input type="password" name="password" required minlength="8" maxlength="128" autocomplete="new-password"></label>
<button type="submit" id="submit">设置密码</button>
</form>
)";

constexpr const char* kConfirm = R"(<form method="post" action="/confirm" class="card">
<input type="hidden" name="csrf" value="{{csrf}}">
<input type="hidden" name="t" value="{{token}}">
<p>确认后，账户 {{email}} 即可使用。</p>
<button type="submit" id="submit">确认注册</button>
</form>
)";

constexpr const char* kAccount = R"(<section>
<h2>服务</h2>
<p>账户：<span id="email">{{email}}</span></p>
<p>服务到期：<span id="service-end">{{serviceEnd}}</span>{{#ended}} <strong class="warn">（已到期）</strong>{{/ended}}</p>
</section>
<section>
<h2>已登录的电脑</h2>
{{#hasMachines}}<div class="scroll"><table id="machines" class="cards">
<thead><tr><th>电脑标识</th><th>首次登录</th><th>最近使用</th><th>程序版本</th><th></th></tr></thead>
<tbody>{{#machines}}<tr class="machine"><td class="machine-id" data-label="电脑标识">{{id}}</td><td class="nowrap" data-label="首次登录">{{firstSeen}}</td><td class="nowrap" data-label="最近使用">{{lastSeen}}</td><td data-label="程序版本">{{version}}</td>
<td><form method="post" action="/account/machines/signout" class="inline"><input type="hidden" name="csrf" value="{{csrf}}"><input type="hidden" name="machine" value="{{id}}"><button type="submit" class="small">退出此电脑</button></form></td></tr>
{{/machines}}</tbody></table></div>
<form method="post" action="/account/machines/signout-all"><input type="hidden" name="csrf" value="{{csrf}}"><button type="submit" class="secondary" id="signout-all">退出所有电脑</button></form>{{/hasMachines}}
{{^hasMachines}}<p id="no-machines">目前没有已登录的电脑。</p>{{/hasMachines}}
</section>
<section id="channels">
<h2>提醒渠道</h2>
<p class="hint">网站出现异常或恢复正常时，提醒发往下面每个已启用的渠道。程序里的“邮件提醒”选项仍决定是否发送提醒：在程序里关闭它，任何渠道都不会收到提醒。</p>
<div class="scroll"><table id="reminder-channels" class="cards">
<thead><tr><th>渠道</th><th>发往</th><th>提醒</th><th>状态</th><th></th></tr></thead>
<tbody>{{#mail}}<tr class="channel" id="mail-channel"><td data-label="渠道">{{title}}</td><td data-label="发往">{{target}}</td>
<td class="nowrap" data-label="提醒"><form method="post" action="/account/mail" class="inline"><input type="hidden" name="csrf" value="{{csrf}}"><input type="hidden" name="mail" value="{{#enabled}}on{{/enabled}}{{^enabled}}off{{/enabled}}">{{> events}} <button type="submit" class="small secondary">保存</button></form></td>
<td class="state" data-label="状态">{{state}}</td>
<td class="actions"><form method="post" action="/account/mail" class="inline"><input type="hidden" name="csrf" value="{{csrf}}"><input type="hidden" name="events" value="{{#onFailing}}failing{{/onFailing}}{{#onUp}}up{{/onUp}}{{#onBoth}}both{{/onBoth}}">{{#enabled}}<input type="hidden" name="mail" value="off"><button type="submit" class="small secondary" id="mail-off">关闭邮件</button>{{/enabled}}{{^enabled}}<input type="hidden" name="mail" value="on"><button type="submit" class="small" id="mail-on">开启邮件</button>{{/enabled}}</form></td></tr>{{/mail}}
{{#channels}}<tr class="channel" id="channel-{{id}}"><td class="nowrap" data-label="渠道">{{title}}</td><td class="target" data-label="发往">{{target}}{{#hasSecret}}<br><span class="hint">签名密钥 {{secret}}</span>{{/hasSecret}}</td>
<td class="nowrap" data-label="提醒"><form method="post" action="/account/channels/events" class="inline"><input type="hidden" name="csrf" value="{{csrf}}"><input type="hidden" name="id" value="{{id}}">{{> events}} <button type="submit" class="small secondary">保存</button></form></td>
<td class="state" data-label="状态">{{state}}{{#paused}}<br><span class="warn reason">{{reason}}</span>{{/paused}}</td>
<td class="actions"><form method="post" action="/account/channels/test" class="inline"><input type="hidden" name="csrf" value="{{csrf}}"><input type="hidden" name="id" value="{{id}}"><button type="submit" class="small test">发送测试</button></form>
{{#paused}}<form method="post" action="/account/channels/resume" class="inline"><input type="hidden" name="csrf" value="{{csrf}}"><input type="hidden" name="id" value="{{id}}"><button type="submit" class="small resume">恢复</button></form>{{/paused}}
<form method="post" action="/account/channels/{{#enabled}}disable{{/enabled}}{{^enabled}}enable{{/enabled}}" class="inline"><input type="hidden" name="csrf" value="{{csrf}}"><input type="hidden" name="id" value="{{id}}"><button type="submit" class="small secondary toggle">{{#enabled}}停用{{/enabled}}{{^enabled}}启用{{/enabled}}</button></form>
<form method="post" action="/account/channels/delete" class="inline"><input type="hidden" name="csrf" value="{{csrf}}"><input type="hidden" name="id" value="{{id}}"><button type="submit" class="small danger delete">删除</button></form></td></tr>
{{/channels}}</tbody></table></div>
<h3>添加渠道</h3>
<form method="post" action="/account/channels/add" class="card" id="add-channel">
<input type="hidden" name="csrf" value="{{csrf}}">
<label>类型<select name="kind" required><option value="wecom">企业微信群机器人</option><option value="dingtalk">钉钉群机器人</option><option value="feishu">飞书群机器人</option><option value="lark">Lark 群机器人</option><option value="slack">Slack</option><option value="webhook">Webhook</option></select></label>
<label>密钥、令牌或地址<input type="text" name="target" required maxlength="512" autocomplete="off" spellcheck="false"></label>
<label>签名密钥（钉钉、飞书、Lark、Webhook 可选）<input type="text" name="secret" maxlength="256" autocomplete="off" spellcheck="false"></label>
<label>提醒：{{> events}}</label>
<button type="submit" id="add-channel-submit">添加</button>
</form>
<p class="hint">企业微信：机器人地址中“key=”后的部分；钉钉：“access_token=”后的部分；飞书、Lark：“hook/”后的部分；Slack：“services/”后的部分；Webhook：完整的 http 或 https 地址。密钥添加后只显示最后 4 个字符。</p>
</section>
<section>
<h2>提醒记录</h2>
{{#hasReminders}}<div class="scroll"><table id="reminders" class="cards">
<thead><tr><th>网站</th><th>情况</th><th>状态码</th><th>接收时间</th><th>邮件</th><th>尝试</th></tr></thead>
<tbody>{{#reminders}}<tr class="reminder"><td class="site" data-label="网站">{{site}}</td><td data-label="情况">{{event}}</td><td data-label="状态码">{{code}}</td><td class="nowrap" data-label="接收时间">{{accepted}}</td><td data-label="邮件">{{delivery}}</td><td data-label="尝试">{{attempts}}</td></tr>
{{/reminders}}</tbody></table></div>{{/hasReminders}}
{{^hasReminders}}<p>{{#paged}}这一页没有记录。{{/paged}}{{^paged}}最近 {{keepDays}} 天没有提醒邮件。{{#mailOff}}提醒邮件已关闭，提醒只发往上面已启用的渠道。{{/mailOff}}{{/paged}}</p>{{/hasReminders}}
<p class="pager">{{#hasNewer}}<a href="/account?page={{newerPage}}" id="newer">← 较新</a>{{/hasNewer}} {{#hasOlder}}<a href="/account?page={{olderPage}}" id="older">较早 →</a>{{/hasOlder}}</p>
{{#hasDeliveries}}<h3>渠道发送记录</h3>
<div class="scroll"><table id="deliveries" class="cards">
<thead><tr><th>渠道</th><th>网站</th><th>情况</th><th>状态码</th><th>发送</th><th>尝试</th></tr></thead>
<tbody>{{#deliveries}}<tr class="delivery"><td data-label="渠道">{{channel}}</td><td class="site" data-label="网站">{{site}}</td><td data-label="情况">{{event}}</td><td data-label="状态码">{{code}}</td><td data-label="发送">{{state}}{{#hasError}}<br><span class="hint">{{error}}</span>{{/hasError}}</td><td data-label="尝试">{{attempts}}</td></tr>
{{/deliveries}}</tbody></table></div>{{/hasDeliveries}}
</section>
<section>
<h2>修改密码</h2>
<form method="post" action="/account/password" class="card">
<input type="hidden" name="csrf" value="{{csrf}}">
<label>当前密码<input type="password" name="current" required maxlength="128" autocomplete="current-password"></label>
<label>新密码（至少 8 个字符）<input type="password" name="password" required minlength="8" maxlength="128" autocomplete="new-password"></label>
<button type="submit" id="change-password">修改密码</button>
</form>
<p class="hint">修改密码后，所有电脑和其他浏览器都会退出登录。</p>
</section>
)";

// The events a channel wants, as a list; the row's "onFailing", "onUp" or "onBoth" says which is chosen.
constexpr const char* kEventsChoice = R"(<select name="events" class="events"><option value="both"{{#onBoth}} selected{{/onBoth}}>两者</option><option value="failing"{{#onFailing}} selected{{/onFailing}}>不能访问</option><option value="up"{{#onUp}} selected{{/onUp}}>已恢复</option></select>)";

constexpr std::array kBodies{kHome, kMessage, kSignIn, kSignUp, kForgot, kSetPassword, kConfirm, kAccount};

using Mustache = kainjow::mustache::mustache;

// The parsed templates of one thread: rendering keeps state in the template object, so
// no two threads share one.
struct ParsedTemplates {
  Mustache frame{kFrame};
  std::array<std::unique_ptr<Mustache>, kBodies.size()> bodies;
  ParsedTemplates() {
    for (size_t i = 0; i < kBodies.size(); ++i) bodies[i] = std::make_unique<Mustache>(kBodies[i]);
  }
};

}  // namespace

std::string RenderPage(PageTemplate page, const PageData& data) {
  thread_local ParsedTemplates parsed;
  PageData whole = data;
  whole.set("events", kainjow::mustache::partial([] { return std::string(kEventsChoice); }));
  whole.set("content", parsed.bodies[static_cast<size_t>(page)]->render(whole));
  return parsed.frame.render(whole);
}

const std::string& Stylesheet() {
  static const std::string css = R"(*{box-sizing:border-box}
body{margin:0;font:16px/1.6 "Microsoft YaHei","PingFang SC","Noto Sans CJK SC","WenQuanYi Micro Hei",sans-serif;color:#1f2933;background:#f4f6f8}
header{display:flex;flex-wrap:wrap;align-items:center;justify-content:space-between;gap:8px;padding:12px 20px;background:#1d4e89;color:#fff}
header a,header .link{color:#fff}
.brand{font-weight:bold;font-size:18px;text-decoration:none}
nav{display:flex;align-items:center;gap:16px}
main{max-width:960px;margin:0 auto;padding:16px 20px 40px}
h1{font-size:24px;margin:16px 0}
h2{font-size:19px;margin:28px 0 10px;border-bottom:1px solid #d5dbe1;padding-bottom:4px}
a{color:#1d4e89}
.lead{font-size:18px}
.card{background:#fff;border:1px solid #d5dbe1;border-radius:6px;padding:16px;max-width:420px}
label{display:block;margin-bottom:12px}
input[type=email],input[type=password],input[type=text],select{display:block;width:100%;margin-top:4px;padding:8px;font:inherit;border:1px solid #aab4be;border-radius:4px}
button,.button{display:inline-block;white-space:nowrap;padding:8px 18px;font:inherit;color:#fff;background:#1d4e89;border:0;border-radius:4px;cursor:pointer;text-decoration:none}
button.secondary,.button.secondary{background:#fff;color:#1d4e89;border:1px solid #1d4e89}
button.small{padding:2px 10px;font-size:14px}
button.danger{background:#a8321f}
select.events{display:inline-block;width:auto;margin:0}
td.target{word-break:break-all}
td.actions form{display:inline-block;margin:2px 4px 2px 0}
h3{font-size:17px;margin:20px 0 8px}
button.link{background:none;padding:0;text-decoration:underline}
form.inline{display:inline;margin:0}
.error{background:#fdecea;border:1px solid #e0a39c;color:#8a1c12;padding:8px 12px;border-radius:4px}
.notice{background:#e8f4ea;border:1px solid #9cc9a4;color:#1d5a2a;padding:8px 12px;border-radius:4px}
.warn{color:#8a1c12}
.hint{color:#52606d;font-size:14px}
.scroll{overflow-x:auto}
table{border-collapse:collapse;width:100%;background:#fff;margin-bottom:12px}
th,td{border:1px solid #d5dbe1;padding:6px 8px;text-align:left;vertical-align:top}
th{background:#eef1f4;white-space:nowrap}
td.site,td.hash,td.machine-id{word-break:break-all}
td.hash{font-family:monospace;font-size:13px}
td.nowrap{white-space:nowrap}
.pager{display:flex;justify-content:space-between}
@media (max-width:600px){main{padding:12px}h1{font-size:21px}th,td{padding:4px 6px;font-size:14px}
table.cards thead{display:none}
table.cards,table.cards tbody,table.cards tr,table.cards td{display:block;width:100%}
table.cards tr{border:1px solid #d5dbe1;border-radius:4px;margin-bottom:8px;background:#fff}
table.cards td{border:0;border-bottom:1px solid #eef1f4}
table.cards td[data-label]::before{content:attr(data-label) "：";color:#52606d}}
)";
  return css;
}
