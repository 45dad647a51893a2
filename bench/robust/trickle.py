"""Connection bound under slow clients. Opens COUNT connections that each send a request's headers
one line per second, never finishing within the run; counts those the server refuses (503, then
closed) and those it holds; reports the server's threads. Then, five times, closes one held
connection and measures how long a new client waits until it is answered (it retries while it
gets 503). Loopback only; about 20 s.
Usage: trickle.py PORT SERVER_PID [COUNT]"""
import select
import socket
import sys
import time

port, server_pid = int(sys.argv[1]), int(sys.argv[2])
count = int(sys.argv[3]) if len(sys.argv) > 3 else 2000


def threads_of(pid):
    with open("/proc/%d/status" % pid) as status:
        return next(int(line.split()[1]) for line in status if line.startswith("Threads:"))


def answered_after_close():
    """Seconds from now until a new connection gets a whole 200 reply."""
    started = time.monotonic()
    while True:
        with socket.create_connection(("127.0.0.1", port), timeout=10) as probe:
            probe.sendall(b"GET /kxserver/nosuch HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
            try:
                head = probe.recv(12)
            except ConnectionResetError:
                head = b""
        if head.startswith(b"HTTP/1.1 200"):
            return time.monotonic() - started
        if time.monotonic() - started > 5:
            return float("inf")


sockets = []
for _ in range(count):
    s = socket.create_connection(("127.0.0.1", port), timeout=10)
    try:
        s.sendall(b"GET /kxserver/nosuch HTTP/1.1\r\n")
    except OSError:
        pass
    sockets.append(s)
time.sleep(1.0)
poller = select.poll()
for s in sockets:
    poller.register(s, select.POLLIN)
ready = {fd for fd, _ in poller.poll(0)}
readable = [s for s in sockets if s.fileno() in ready]
refused = 0
for s in readable:
    data = b""
    try:
        data = s.recv(4096)
    except OSError:
        pass
    if data.startswith(b"HTTP/1.1 503") or not data:
        refused += 1
    s.close()
held = [s for s in sockets if s not in readable]
print("connections opened: %d, refused with 503: %d, held: %d" % (count, refused, len(held)))

for line in range(8):  # one header line per second from every held connection
    for s in held:
        try:
            s.sendall(b"X-Trickle-%d: 1\r\n" % line)
        except OSError:
            pass
    time.sleep(1.0)
print("server threads while %d connections trickle: %d" % (len(held), threads_of(server_pid)))

waits = []
for _ in range(5):
    held.pop().close()
    waits.append(answered_after_close())
print("new client answered after a held connection closed: %s ms (max %.1f ms)"
      % (", ".join("%.1f" % (w * 1000) for w in waits), max(waits) * 1000))
for s in held:
    s.close()
time.sleep(0.5)
print("server threads after all closed: %d" % threads_of(server_pid))
