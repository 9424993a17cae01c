"""An aiosmtpd handler for tests: stores each mail in a maildir at once, but answers the
end of its data only once the hold file is gone, so a test can act while the sender waits
for the server's acceptance. Each mail held so is named, by its file name in the maildir,
on a line of a file beside the hold file (its name and ".held"), and is removed again when
its client goes away before the answer: the maildir never keeps a mail the server did not
accept. The end of each session is marked by a file beside the hold file (its name and
".quit")."""
import asyncio
import os

from aiosmtpd.handlers import Mailbox


class HeldMailbox(Mailbox):
    def __init__(self, mail_dir, hold_file):
        super().__init__(mail_dir)
        self.hold_file = hold_file

    async def handle_DATA(self, server, session, envelope):
        key = self.mailbox.add(self.prepare_message(session, envelope))
        # Decided once: a mail that found no hold file is accepted even if one appears now.
        if not os.path.exists(self.hold_file):
            return "250 OK"
        with open(self.hold_file + ".held", "a") as held:
            held.write(key + "\n")
        try:
            while os.path.exists(self.hold_file):
                await asyncio.sleep(0.02)
        except asyncio.CancelledError:  # the connection was lost
            self.mailbox.remove(key)
            raise
        return "250 OK"

    async def handle_QUIT(self, server, session, envelope):
        with open(self.hold_file + ".quit", "w"):
            pass
        return "221 Bye"

    @classmethod
    def from_cli(cls, parser, *args):
        return cls(*args)
