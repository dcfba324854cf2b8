# A local FTP server for the upload tests and benchmarks (pyftpdlib).
# usage: ftp_server.py ROOT USER PASSWORD PORT [--drop-after BYTES] [--echo-password]
# Listens on 127.0.0.1:PORT and serves until it is killed.
#   --drop-after BYTES  resets every data connection of a STOR after BYTES bytes
#   --echo-password     the login failure reply repeats the password it was given
import logging
import socket
import struct
import sys

from pyftpdlib.authorizers import AuthenticationFailed, DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    root, user, password, port = sys.argv[1:5]
    rest = sys.argv[5:]
    drop_after = None
    echo_password = False
    while rest:
        opt = rest.pop(0)
        if opt == "--drop-after":
            drop_after = int(rest.pop(0))
        elif opt == "--echo-password":
            echo_password = True
        else:
            sys.exit("unknown option " + opt)

    logging.basicConfig(level=logging.CRITICAL)

    class Authorizer(DummyAuthorizer):
        def validate_authentication(self, username, pw, handler):
            try:
                super().validate_authentication(username, pw, handler)
            except AuthenticationFailed:
                if echo_password:
                    raise AuthenticationFailed("Login incorrect: user %s password %s" %
                                               (username, pw))
                raise

    authorizer = Authorizer()
    authorizer.add_user(user, password, root, perm="elradfmwMT")

    class DroppingDTP(DTPHandler):
        def handle_read(self):
            super().handle_read()
            if self.receive and self.tot_bytes_received >= drop_after:
                # A reset, not an orderly close: the client's next send fails.
                self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                       struct.pack("ii", 1, 0))
                channel = self.cmd_channel
                self.close()
                channel.respond("426 Data connection reset by the test server; "
                                "transfer aborted.")

        handle_read_event = handle_read  # the base class reads through this alias

    class Handler(FTPHandler):
        pass

    Handler.authorizer = authorizer
    Handler.auth_failed_timeout = 0.05  # no need to slow down password guessing here
    Handler.banner = "folioray test server ready."
    if drop_after is not None:
        Handler.dtp_handler = DroppingDTP

    server = FTPServer(("127.0.0.1", int(port)), Handler)
    server.serve_forever(timeout=0.5)


if __name__ == "__main__":
    main()
