"""Waits for the outage benchmark's reminders to arrive in the SMTP sink's maildir and
checks them: every reminder once, none twice.

    outage_mail_check.py MAILDIR MACHINES REMINDERS STARTED ACCEPTED QUIET_SECONDS

STARTED and ACCEPTED are Unix times (seconds, with fractions): when the first reminder was
sent and when the last was answered. Waits until MACHINES x REMINDERS mails are in the
maildir, or until none has arrived for QUIET_SECONDS, then prints one line: how long the
queue took to drain, and how many reminders were lost or sent twice. Exits 1 when any were.
"""
import email
import email.policy
import os
import re
import sys
import time
from collections import Counter


def main():
    maildir, machines, reminders, started, accepted, quiet = sys.argv[1:7]
    machines, reminders, started, accepted, quiet = (int(machines), int(reminders), float(started),
                                                     float(accepted), float(quiet))
    expected = machines * reminders
    new = os.path.join(maildir, "new")
    count, last_change = -1, time.time()
    while True:
        now_count = len(os.listdir(new)) if os.path.isdir(new) else 0
        if now_count != count:
            count, last_change = now_count, time.time()
        if count >= expected or time.time() - last_change > quiet:
            break
        time.sleep(0.1)
    # The time of the last mail is when its file was written, not when this loop saw it.
    files = [os.path.join(new, name) for name in os.listdir(new)] if os.path.isdir(new) else []
    last = max((os.stat(f).st_mtime for f in files), default=accepted)

    site = re.compile(r"网站：(\S+)")
    seen = Counter()
    for path in files:
        with open(path, "rb") as f:
            mail = email.message_from_binary_file(f, policy=email.policy.default)
        found = site.search(mail.get_body().get_content())
        seen[(str(mail["To"]), found.group(1) if found else "")] += 1
    wanted = {(f"outage{m}@load.test", f"www.site{k}-{m}.cn") for m in range(machines) for k in range(reminders)}
    lost = len(wanted - set(seen))
    twice = sum(n - 1 for n in seen.values() if n > 1)
    strange = len(set(seen) - wanted)
    verdict = "nothing lost, nothing sent twice" if lost == twice == strange == 0 else "FAULT"
    print(f"queue drained: {len(files)} mails of {expected}, the last {last - started:.1f} s after the first "
          f"reminder was sent, {last - accepted:.1f} s after the last was accepted; lost {lost}, "
          f"sent twice {twice}, not asked for {strange}: {verdict}")
    return 0 if verdict != "FAULT" else 1


if __name__ == "__main__":
    sys.exit(main())
