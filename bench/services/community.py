#!/usr/bin/env python3
"""The web community of `sarvo-cli serve`, host and member side.

Host (members stored through an imported settings file, then logged in over HTTP):
  - the community page with 250, 1,000 and 4,000 listed members: requests per second from 4 clients,
    and the time per member, which stays flat when the page's cost grows linearly with the members
  - 1,000 logins (one per member) from 10 concurrent clients: logins per second; afterwards every
    member must hold the name, address and description its login sent
Member:
  - 50 host records, 49 logging in to a real host and one to a host that accepts the connection and
    never answers: the time of one pass (`sarvo-cli community login`), next to a pass over the 49
    alone; the pass must end within the 60 s deadline plus the other logins' time

Usage: bench/services/community.py BUILD_DIR
"""
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

PAGE_MEMBERS = [int(n) for n in os.environ.get("BENCH_PAGE_MEMBERS", "250,1000,4000").split(",")]
PAGE_SECONDS = float(os.environ.get("BENCH_PAGE_SECONDS", "5"))
PAGE_CLIENTS = 4
LOGINS = 1000
LOGIN_CLIENTS = 10
HOSTS = 50
DEADLINE_SECONDS = 60


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def cli(binary, home, *arguments):
    result = subprocess.run([binary, *arguments], env=dict(os.environ, SARVO_HOME=home), capture_output=True,
                            text=True, timeout=600)
    if result.returncode not in (0, 1):
        raise RuntimeError("%s: %s" % (" ".join(arguments), result.stderr))
    return result.stdout


def exchange(port, path):
    with socket.create_connection(("127.0.0.1", port), timeout=30) as connection:
        connection.sendall(("GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" % path).encode())
        data = b""
        while True:
            piece = connection.recv(65536)
            if not piece:
                return data
            data += piece


def member_id(index):
    return "member-%05d" % index


def add_members(binary, home, count):
    """Members through one imported settings file: a template value exported once, renamed count times."""
    cli(binary, home, "community", "add-member", "template")
    exported = os.path.join(home, "template.reg")
    cli(binary, home, "export-reg", exported)
    with open(exported, encoding="utf-16") as source:
        lines = source.read().split("\n")
    start = next(i for i, line in enumerate(lines) if line.startswith('"template"='))
    end = start
    while lines[end].rstrip("\r").endswith("\\"):
        end += 1
    block = "\n".join(lines[start:end + 1])
    values = [block.replace('"template"', '"%s"' % member_id(i), 1) for i in range(count)]
    lines[start:end + 1] = values
    generated = os.path.join(home, "members.reg")
    with open(generated, "w", encoding="utf-16") as target:
        target.write("\n".join(lines))
    cli(binary, home, "import-reg", generated)
    cli(binary, home, "community", "remove-member", "template")


class Server:
    def __init__(self, binary, home, port):
        self.port = port
        self.process = subprocess.Popen([binary, "serve", "--quiet"], env=dict(os.environ, SARVO_HOME=home),
                                        stdout=subprocess.DEVNULL)
        deadline = time.time() + 15
        while time.time() < deadline:
            try:
                exchange(port, "/")
                return
            except OSError:
                time.sleep(0.05)
        raise RuntimeError("server did not start")

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=15)


def login_path(index):
    query = urllib.parse.urlencode({"id": member_id(index), "name": "Site %d" % index,
                                    "url": "http://10.0.%d.%d/" % (index // 250, index % 250),
                                    "desc": "Member number %d of the benchmark" % index})
    return "/WebCommunity/login?" + query


def run_logins(port, count):
    failures = []
    def client(first):
        for index in range(first, count, LOGIN_CLIENTS):
            reply = exchange(port, login_path(index))
            if not reply.split(b"\r\n\r\n", 1)[-1].startswith(b"accepted"):
                failures.append(reply)
    threads = [threading.Thread(target=client, args=(i,)) for i in range(LOGIN_CLIENTS)]
    started = time.perf_counter()
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    return time.perf_counter() - started, failures


def page_rate(port):
    counts = [0] * PAGE_CLIENTS
    size = [0]
    stop_at = time.perf_counter() + PAGE_SECONDS
    def client(slot):
        while time.perf_counter() < stop_at:
            size[0] = len(exchange(port, "/WebCommunity/"))
            counts[slot] += 1
    threads = [threading.Thread(target=client, args=(i,)) for i in range(PAGE_CLIENTS)]
    started = time.perf_counter()
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    return sum(counts) / (time.perf_counter() - started), size[0]


def host_side(binary):
    print("== community host")
    for members in PAGE_MEMBERS:
        with tempfile.TemporaryDirectory() as home:
            port = free_port()
            cli(binary, home, "set", "listen_ip", "127.0.0.1")
            cli(binary, home, "set", "listen_port", str(port))
            cli(binary, home, "set", "AsWebCommHost", "1")
            add_members(binary, home, members)
            server = Server(binary, home, port)
            try:
                if members == LOGINS:
                    seconds, failures = run_logins(port, LOGINS)
                    listed = cli(binary, home, "community", "members").splitlines()[1:]
                    stored = sum(1 for line in listed if line.split("\t")[1].startswith("Site "))
                    print("logins: %d from %d clients in %.2f s = %.0f logins/s; refused %d; stored %d of %d"
                          % (LOGINS, LOGIN_CLIENTS, seconds, LOGINS / seconds, len(failures), stored, members))
                else:
                    run_logins(port, members)
                rate, size = page_rate(port)
                print("page with %5d members: %7.1f requests/s, %8d bytes, %6.2f us per member per request"
                      % (members, rate, size, 1e6 / rate / members))
            finally:
                server.stop()


def silent_host():
    """Accepts connections and never answers; returns its port and the sockets it holds."""
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    held = []
    def accept():
        while True:
            try:
                held.append(listener.accept()[0])
            except OSError:
                return
    threading.Thread(target=accept, daemon=True).start()
    return listener, held


def timed_pass(binary, home):
    started = time.perf_counter()
    output = cli(binary, home, "community", "login")
    return time.perf_counter() - started, output.splitlines()


def member_side(binary):
    print("== community member")
    with tempfile.TemporaryDirectory() as host_home, tempfile.TemporaryDirectory() as member_home:
        host_port = free_port()
        cli(binary, host_home, "set", "listen_ip", "127.0.0.1")
        cli(binary, host_home, "set", "listen_port", str(host_port))
        cli(binary, host_home, "set", "AsWebCommHost", "1")
        cli(binary, host_home, "set", "WebCommNameAsHost", "Bench Hub")
        add_members(binary, host_home, HOSTS - 1)
        cli(binary, member_home, "set", "listen_ip", "127.0.0.1")
        cli(binary, member_home, "set", "listen_port", str(free_port()))
        login_url = "http://127.0.0.1:%d/WebCommunity/login" % host_port
        for index in range(HOSTS - 1):
            cli(binary, member_home, "community", "join", "--login-url", login_url, "--id", member_id(index),
                "--name", "Member", "--desc", "bench")
        server = Server(binary, host_home, host_port)
        listener, held = silent_host()
        try:
            answering, lines = timed_pass(binary, member_home)
            accepted = sum(1 for line in lines if ": accepted by Bench Hub" in line)
            print("pass over %d answering hosts: %.3f s (%d accepted)" % (HOSTS - 1, answering, accepted))
            cli(binary, member_home, "community", "join", "--login-url",
                "http://127.0.0.1:%d/login" % listener.getsockname()[1], "--id", "silent", "--name", "Member")
            whole, lines = timed_pass(binary, member_home)
            accepted = sum(1 for line in lines if ": accepted by Bench Hub" in line)
            silent = [line for line in lines if line.startswith("silent:")]
            print("pass over %d hosts, one silent: %.3f s (%d accepted; %s); bound %.3f s: %s"
                  % (HOSTS, whole, accepted, silent[0] if silent else "no outcome", DEADLINE_SECONDS + answering,
                     "within" if whole <= DEADLINE_SECONDS + answering + 1 else "OVER"))
        finally:
            listener.close()
            for connection in held:
                connection.close()
            server.stop()


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    binary = os.path.join(sys.argv[1], "src", "app", "sarvo-cli")
    host_side(binary)
    member_side(binary)


if __name__ == "__main__":
    main()
