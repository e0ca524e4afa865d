#!/usr/bin/env python3
"""Real clients against `sarvo-cli serve`: curl and Python's http.client, on loopback only.

Usage: real_clients_test.py PATH_TO_SARVO_CLI
"""
import http.client
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse
import urllib.request

CLI = None
SERVE_START_LIMIT = 15  # seconds
NAMES = ["plain.txt", "with blank.txt", "hash#mark.txt", "per%cent.txt", "ünïcødé.txt"]


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def content_of(name):
    return (name.encode("utf-8") + b"\n") * 200


class RealClients(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.home = tempfile.mkdtemp(prefix="sarvo-e2e-")
        cls.env = dict(os.environ, SARVO_HOME=cls.home)
        folder = os.path.join(cls.home, "files")
        os.makedirs(folder)
        for name in NAMES:
            with open(os.path.join(folder, name), "wb") as out:
                out.write(content_of(name))
        cls.port = free_port()
        cls.cli("set", "listen_ip", "127.0.0.1")
        cls.cli("set", "listen_port", str(cls.port))
        cls.cli("share", "add", "files", folder)
        cls.server = subprocess.Popen([CLI, "serve"], env=cls.env, stdout=subprocess.PIPE,
                                      stderr=subprocess.PIPE, text=True)
        first = cls.server.stdout.readline()
        if "Server is working on port %d" % cls.port not in first:
            cls.server.kill()
            raise RuntimeError("serve did not start: %r %r" % (first, cls.server.stderr.read()))
        cls.url_line = cls.server.stdout.readline().strip()

    @classmethod
    def tearDownClass(cls):
        cls.server.send_signal(signal.SIGTERM)
        try:
            cls.exit_status = cls.server.wait(timeout=10)
        finally:
            if cls.server.poll() is None:
                cls.server.kill()
            shutil.rmtree(cls.home, ignore_errors=True)
        assert cls.exit_status == 0, "serve exited with %d" % cls.exit_status

    @classmethod
    def cli(cls, *arguments):
        subprocess.run([CLI, *arguments], env=cls.env, check=True, stdout=subprocess.DEVNULL, timeout=30)

    def curl(self, *arguments):
        result = subprocess.run(["curl", "--silent", "--show-error", "--max-time", "20", *arguments],
                                capture_output=True, timeout=30)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result.stdout

    def url(self, name):
        return "http://127.0.0.1:%d/files/%s" % (self.port, urllib.parse.quote(name))

    def test_start_line_names_the_site(self):
        self.assertEqual(self.url_line, "http://127.0.0.1:%d/" % self.port)

    def test_curl_downloads_every_name_whole_and_in_ranges(self):
        for name in NAMES:
            with self.subTest(name=name):
                body = content_of(name)
                self.assertEqual(self.curl(self.url(name)), body)
                self.assertEqual(self.curl("-r", "10-19", self.url(name)), body[10:20])
                self.assertEqual(self.curl("-r", "-7", self.url(name)), body[-7:])

    def test_curl_conditional_requests(self):
        url = self.url("plain.txt")
        headers = self.curl("--head", url).decode()
        self.assertIn("HTTP/1.1 200 OK\r\n", headers)
        self.assertIn("Content-Length: %d\r\n" % len(content_of("plain.txt")), headers)
        etag = [line.split(": ", 1)[1] for line in headers.split("\r\n") if line.startswith("ETag: ")][0]
        status = self.curl("-o", "/dev/null", "-w", "%{http_code}", "-H", "If-None-Match: " + etag, url)
        self.assertEqual(status, b"304")
        # -z with a date after the file's time asks "modified since then?": no.
        status = self.curl("-o", "/dev/null", "-w", "%{http_code}", "-z", "Jan 1 2100", url)
        self.assertEqual(status, b"304")
        status = self.curl("-o", "/dev/null", "-w", "%{http_code}", "-z", "Jan 1 1990", url)
        self.assertEqual(status, b"200")

    def test_python_http_client(self):
        for name in NAMES:
            with self.subTest(name=name):
                connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=20)
                connection.request("GET", "/files/" + urllib.parse.quote(name))
                response = connection.getresponse()
                self.assertEqual(response.status, 200)
                self.assertEqual(response.getheader("Connection"), "close")
                self.assertEqual(response.read(), content_of(name))
                connection.close()

        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=20)
        connection.request("GET", "/files/missing.txt")
        response = connection.getresponse()
        self.assertEqual(response.status, 404)
        self.assertIn(b"Error 404 (Not Found)", response.read())
        connection.close()


class ServeCommand(unittest.TestCase):
    """The headless server's own output and exit statuses."""

    def setUp(self):
        self.home = tempfile.mkdtemp(prefix="sarvo-serve-")
        self.env = dict(os.environ, SARVO_HOME=self.home)
        self.addCleanup(shutil.rmtree, self.home, True)

    def configure(self, port):
        for arguments in (("set", "listen_ip", "127.0.0.1"), ("set", "listen_port", str(port))):
            subprocess.run([CLI, *arguments], env=self.env, check=True, stdout=subprocess.DEVNULL, timeout=30)

    def test_busy_port_prints_the_failure_and_exits_1(self):
        with socket.socket() as blocker:
            blocker.bind(("127.0.0.1", 0))
            blocker.listen(1)
            port = blocker.getsockname()[1]
            self.configure(port)
            result = subprocess.run([CLI, "serve"], env=self.env, capture_output=True, text=True, timeout=30)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stdout, "")
        self.assertIn("Failed starting server on port %d. Error = 10048." % port, result.stderr)

    def test_events_are_printed_and_quiet_prints_only_the_first_line(self):
        folder = os.path.join(self.home, "files")
        os.makedirs(folder)
        with open(os.path.join(folder, "a b.txt"), "wb") as out:
            out.write(b"x" * 100)
        subprocess.run([CLI, "share", "add", "files", folder], env=self.env, check=True,
                       stdout=subprocess.DEVNULL, timeout=30)
        for quiet in (False, True):
            with self.subTest(quiet=quiet):
                port = free_port()
                self.configure(port)
                server = subprocess.Popen([CLI, "serve"] + (["--quiet"] if quiet else []), env=self.env,
                                          stdout=subprocess.PIPE, text=True)
                first = server.stdout.readline()
                self.assertEqual(first, "Server is working on port %d\n" % port)
                if not quiet:
                    self.assertEqual(server.stdout.readline(), "http://127.0.0.1:%d/\n" % port)
                with urllib.request.urlopen("http://127.0.0.1:%d/files/a%%20b.txt" % port, timeout=20) as answer:
                    self.assertEqual(answer.read(), b"x" * 100)
                time.sleep(0.5)  # the connection thread records the close after the answer
                server.send_signal(signal.SIGINT)
                # Read through the same buffered reader: communicate() would bypass what it holds.
                rest = server.stdout.read()
                server.wait(timeout=10)
                self.assertEqual(server.returncode, 0)
                if quiet:
                    self.assertEqual(rest, "")
                    continue
                lines = rest.splitlines()
                self.assertEqual(len(lines), 3, rest)
                self.assertRegex(lines[0], r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d  127\.0\.0\.1  Connect$")
                self.assertRegex(lines[1], r"  127\.0\.0\.1  Download  /files/a b\.txt$")
                self.assertRegex(lines[2], r"  127\.0\.0\.1  Closed  /files/a b\.txt  (\d{1,3}(,\d{3})*)/\1$")


if __name__ == "__main__":
    CLI = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
