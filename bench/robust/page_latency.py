"""Asks for one page over one keep-alive connection every `interval` seconds for `seconds`
seconds and prints the count, median, p99 and maximum latency in milliseconds.
Usage: page_latency.py PORT COOKIE PATH SECONDS [INTERVAL]"""
import http.client
import sys
import time

port, cookie, path, seconds = int(sys.argv[1]), sys.argv[2], sys.argv[3], float(sys.argv[4])
interval = float(sys.argv[5]) if len(sys.argv) > 5 else 0.02
connection = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
latencies = []
failures = 0
end = time.monotonic() + seconds
while time.monotonic() < end:
    started = time.monotonic()
    connection.request("GET", path, headers={"Cookie": cookie})
    reply = connection.getresponse()
    reply.read()
    latencies.append((time.monotonic() - started) * 1000)
    if reply.status != 200 or reply.getheader("Set-Cookie"):
        failures += 1  # not served as the signed-in user
    time.sleep(max(0.0, interval - (time.monotonic() - started)))
latencies.sort()
pick = lambda q: latencies[min(len(latencies) - 1, int(q * len(latencies)))]
print("%s: %d requests, %d not served as the signed-in user, median %.2f ms, p99 %.2f ms, "
      "max %.2f ms" % (path, len(latencies), failures, pick(0.5), pick(0.99), latencies[-1]))
