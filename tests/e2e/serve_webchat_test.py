#!/usr/bin/env python3
"""`sarvo-cli serve --webchat[=MAX]`: the room opens once the server listens, with MAX members, and
closes with serve; member counts outside 2 to 999 are refused.

Usage: serve_webchat_test.py PATH_TO_SARVO_CLI
"""
import os
import random
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import unittest

CLI = None
READ_LIMIT = 10  # seconds


def free_port():
    """A port free on every address, below the ephemeral range: a port the kernel handed out as free
    could meanwhile become another test's client port."""
    for _ in range(200):
        port = random.randint(20000, 31999)
        with socket.socket() as probe:
            try:
                probe.bind(("", port))
            except OSError:
                continue
            return port
    raise RuntimeError("no free port")


class ServeWebchat(unittest.TestCase):
    def setUp(self):
        self.home = tempfile.mkdtemp(prefix="sarvo-webchat-")
        self.env = dict(os.environ, SARVO_HOME=self.home)
        self.port = free_port()
        self.cli("set", "listen_ip", "127.0.0.1")
        self.cli("set", "listen_port", str(self.port))
        self.server = None

    def tearDown(self):
        if self.server and self.server.poll() is None:
            self.server.kill()
            self.server.wait()
        shutil.rmtree(self.home, ignore_errors=True)

    def cli(self, *arguments):
        return subprocess.run([CLI, *arguments], env=self.env, capture_output=True, text=True, timeout=30)

    def serve(self, *options):
        self.server = subprocess.Popen([CLI, "serve", "--quiet", *options], env=self.env, stdout=subprocess.PIPE,
                                       stderr=subprocess.PIPE, text=True)
        first = self.server.stdout.readline()
        self.assertIn("Server is working on port %d" % self.port, first)

    def get(self, path):
        with socket.create_connection(("127.0.0.1", self.port), timeout=READ_LIMIT) as connection:
            connection.sendall(b"GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" % path.encode())
            data = b""
            while True:
                piece = connection.recv(65536)
                if not piece:
                    return data
                data += piece

    def join(self, member_id):
        connection = socket.create_connection(("127.0.0.1", self.port), timeout=READ_LIMIT)
        connection.sendall(b"GET /Webchat/output.htm?id=%d HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" % member_id)
        data = b""
        while b"location.reload();" not in data:
            piece = connection.recv(65536)
            self.assertTrue(piece, "stream closed while joining: %r" % data)
            data += piece
        self.assertTrue(data.startswith(b"HTTP/1.1 200 OK\r\n"))
        return connection

    def test_room_of_max_members_opens_and_closes_with_serve(self):
        self.serve("--webchat=2")
        self.assertIn(b"<FRAMESET", self.get("/Webchat/"))
        members = [self.join(1), self.join(2)]
        self.assertIn(b"Chat Room Full", self.get("/Webchat/output.htm?id=3"))
        self.server.send_signal(signal.SIGTERM)
        for member in members:
            while member.recv(65536):
                pass
            member.close()
        self.assertEqual(self.server.wait(timeout=READ_LIMIT), 0)

    def test_default_room_has_sixteen_members(self):
        self.serve("--webchat")
        members = [self.join(index) for index in range(1, 17)]
        self.assertIn(b"Chat Room Full", self.get("/Webchat/output.htm?id=17"))
        for member in members:
            member.close()

    def test_without_the_option_the_room_stays_closed(self):
        self.serve()
        self.assertIn(b"Chat Room Not Open", self.get("/Webchat/"))

    def test_member_counts_outside_the_range_are_refused(self):
        for value in ["1", "1000", "x", "-4", "16x"]:
            with self.subTest(value=value):
                result = self.cli("serve", "--webchat=" + value)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertIn("--webchat takes a member count from 2 to 999", result.stderr)


if __name__ == "__main__":
    CLI = sys.argv.pop(1)
    unittest.main()
