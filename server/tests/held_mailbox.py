"""An aiosmtpd handler for tests: stores each mail in a maildir at once, but answers the
end of its data only once the hold file is gone, so a test can act while the sender waits
for the server's acceptance. The end of each session is marked by a file beside the hold
file (its name and ".quit")."""
import asyncio
import os

from aiosmtpd.handlers import Mailbox


class HeldMailbox(Mailbox):
    def __init__(self, mail_dir, hold_file):
        super().__init__(mail_dir)
        self.hold_file = hold_file

    async def handle_DATA(self, server, session, envelope):
        reply = await super().handle_DATA(server, session, envelope)
        while os.path.exists(self.hold_file):
            await asyncio.sleep(0.02)
        return reply

    async def handle_QUIT(self, server, session, envelope):
        with open(self.hold_file + ".quit", "w"):
            pass
        return "221 Bye"

    @classmethod
    def from_cli(cls, parser, *args):
        return cls(*args)
