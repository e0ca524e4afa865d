#!/usr/bin/env python3
"""Guestbook posts to `sarvo-cli serve`: 1,000 messages from 20 concurrent clients, twice:

  - all from one address (127.0.0.1), so every post competes for the next free file name and the
    k-th post tries k names before it finds one (the first free name is taken, as the owner may have
    deleted messages in between);
  - each client from an address of its own (127.0.0.2 to 127.0.0.21), for comparison.

Prints, for each run, the posts per second over the whole run (first connection to last reply) and
the median and 99th percentile of one post's time and the server's CPU time per post, then checks that the folder holds one file per
post, each with the text that post sent (none overwritten, none lost).

Usage: bench/services/guestbook_posts.py BUILD_DIR
"""
import os
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

POSTS = int(os.environ.get("BENCH_GUESTBOOK_POSTS", "1000"))
CLIENTS = int(os.environ.get("BENCH_GUESTBOOK_CLIENTS", "20"))
REPLY_LIMIT_SECONDS = 30
SAVED = b"Your message has been saved. Thank you."


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def cpu_seconds(pid):
    """CPU time of the server process, the connection threads that already ended included (which
    per-thread statistics would miss); a busy machine disturbs it less than the wall-clock rate."""
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def post(port, text, source):
    body = b"msg=" + text.replace(b" ", b"+")
    request = (b"POST /Guestbook/ HTTP/1.1\r\nHost: 127.0.0.1\r\n"
               b"Content-Type: application/x-www-form-urlencoded\r\n"
               b"Content-Length: %d\r\n\r\n" % len(body)) + body
    with socket.create_connection(("127.0.0.1", port), timeout=REPLY_LIMIT_SECONDS,
                                  source_address=(source, 0)) as connection:
        connection.sendall(request)
        reply = b""
        while True:
            piece = connection.recv(65536)
            if not piece:
                break
            reply += piece
    return SAVED in reply


def run_posts(server, port, folder, label, sources):
    texts = [b"message %d from the benchmark" % index for index in range(POSTS)]
    durations = [0.0] * POSTS
    failures = []
    next_index = iter(range(POSTS))
    lock = threading.Lock()

    def client(source):
        while True:
            with lock:
                index = next(next_index, None)
            if index is None:
                return
            started = time.perf_counter()
            try:
                saved = post(port, texts[index], source)
            except OSError as error:
                saved = False
                failures.append("%d: %s" % (index, error))
            durations[index] = time.perf_counter() - started
            if not saved:
                failures.append("%d: not saved" % index)

    threads = [threading.Thread(target=client, args=(source,)) for source in sources]
    cpu_before = cpu_seconds(server.pid)
    started = time.perf_counter()
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    elapsed = time.perf_counter() - started
    cpu = cpu_seconds(server.pid) - cpu_before

    stored = set()
    for name in os.listdir(folder):
        with open(os.path.join(folder, name), "rb") as message:
            stored.add(message.read())
    files = len(os.listdir(folder))
    lost = POSTS - len(stored & set(texts))

    durations.sort()
    print("Guestbook, %s: %d posts from %d concurrent clients in %.2f s: %.0f posts/s" % (
        label, POSTS, len(sources), elapsed, POSTS / elapsed))
    print("  one post: median %.1f ms, 99th percentile %.1f ms; server CPU %.0f us per post" % (
        statistics.median(durations) * 1000, durations[int(len(durations) * 0.99) - 1] * 1000, cpu * 1e6 / POSTS))
    print("  %d files, %d distinct texts, %d posts lost or overwritten, %d failed replies" % (
        files, len(stored), lost, len(failures)))
    if failures:
        print("  first failures: %s" % "; ".join(failures[:5]))
    return files == POSTS and not lost and not failures


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    cli = os.path.realpath(os.path.join(sys.argv[1], "src/app/sarvo-cli"))
    work = tempfile.mkdtemp(prefix="sarvo-guestbook-bench.")
    home = os.path.join(work, "home")
    env = dict(os.environ, SARVO_HOME=home)
    server = None
    try:
        port = free_port()
        run = lambda *args: subprocess.run([cli, *args], env=env, check=True, stdout=subprocess.DEVNULL)
        run("set", "listen_ip", "127.0.0.1")
        run("set", "listen_port", str(port))
        run("set", "EnableGuestbook", "1")
        server = subprocess.Popen([cli, "serve", "--quiet"], env=env, stdout=subprocess.PIPE, text=True)
        print(server.stdout.readline().strip())

        folder = os.path.join(home, "SarvoGuestbook")
        ok = True
        for label, sources in (("one address", ["127.0.0.1"] * CLIENTS),
                               ("%d addresses" % CLIENTS, ["127.0.0.%d" % (2 + n) for n in range(CLIENTS)])):
            shutil.rmtree(folder, ignore_errors=True)
            ok = run_posts(server, port, folder, label, sources) and ok
        if not ok:
            sys.exit(1)
    finally:
        if server:
            server.terminate()
            server.wait(timeout=30)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
