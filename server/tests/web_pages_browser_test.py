"""The owners' web pages in a real browser (Debian's headless Chromium through chromedriver),
against the real service binary, a real SMTP server (aiosmtpd) and a real database:

  web_pages_browser_test.py SERVICE_BINARY ADMIN_BINARY SCREENSHOT_FOLDER [sqlite|postgresql]

On PostgreSQL two instances share the database: the browser signs in through one and uses
the pages through the other. Screenshots of every page, at desktop and phone width, go to
SCREENSHOT_FOLDER/ENGINE/. Everything listens on 127.0.0.1 only."""
import base64
import email
import email.policy
import glob
import hashlib
import http.client
import json
import os
import re
import shutil
import socket
import sqlite3
import subprocess
import sys
import tempfile
import time
import unittest

from selenium import webdriver
from selenium.common.exceptions import NoSuchElementException, WebDriverException
from selenium.webdriver.common.by import By
from selenium.webdriver.support.select import Select

SERVICE, ADMIN, SHOTS = sys.argv[1:4]
RECEIVER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "channel_receiver.py")
WECOM_KEY = "wecom-key-4321"
ENGINE = sys.argv[4] if len(sys.argv) > 4 else "sqlite"
PG_BIN = "/usr/lib/postgresql/15/bin/"
PASSWORD = "正确的马电池订书钉"
NEW_PASSWORD = "新的密码 correct horse"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(condition, seconds=20, what="condition"):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError("timed out waiting for " + what)


def listening(port):
    try:
        socket.create_connection(("127.0.0.1", port), timeout=0.2).close()
        return True
    except OSError:
        return False


class Postgres:
    """A private PostgreSQL server in a folder of its own, run as `postgres` when we are root."""

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="web-pg-")
        os.chmod(self.folder, 0o755)
        self.data = self.folder + "/data"
        os.mkdir(self.data)
        self.port = free_port()
        self.as_user = ["runuser", "-u", "postgres", "--"] if os.geteuid() == 0 else []
        if self.as_user:
            shutil.chown(self.data, "postgres", "postgres")
        self.run(PG_BIN + "initdb", "-D", self.data, "-A", "trust", "-U", "postgres")
        self.run(PG_BIN + "pg_ctl", "-D", self.data, "-w", "-l", self.data + "/log", "-o",
                 "-p %d -k %s -c listen_addresses=127.0.0.1" % (self.port, self.data), "start")
        self.run(PG_BIN + "createdb", "-h", "127.0.0.1", "-p", str(self.port), "-U", "postgres", "web")
        self.url = "postgresql://postgres@127.0.0.1:%d/web" % self.port

    def run(self, *args):
        subprocess.run(self.as_user + list(args), check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       cwd=self.folder)

    def sql(self, statement):
        self.run(PG_BIN + "psql", "-h", "127.0.0.1", "-p", str(self.port), "-U", "postgres", "-d", "web", "-c",
                 statement)

    def stop(self):
        subprocess.run(self.as_user + [PG_BIN + "pg_ctl", "-D", self.data, "-m", "immediate", "stop"],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=self.folder)
        shutil.rmtree(self.folder, ignore_errors=True)


class Rig:
    """The SMTP sink, the database and one or two service instances."""

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="web-pages-")
        self.smtp_port = free_port()
        self.maildir = self.folder + "/mail"
        # Two published installers: the newer is listed first.
        self.downloads = self.folder + "/downloads"
        os.mkdir(self.downloads)
        for name, size in (("tarn-setup-1.1.0.2.exe", 300000), ("tarn-setup-1.10.0.1.exe", 2500000)):
            with open(os.path.join(self.downloads, name), "wb") as f:
                f.write(os.urandom(size))
        self.processes = []
        self.start(["/usr/bin/python3", "-m",
                    "aiosmtpd", "-n", "-l", "127.0.0.1:%d" % self.smtp_port, "-c", "aiosmtpd.handlers.Mailbox",
                    self.maildir], self.smtp_port, {})
        # Vendor-shaped receivers: a WeCom robot the service is pointed at, and a webhook that
        # checks a signing secret the owner will get wrong.
        self.wecom_log, self.webhook_log = self.folder + "/wecom.log", self.folder + "/webhook.log"
        self.wecom_port = self.start_receiver("wecom", WECOM_KEY, "-", self.wecom_log)
        self.webhook_port = self.start_receiver("webhook", "-", "right-secret", self.webhook_log)
        self.postgres = Postgres() if ENGINE == "postgresql" else None
        self.database = self.postgres.url if self.postgres else self.folder + "/accounts.db"
        self.ports = [free_port()] + ([free_port()] if self.postgres else [])
        for port in self.ports:
            self.start([SERVICE], port, self.settings(port), self.folder + "/service-%d.log" % port)

    def settings(self, port):
        return {"TARN_PORT": str(port), "TARN_DATABASE": self.database, "TARN_SMTP_PORT": str(self.smtp_port),
                "TARN_SMTP_SENDER": "monitor@service.test", "TARN_MAIL_RETRY_FIRST_SECONDS": "1",
                "TARN_PUBLIC_URL": "http://127.0.0.1:%d" % port, "TARN_SIGN_UP": "open",
                "TARN_SIGN_UP_DAYS": "30", "TARN_INFO_CACHE_SECONDS": "0", "TARN_DOWNLOADS_DIR": self.downloads,
                "TARN_CHANNEL_WECOM_URL": "http://127.0.0.1:%d" % self.wecom_port, "TARN_CHANNEL_ALLOW_PRIVATE": "1"}

    def start(self, argv, port, settings, log=None):
        env = dict(os.environ, **settings)
        out = open(log, "wb") if log else subprocess.DEVNULL
        self.processes.append(subprocess.Popen(argv, env=env, stdout=out, stderr=out))
        wait_for(lambda: listening(port), what="port %d" % port)

    def start_receiver(self, kind, target, secret, log):
        """A channel receiver on a port of its own: it says when it has bound the port, and
        ends when someone else had it, and then another is tried."""
        for _ in range(5):
            port = free_port()
            receiver = subprocess.Popen(["/usr/bin/python3", RECEIVER, kind, str(port), target, secret, log],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            wait_for(lambda: receiver.poll() is not None or os.path.exists(log + ".ready"), what="a receiver")
            if receiver.poll() is None:
                self.processes.append(receiver)
                return port
        raise AssertionError("no port for the %s receiver" % kind)

    def url(self, path, instance=0):
        return "http://127.0.0.1:%d%s" % (self.ports[instance], path)

    def admin(self, *args, given=None):
        return subprocess.run([ADMIN] + list(args), env=dict(os.environ, **self.settings(self.ports[0])),
                              capture_output=True, text=True, input=given)

    def received(self, log):
        """The messages a receiver took, oldest first."""
        if not os.path.exists(log):
            return []
        with open(log, encoding="utf-8") as f:
            return [json.loads(line)["text"] for line in f]

    def mails_to(self, address):
        found = []
        for path in sorted(glob.glob(self.maildir + "/new/*"), key=os.path.getmtime):
            with open(path, "rb") as f:
                message = email.message_from_binary_file(f, policy=email.policy.default)
            if message["To"] == address:
                found.append(message)
        return found

    def link_in_mail(self, address, count):
        """The link in the count-th mail to address, once it has arrived."""
        mails = wait_for(lambda: len(self.mails_to(address)) >= count and self.mails_to(address),
                         what="mail %d to %s" % (count, address))
        body = mails[count - 1].get_content()
        return re.search(r"http://\S+", body).group(0), mails[count - 1]["Subject"]

    def expire_links(self):
        statement = "UPDATE web_tokens SET expires = 1 WHERE used = 0 AND purpose = 'reset'"
        if self.postgres:
            self.postgres.sql(statement)
        else:
            with sqlite3.connect(self.database) as db:
                db.execute(statement)

    def program(self, action, body, instance=0):
        """The program's request bytes; the reply's JSON."""
        connection = http.client.HTTPConnection("127.0.0.1", self.ports[instance], timeout=10)
        connection.request("POST", "/index.php?g=Api&m=Client&a=" + action, body.encode("gbk"),
                           {"Content-Type": "application/x-www-form-urlencoded", "User-Agent": "Lumacorn"})
        reply = connection.getresponse().read()
        connection.close()
        return json.loads(reply)

    def close(self):
        for process in reversed(self.processes):
            process.terminate()
            process.wait(10)
        if self.postgres:
            self.postgres.stop()
        shutil.rmtree(self.folder, ignore_errors=True)


def program_login(rig, address, password, machine, instance=0):
    pwd = base64.b64encode(password.encode()).decode()
    return rig.program("login", "username=%s&pwd=%s&id=%s&softtype=2&ver=1.1.0.2" % (address, pwd, machine),
                       instance)


def program_info(rig, address, machine, instance=0):
    return rig.program("getInfo", "username=%s&id=%s&softtype=2&ver=1.1.0.2" % (address, machine), instance)


def raw_get(rig, path, cookie, instance=0):
    connection = http.client.HTTPConnection("127.0.0.1", rig.ports[instance], timeout=10)
    connection.request("GET", path, headers={"Cookie": cookie})
    reply = connection.getresponse()
    reply.read()
    connection.close()
    return reply.status, reply.getheader("Location")


class BrowserPages(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.rig = Rig()
        cls.profile = tempfile.mkdtemp(prefix="web-chromium-")
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                     "--disable-dev-shm-usage", "--user-data-dir=" + cls.profile, "--lang=zh-CN"):
            options.add_argument(flag)
        cls.browser = webdriver.Chrome(service=webdriver.ChromeService("/usr/bin/chromedriver"), options=options) \
            if hasattr(webdriver, "ChromeService") else \
            webdriver.Chrome(service=webdriver.chrome.service.Service("/usr/bin/chromedriver"), options=options)
        # A form's reply may take a while on a busy machine (a password hash): every look for
        # an element waits for it to appear.
        cls.browser.implicitly_wait(20)
        cls.shots = os.path.join(SHOTS, ENGINE)
        os.makedirs(cls.shots, exist_ok=True)

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        cls.rig.close()
        shutil.rmtree(cls.profile, ignore_errors=True)

    def shoot(self, name, element=None):
        """The page as it is, at desktop and at phone width; scrolled to the element with the
        id `element` when given."""
        for width, height, size in ((1280, 900, "desktop"), (390, 844, "phone")):
            self.browser.set_window_size(width, height)
            if element:
                self.browser.execute_script("document.getElementById(arguments[0]).scrollIntoView()", element)
            self.browser.save_screenshot(os.path.join(self.shots, "%s-%s.png" % (name, size)))
        self.browser.set_window_size(1280, 900)

    def open(self, path, instance=0):
        self.browser.get(self.rig.url(path, instance))

    def find(self, by, value):
        """The page's element, once the page has it; on a time-out, says what the page showed."""
        def found():
            try:
                return self.browser.find_element(by, value)
            except NoSuchElementException:
                return None
        try:
            return wait_for(found, seconds=10, what=value)
        except AssertionError:
            raise AssertionError("no %s on %s: %s" % (value, self.browser.current_url,
                                                     self.browser.find_element(By.TAG_NAME, "body").text[:500]))

    def fill(self, **fields):
        for name, value in fields.items():
            box = self.find(By.NAME, name)
            box.clear()
            box.send_keys(value)

    def text(self, css):
        return self.find(By.CSS_SELECTOR, css).text

    def sign_in(self, address, password, instance=0):
        self.open("/signin", instance)
        self.fill(email=address, password=password)
        self.browser.find_element(By.ID, "submit").click()
        wait_for(lambda: self.browser.current_url.endswith("/account"), what="the account page")

    def test_an_owner_signs_up_signs_machines_out_and_resets_the_password(self):
        rig, other = self.rig, len(self.rig.ports) - 1  # the second instance, when there is one
        address = "owner-%s@example.test" % ENGINE
        # The operator's invitation is queued by another process: the service sends it with
        # the pages' own mails below, and the invited person accepts it at the end.
        invited = "invited-%s@example.test" % ENGINE
        result = rig.admin("invite", invited, "+365")
        self.assertEqual(0, result.returncode, result.stderr)
        self.open("/")
        rows = [[cell.text for cell in row.find_elements(By.TAG_NAME, "td")]
                for row in self.browser.find_elements(By.CSS_SELECTOR, "#downloads tbody tr")]
        self.assertEqual(["tarn-setup-1.10.0.1.exe", "tarn-setup-1.1.0.2.exe"], [row[0] for row in rows])
        with open(os.path.join(rig.downloads, rows[0][0]), "rb") as f:
            published = f.read()
        self.assertEqual(["1.10.0.1", "2.4 MB", hashlib.sha256(published).hexdigest()], rows[0][1:])
        connection = http.client.HTTPConnection("127.0.0.1", rig.ports[0], timeout=10)
        connection.request("GET", "/downloads/" + rows[0][0])
        self.assertEqual(published, connection.getresponse().read())
        connection.close()
        self.shoot("home")

        # Sign-up, and the link from the delivered mail.
        self.open("/signup")
        self.fill(email=address, password=PASSWORD)
        self.shoot("signup")
        self.browser.find_element(By.ID, "submit").click()
        self.assertIn(address, self.text("#notice"))
        self.shoot("signup-sent")
        link, subject = rig.link_in_mail(address, 1)
        self.assertEqual("请确认您的注册", subject)
        self.assertTrue(link.startswith(rig.url("/confirm?t=")), link)
        self.assertEqual(0, program_login(rig, address, PASSWORD, "PC-1")["status"], "works before confirmation")
        self.browser.get(link)
        self.shoot("confirm")
        self.browser.find_element(By.ID, "submit").click()
        self.assertIn("账户已开通", self.text("#notice"))
        self.browser.get(link)
        self.assertIn("已经使用过", self.text("#error"))
        self.shoot("link-used")

        # Sign in through one instance, a machine signs in with the program's bytes, and the
        # page of the other instance lists it and signs it out.
        self.sign_in(address, PASSWORD)
        self.assertEqual(1, program_login(rig, address, PASSWORD, "PC-1")["status"])
        self.assertEqual(1, program_info(rig, address, "PC-1", other)["status"])
        self.open("/account", other)
        self.assertEqual(["PC-1"], [e.text for e in self.browser.find_elements(By.CSS_SELECTOR, ".machine-id")])
        self.assertEqual(address, self.text("#email"))
        self.shoot("account")
        self.browser.find_element(By.CSS_SELECTOR, ".machine form button").click()
        self.assertIn("已退出 1 台电脑", self.text("#notice"))
        self.assertEqual(0, program_info(rig, address, "PC-1")["status"], "the machine is signed out")
        self.shoot("account-signed-out")

        # A form without its token, or posted from another origin, is refused.
        self.browser.get("data:text/html;charset=utf-8,<form method=post action='%s'>"
                         "<button id=go>go</button></form>" % rig.url("/account/machines/signout-all", other))
        self.browser.find_element(By.ID, "go").click()
        self.assertIn("无法提交", self.text("h1"))
        session = "session=" + self.browser.get_cookie("session")["value"]
        csrf = "csrf=" + self.browser.get_cookie("csrf")["value"]
        for headers, body in (({}, "machine=PC-1"),
                              ({"Origin": "http://attacker.test", "Sec-Fetch-Site": "cross-site"},
                               "csrf=" + csrf[5:])):
            connection = http.client.HTTPConnection("127.0.0.1", rig.ports[0], timeout=10)
            connection.request("POST", "/account/machines/signout-all", body,
                               dict(headers, Cookie=session + "; " + csrf,
                                    **{"Content-Type": "application/x-www-form-urlencoded"}))
            self.assertEqual(403, connection.getresponse().status, headers)
            connection.close()

        # Forgotten password: the link from the mail, a new password, every machine and the
        # old web session signed out.
        self.assertEqual(1, program_login(rig, address, PASSWORD, "PC-2")["status"])
        self.open("/forgot")
        self.fill(email=address)
        self.shoot("forgot")
        self.browser.find_element(By.ID, "submit").click()
        self.assertIn("重设密码的邮件已经发出", self.text("#notice"))
        link, subject = rig.link_in_mail(address, 2)
        self.assertEqual("重设密码", subject)
        self.browser.get(link.replace(rig.url("", 0), rig.url("", other)))
        self.fill(password=NEW_PASSWORD)
        self.shoot("reset")
        self.browser.find_element(By.ID, "submit").click()
        self.assertIn("已退出 1 台电脑", self.text("#notice"))
        self.shoot("reset-done")
        self.assertEqual((303, "/signin"), raw_get(rig, "/account", session), "the old web session is gone")
        self.assertEqual(0, program_info(rig, address, "PC-2")["status"])
        self.browser.get(link)
        self.assertIn("已经使用过", self.text("#error"))
        self.assertEqual(0, program_login(rig, address, PASSWORD, "PC-3")["status"])
        self.assertEqual(1, program_login(rig, address, NEW_PASSWORD, "PC-3")["status"])

        # An expired link says so.
        self.open("/forgot")
        self.fill(email=address)
        self.browser.find_element(By.ID, "submit").click()
        link, _ = rig.link_in_mail(address, 3)
        rig.expire_links()
        self.browser.get(link)
        self.assertIn("已过期", self.text("#error"))
        self.shoot("link-expired")

        # Sign-in with the new password shows the history of the machine's reminders.
        self.sign_in(address, NEW_PASSWORD, other)
        reminder = "username=%s&id=PC-3&softtype=2&ver=1.1.0.2&tpl=1&code=503&url=http://site.test/<b>x</b>" % address
        self.assertEqual(1, rig.program("sendMsg", reminder)["status"])
        self.open("/account")
        self.assertEqual("http://site.test/<b>x</b>", self.text(".reminder .site"))
        self.assertEqual(["PC-3"], [e.text for e in self.browser.find_elements(By.CSS_SELECTOR, ".machine-id")])
        self.shoot("account-history")
        self.browser.find_element(By.ID, "signout").click()
        self.assertEqual((303, "/signin"), raw_get(rig, "/account", session))
        self.shoot("signed-out")

        # The invitation: the person sets their own password, and has a year of service.
        link, subject = rig.link_in_mail(invited, 1)
        self.assertEqual("邀请您使用网站监控提醒服务", subject)
        self.browser.get(link)
        self.fill(password=PASSWORD)
        self.shoot("invitation")
        self.browser.find_element(By.ID, "submit").click()
        self.assertIn("账户已开通", self.text("#notice"))
        self.sign_in(invited, PASSWORD)
        self.assertIn(time.strftime("%Y", time.localtime(time.time() + 364 * 86400)), self.text("#service-end"))

    def press(self, button):
        """Clicks a form's button and waits for the page it leads to (the old page may hold
        a notice too)."""
        page = self.browser.find_element(By.TAG_NAME, "html")
        button.click()

        def gone():
            try:
                page.tag_name
                return False
            except WebDriverException:
                # Stale, or (as Chromium may say while the new page replaces it) no longer
                # part of the document: either way the old page is gone.
                return True
        wait_for(gone, what="the next page")

    def channel_row(self, title):
        """The account page's row of the channel titled `title`."""
        rows = [row for row in self.browser.find_elements(By.CSS_SELECTOR, "tr.channel")
                if row.find_element(By.TAG_NAME, "td").text == title]
        self.assertEqual(1, len(rows), title)
        return rows[0]

    def add_channel(self, kind, target, secret=""):
        self.open("/account")
        form = self.browser.find_element(By.ID, "add-channel")
        Select(form.find_element(By.NAME, "kind")).select_by_value(kind)
        self.fill(target=target, secret=secret)
        self.press(self.browser.find_element(By.ID, "add-channel-submit"))
        self.assertIn("提醒渠道已添加", self.text("#notice"))

    def test_an_owner_sets_up_reminder_channels_and_tests_them(self):
        rig = self.rig
        address = "channels-%s@example.test" % ENGINE
        result = rig.admin("add", address, given=PASSWORD + "\n")
        self.assertEqual(0, result.returncode, result.stderr)
        self.sign_in(address, PASSWORD)
        self.add_channel("wecom", WECOM_KEY)
        self.add_channel("webhook", "http://127.0.0.1:%d/hook" % rig.webhook_port, "wrong-secret")
        wecom = self.channel_row("企业微信群机器人")
        self.assertEqual("****4321", wecom.find_element(By.CSS_SELECTOR, ".target").text)
        self.assertNotIn(WECOM_KEY, self.browser.page_source)
        self.assertNotIn("wrong-secret", self.browser.page_source)
        self.shoot("account-channels", "channels")

        # The test message reaches the robot, and the page shows the robot's own reply.
        self.press(self.channel_row("企业微信群机器人").find_element(By.CSS_SELECTOR, "button.test"))
        self.assertIn("测试消息已送达", self.text("#notice"))
        self.assertIn('"errcode": 0', self.text("#notice"))
        self.assertEqual(1, len(rig.received(rig.wecom_log)))
        self.shoot("channel-test-sent")
        # A wrong signing secret: the receiver's refusal in its own words, and the channel
        # keeps going (the owner has seen why).
        self.open("/account")
        self.press(self.channel_row("Webhook").find_element(By.CSS_SELECTOR, "button.test"))
        self.assertIn("bad signature", self.text("#error"))
        self.shoot("channel-test-refused")
        self.open("/account")
        self.assertEqual("已启用", self.channel_row("Webhook").find_element(By.CSS_SELECTOR, ".state").text)

        # Mail off: a reminder reaches the robot only, and the page lists its delivery.
        self.press(self.browser.find_element(By.ID, "mail-off"))
        self.assertIn("提醒邮件已关闭", self.text("#notice"))
        self.assertEqual("已停用", self.text("#mail-channel .state"))
        self.assertEqual(1, program_login(rig, address, PASSWORD, "PC-9")["status"])
        reminder = "username=%s&id=PC-9&softtype=2&ver=1.1.0.2&tpl=1&code=503&url=http://mail-off.test/" % address
        self.assertEqual(1, rig.program("sendMsg", reminder)["status"])
        wait_for(lambda: len(rig.received(rig.wecom_log)) == 2, what="the reminder at the robot")
        self.assertIn("mail-off.test", rig.received(rig.wecom_log)[1])

        def delivered():
            self.open("/account")
            return [row.text for row in self.browser.find_elements(By.CSS_SELECTOR, "#deliveries .delivery")
                    if "已送达" in row.text]
        self.assertIn("mail-off.test", wait_for(delivered, what="the delivery listed")[0])
        self.assertIn("提醒邮件已关闭", self.browser.find_element(By.TAG_NAME, "main").text)
        # The webhook refuses the reminder for good: the channel pauses, the page shows the
        # refusal, and the owner's one mail is the notice of the pause, not the reminder.
        notice = wait_for(lambda: rig.mails_to(address), what="the notice of the pause")
        self.assertEqual(1, len(notice))
        self.assertIn("提醒渠道已暂停", notice[0]["Subject"])
        self.open("/account")
        self.assertIn("已暂停", self.channel_row("Webhook").find_element(By.CSS_SELECTOR, ".state").text)
        self.assertIn("bad signature", self.text(".channel .reason"))
        self.shoot("account-channel-paused", "channels")
        self.press(self.channel_row("Webhook").find_element(By.CSS_SELECTOR, "button.resume"))
        self.assertIn("提醒渠道已恢复", self.text("#notice"))
        self.press(self.browser.find_element(By.ID, "mail-on"))
        self.assertIn("提醒邮件已开启", self.text("#notice"))
        self.assertEqual("已启用", self.text("#mail-channel .state"))

        # Deleting a channel.
        self.press(self.channel_row("Webhook").find_element(By.CSS_SELECTOR, "button.delete"))
        self.assertIn("提醒渠道已删除", self.text("#notice"))
        self.assertEqual(["邮件", "企业微信群机器人"],
                         [row.find_element(By.TAG_NAME, "td").text
                          for row in self.browser.find_elements(By.CSS_SELECTOR, "tr.channel")])
        self.shoot("account-channels-after", "deliveries")
        self.press(self.browser.find_element(By.ID, "signout"))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
