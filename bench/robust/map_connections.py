"""Opens COUNT keep-alive connections that each make one last-position request (which packs an
archive) and stay open; prints the server's resident memory before, with all of them open, and
after they closed. Loopback only.
Usage: map_connections.py PORT SERVER_PID COOKIE [COUNT]"""
import http.client
import sys
import time

port, server_pid, cookie = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
count = int(sys.argv[4]) if len(sys.argv) > 4 else 500


def rss_mb():
    with open("/proc/%d/status" % server_pid) as status:
        kb = next(int(line.split()[1]) for line in status if line.startswith("VmRSS:"))
    return kb / 1024


def threads():
    with open("/proc/%d/status" % server_pid) as status:
        return next(int(line.split()[1]) for line in status if line.startswith("Threads:"))


print("resident memory before: %.1f MB" % rss_mb())
connections = []
answers = set()
for i in range(count):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
    connection.request("GET", "/kxserver/car?DevNum=%d&type=0&GMT=3" % (100000 + i % 10),
                       headers={"Cookie": cookie})
    reply = connection.getresponse()
    body = reply.read()
    if reply.status != 200 or b"|" not in body:
        sys.exit("unexpected answer %d %r" % (reply.status, body[:200]))
    answers.add(body)
    connections.append(connection)
time.sleep(1.0)
print("resident memory with %d connections open, each after one map request: %.1f MB "
      "(%d server threads)" % (count, rss_mb(), threads()))
for connection in connections:
    connection.close()
time.sleep(2.5)  # finished connection threads are joined once a second
print("resident memory after they closed: %.1f MB" % rss_mb())
