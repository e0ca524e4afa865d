#!/usr/bin/env python3
"""Real-time streams of `sarvo-cli serve`: what idle streams cost, and how soon appended bytes arrive.

  - 200 streams (one per published real-time file) held open and idle for 20 s: the server's CPU time
    over that span, as a share of one core (it includes the mark check each stream makes after 15 s
    without new bytes)
  - with those streams open, 16 bytes appended to one file at a time, 200 times: the time from the
    write until the chunk is read by the stream's client (median, 90th percentile, largest)

Usage: bench/site/realtime_streams.py BUILD_DIR
"""
import os
import selectors
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time

STREAMS = int(os.environ.get("BENCH_STREAMS", "200"))
IDLE_SECONDS = float(os.environ.get("BENCH_IDLE_SECONDS", "20"))
SAMPLES = int(os.environ.get("BENCH_SAMPLES", "200"))
PAYLOAD = b"0123456789abcdef"


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def cpu_seconds(pid):
    """CPU time of the process's threads, in nanoseconds where the kernel keeps scheduler statistics
    (the clock-tick counts of /proc/PID/stat cannot tell 0 from 9 ms)."""
    total = 0
    try:
        for task in os.listdir("/proc/%d/task" % pid):
            with open("/proc/%d/task/%s/schedstat" % (pid, task)) as schedstat:
                total += int(schedstat.read().split()[0])
        return total / 1e9
    except (FileNotFoundError, ProcessLookupError):
        pass
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def read_head(connection):
    data = b""
    while b"\r\n\r\n" not in data:
        piece = connection.recv(4096)
        if not piece:
            raise RuntimeError("stream closed before its head")
        data += piece
    head, rest = data.split(b"\r\n\r\n", 1)
    if not head.startswith(b"HTTP/1.1 200 OK") or b"Transfer-Encoding: chunked" not in head:
        raise RuntimeError("not a stream: %r" % head)
    return rest


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    cli = os.path.realpath(os.path.join(sys.argv[1], "src/app/sarvo-cli"))
    work = tempfile.mkdtemp(prefix="sarvo-realtime-bench.")
    env = dict(os.environ, SARVO_HOME=os.path.join(work, "home"))
    server = None
    streams = []
    try:
        port = free_port()
        run = lambda *args: subprocess.run([cli, *args], env=env, check=True, stdout=subprocess.DEVNULL)
        run("set", "listen_ip", "127.0.0.1")
        run("set", "listen_port", str(port))
        files = []
        for index in range(STREAMS):
            path = os.path.join(work, "live%03d.log" % index)
            with open(path, "wb") as out:
                out.write(b"already there\n")
            run("publish", path)
            run("publish", "set", "live%03d.log" % index, "--realtime")
            files.append(path)
        server = subprocess.Popen([cli, "serve", "--quiet"], env=env, stdout=subprocess.PIPE, text=True)
        if "port %d" % port not in server.stdout.readline():
            raise RuntimeError("server did not start")

        for index in range(STREAMS):
            connection = socket.create_connection(("127.0.0.1", port))
            connection.sendall(b"GET /live%03d.log HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" % index)
            streams.append(connection)
        for connection in streams:
            if read_head(connection):
                raise RuntimeError("bytes before anything was appended")

        time.sleep(1)
        before = cpu_seconds(server.pid)
        started = time.monotonic()
        time.sleep(IDLE_SECONDS)
        used = cpu_seconds(server.pid) - before
        span = time.monotonic() - started
        print("%d idle streams for %.0f s: server CPU %.4f s = %.3f%% of one core (limit 5%%)"
              % (STREAMS, span, used, 100.0 * used / span))

        expected = b"%x\r\n" % len(PAYLOAD) + PAYLOAD + b"\r\n"
        latencies = []
        selector = selectors.DefaultSelector()
        for sample in range(SAMPLES):
            index = sample % STREAMS
            connection = streams[index]
            with open(files[index], "ab", buffering=0) as out:
                written = time.perf_counter()
                out.write(PAYLOAD)
            received = b""
            selector.register(connection, selectors.EVENT_READ)
            while len(received) < len(expected):
                if not selector.select(timeout=5):
                    raise RuntimeError("no chunk within 5 s")
                received += connection.recv(4096)
            arrived = time.perf_counter()
            selector.unregister(connection)
            if received != expected:
                raise RuntimeError("unexpected bytes %r" % received)
            latencies.append((arrived - written) * 1000.0)
        latencies.sort()
        print("append to client, %d samples with %d streams open: median %.2f ms, 90th %.2f ms, max %.2f ms "
              "(limit 50 ms)" % (SAMPLES, STREAMS, statistics.median(latencies),
                                 latencies[int(len(latencies) * 0.9) - 1], latencies[-1]))
    finally:
        for connection in streams:
            connection.close()
        if server:
            server.terminate()
            server.wait(timeout=20)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
