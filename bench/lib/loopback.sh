# Helpers shared by the benchmark scripts that run servers on loopback. Sourced, not run.

# A loopback port that is free at the moment of asking.
free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

# The resident memory of a process, in KiB.
rss_kib() { awk '/^VmRSS/ {print $2}' "/proc/$1/status"; }

# "1.23x": the first figure divided by the second.
ratio() { python3 -c "import sys; a,b=float(sys.argv[1]),float(sys.argv[2]); print('%.2fx' % (a/b if b else 0))" "$1" "$2"; }
