"""Soak driver: a mixed workload on keep-alive connections against running KXWebServer processes,
with a sample of each server's resident memory, open files and kml folder every 10 s.

  soak.py prepare FOLDER MODE          lays out the data of one service folder (MODE file or kx)
  soak.py run SECONDS CONNECTIONS SERVER...
      SERVER is NAME:PORT:PID:FOLDER; the connections are shared out evenly between the servers.

Every request kind has its expected reply (status, and for the data requests the form of the
answer); anything else is counted as unexpected. Exit status 1 when a target is missed: an
unexpected reply or a broken connection, resident memory grown 5% or more between the end of the
warm-up and the end, open files not back to their count before the load, or a map file older
than the clean-up allows."""

import collections
import datetime
import http.client
import os
import random
import re
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests",
                                "e2e"))
from kxtest import password_digest  # noqa: E402

SAMPLE_SECONDS = 10
WARM_UP_SECONDS = 60
RSS_GROWTH_LIMIT = 5.0  # percent
DEVICES = range(100000, 101000)  # the registry of bench/service_folder.sh
GROUPS = 20  # groups of 50 vehicles, file names g0.grp ... g19.grp
USERS = 16  # plain users user0 ... user15
TRACKED = {d for d in DEVICES if (d - DEVICES[0]) % 50 < 5}  # with a track in the stand-in
CLEANUP_HOUR_MS = 10000  # the --cleanup-hour-ms the script starts the servers with
SUCCESS = re.compile(r"^-?\d+\|-?\d+\|http://[^/]+/kxserver/kml\?([0-9A-F]{32}\.kmz)$")


def user_devices(number):
    """Vehicles of user<number>: the first 20 of one group and of the next."""
    group = number % GROUPS
    return [DEVICES[0] + g * 50 + c for g in (group, (group + 1) % GROUPS) for c in range(20)]


def prepare(folder, mode):
    """Users.ini with the administrator, the guest and the users; the settings; the data of the
    mode: last-position files (file) or the dispatcher stand-in's fleet and tracks (kx)."""
    from_bench = open(os.path.join(folder, "Users.ini")).read()
    port = re.search(r"port=(\d+)", open(os.path.join(folder, "Settings.ini")).read()).group(1)
    lines = ["[main]", "UsersCount=%d" % (USERS + 2), "User0=admin", "User1=guest"]
    lines += ["User%d=user%d" % (n + 2, n) for n in range(USERS)]
    lines += from_bench.split("\n", 3)[3].strip().split("\n")  # the admin section
    lines += ["[guest]", "login=guest", "pass=" + password_digest("guest", ""), "r=0",
              "devcount=3",
              "dev0=100000", "dev1=100001", "dev2=100002"]
    for n in range(USERS):
        devices = user_devices(n)
        login = "user%d" % n
        lines += ["[%s]" % login, "login=" + login, "pass=" + password_digest(login, "secret"),
                  "r=0", "devcount=%d" % len(devices)]
        lines += ["dev%d=%d" % (j, d) for j, d in enumerate(devices)]
    write(os.path.join(folder, "Users.ini"), "\r\n".join(lines) + "\r\n")
    # The clean-up runs every "hour" and removes map files older than one; the sign-in guard is
    # off (every client comes from 127.0.0.1); the session bound is reached within the warm-up.
    write(os.path.join(folder, "Settings.ini"),
          "[main]\r\nport=%s\r\nUseKX=%d\r\nKXServerPath=%s/dispatcher/\r\nDelInterval=1\r\n"
          "FileTimeToLive=1\r\nMaxSessions=200\r\nMaxFailedSignIns=0\r\n"
          % (port, 1 if mode == "kx" else 0, folder))
    if mode == "file":
        positions = os.path.join(folder, "dispatcher", "LastPosition")
        os.makedirs(positions)
        for j, device in enumerate(DEVICES):
            write(os.path.join(positions, "%07d.kml" % device), last_position_kml(device, j))
    else:
        automation = os.path.join(folder, "automation")
        os.makedirs(os.path.join(automation, "tracks"))
        write(os.path.join(automation, "fleet.ini"), fleet_ini())
        for device in TRACKED:
            write(os.path.join(automation, "tracks", "%d.csv" % device), track_csv(device))


def write(path, text):
    with open(path, "wb") as f:
        f.write(text.encode("cp1251"))


def last_position_kml(device, j):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<kml xmlns="http://www.opengis.net/kml/2.2">\n'
            '  <Placemark>\n    <name>%d</name>\n'
            '    <description>2010-03-05 23:30:00 Speed 40 km/h</description>\n'
            '    <Point><coordinates>%.6f,%.6f,0</coordinates></Point>\n  </Placemark>\n</kml>\n'
            % (device, 37.6 + j / 1e4, 55.7 + j / 1e4))


def fleet_ini():
    lines = ["[main]", "GroupsNum=%d" % GROUPS]
    for g in range(GROUPS):
        lines += ["[group%d]" % (g + 1), "GroupName=Group %d" % g, "GroupFileName=g%d.grp" % g,
                  "CarsNum=50"]
        for c in range(50):
            device = DEVICES[0] + g * 50 + c
            lines += ["[group%d.car%d]" % (g + 1, c + 1), "CarDevice=%d" % device,
                      "CarModel=Model %d" % device, "CarNumber=N%d" % device,
                      "Latitude=%.4f" % (55.7 + c / 1e3), "Longitude=%.4f" % (37.6 + g / 1e3),
                      "Time=2010-03-05 23:30:00"]
    return "\r\n".join(lines) + "\r\n"


def track_csv(device):
    """Two trips in the last 24 hours (UTC), a point a minute."""
    now = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)
    points = []
    for minute in range(240):
        stamp = (now - datetime.timedelta(hours=6, minutes=-minute)).strftime("%Y-%m-%d %H:%M:%S")
        moving = 20 <= minute < 100 or 140 <= minute < 220
        points.append("%s;%.5f;%.5f;%d;%d" % (stamp, 55.7 + minute / 1e4, 37.6 + minute / 1e4,
                                              50 if moving else 0, 0 if moving else 2))
    return "\n".join(points) + "\n"


class Tally:
    """Replies by kind and status, unexpected replies with a few examples, archive names."""

    def __init__(self):
        self.lock = threading.Lock()
        self.total = 0
        self.by_kind = collections.Counter()
        self.unexpected = collections.Counter()
        self.examples = []
        self.archives = collections.deque(maxlen=200)

    def add(self, kind, status, ok, detail=""):
        with self.lock:
            self.total += 1
            self.by_kind[(kind, status)] += 1
            if not ok:
                self.unexpected[(kind, status)] += 1
                if len(self.examples) < 10:
                    self.examples.append("%s %s %r" % (kind, status, detail[:80]))

    def archive(self, name):
        with self.lock:
            self.archives.append(name)

    def some_archive(self, rng):
        with self.lock:
            return rng.choice(self.archives) if self.archives else None


class Client(threading.Thread):
    """One keep-alive connection with a role: user, admin or cookieless."""

    def __init__(self, server, number, role, tally, stop):
        super().__init__(daemon=True)
        self.server, self.number, self.role = server, number, role
        self.tally, self.stop = tally, stop
        self.rng = random.Random(number)
        self.connection = None
        self.cookie = None
        self.login = None

    def request(self, kind, method, target, expect, cookie=True):
        """Sends one request; `expect(status, body, headers)` tells whether the reply is right."""
        headers = {}
        if cookie and self.cookie:
            headers["Cookie"] = "IDHTTPSESSIONID=" + self.cookie
        if method == "POST":
            headers["Content-Type"] = "application/x-www-form-urlencoded"
        body = self.form if method == "POST" else None
        for attempt in (0, 1):
            try:
                if self.connection is None:
                    self.connection = http.client.HTTPConnection("127.0.0.1", self.server["port"],
                                                                 timeout=30)
                self.connection.request(method, target, body=body, headers=headers)
                reply = self.connection.getresponse()
                data = reply.read()
                break
            except (OSError, http.client.HTTPException) as error:
                self.connection.close()
                self.connection = None
                # A keep-alive connection the server closed between requests is tried once more;
                # a second failure is counted.
                if attempt == 1 or not isinstance(error, (http.client.RemoteDisconnected,
                                                          BrokenPipeError, ConnectionResetError)):
                    self.tally.add(kind, "broken", False, repr(error))
                    return None, b""
        ok = expect(reply.status, data, reply.headers)
        self.tally.add(kind, reply.status, ok, data.decode("cp1251", "replace"))
        if reply.headers.get("Connection", "").lower() == "close":
            self.connection.close()
            self.connection = None
        return reply, data

    def post(self, kind, target, form, expect, cookie=True):
        self.form = form
        return self.request(kind, "POST", target, expect, cookie)

    def get(self, kind, target, expect, cookie=True):
        return self.request(kind, "GET", target, expect, cookie)

    def run(self):
        try:
            getattr(self, "run_" + self.role)()
        finally:
            if self.connection is not None:
                self.connection.close()

    # Users: sign in, then a mix of pages, data requests and archive fetches; now and then sign
    # out and in again.
    def run_user(self):
        self.login = "user%d" % (self.number % USERS)
        devices = user_devices(self.number % USERS)
        self.sign_in(self.login)
        while not self.stop.is_set():
            choice = self.rng.random()
            if choice < 0.15:
                self.get("tree", "/kxserver/carlist", page_ok)
            elif choice < 0.40:
                self.data("last", "DevNum=%d&type=0&GMT=3" % self.rng.choice(devices))
            elif choice < 0.55:
                self.data("group", "GroupFileName=%d&GMT=3" % self.group_number(devices))
            elif choice < 0.75:
                self.data("track", self.track_query(devices))
            elif choice < 0.85:
                self.get("main", "/kxserver/main", page_ok)
            elif choice < 0.92:
                self.get("savesettings", "/kxserver/savesettings?tablewidth=100%25&tableheight="
                         "90%25&CarsListWidth=20%25&GoogleZoom=10&GoogleType=0", empty_ok)
            elif choice < 0.97:
                self.get("settings", "/kxserver/settings", page_ok)
            else:
                self.get("unlogin", "/kxserver/unlogin", page_ok)
                self.cookie = None
                self.sign_in(self.login)

    def sign_in(self, login, password="secret"):
        reply, _ = self.post("signin", "/kxserver/main",
                             "kx_login=%s&password=%s&Submit=OK" % (login, password), signed_in,
                             cookie=False)
        cookie = reply.headers.get("Set-Cookie", "") if reply else ""
        self.cookie = cookie.split(";")[0].split("=", 1)[1] if "=" in cookie else None

    def group_number(self, devices):
        """Groups are numbered in the order the registry first names them: g0.grp is 0, and so
        on, in both modes."""
        return (self.rng.choice(devices) - DEVICES[0]) // 50

    def track_query(self, devices):
        tracked = [d for d in devices if d in TRACKED]
        now = datetime.datetime.now(datetime.timezone.utc) + datetime.timedelta(hours=3)
        begin = (now - datetime.timedelta(hours=20)).strftime("%d.%m.%Y_%H:%M")
        end = now.strftime("%d.%m.%Y_%H:%M")
        return "DevNum=%d&type=1&BeginDate=%s&EndDate=%s&GMT=3&Icons=16" % (
            self.rng.choice(tracked), begin, end)

    def data(self, kind, query):
        reply, body = self.get(kind, "/kxserver/car?" + query, data_ok)
        match = SUCCESS.match(body.decode("cp1251", "replace")) if reply else None
        if not match:
            return
        self.tally.archive(match.group(1))
        self.get("archive", "/kxserver/kml?" + match.group(1), archive_ok, cookie=False)

    # Administrators: reads of the admin pages and accounts, and a cycle of add, change and
    # delete over logins of their own.
    def run_admin(self):
        self.sign_in("admin")
        logins = ["soak%d_%d" % (self.number, k) for k in range(5)]
        while not self.stop.is_set():
            choice = self.rng.random()
            login = self.rng.choice(logins)
            if choice < 0.2:
                self.get("admin page", "/kxserver/admin", page_ok)
            elif choice < 0.4:
                self.post("GetUserInfo", "/kxserver/GetUserInfo?Login=user%d"
                          % self.rng.randrange(USERS), "", user_info_ok)
            elif choice < 0.5:
                self.get("tree", "/kxserver/carlist", page_ok)
            else:
                cars = "-".join(str(d) for d in self.rng.sample(list(DEVICES), 5)) + "-"
                self.post("AddUser", "/kxserver/AddUser?Login=%s&Pass=p&r=0&CarList=%s"
                          % (login, cars), "", text_is("0"))
                self.post("SaveUser", "/kxserver/SaveUser?Login=%s&Pass=q&r=1&CarList=%s"
                          % (login, cars), "", text_is("0"))
                self.post("UserDel", "/kxserver/UserDel?Login=%s" % login, "", text_is("0"))

    # Visitors without a cookie: every page request signs in as guest; archive fetches of names
    # the users' requests returned.
    def run_cookieless(self):
        while not self.stop.is_set():
            choice = self.rng.random()
            if choice < 0.4:
                self.get("cookieless main", "/kxserver/main", signed_in, cookie=False)
            elif choice < 0.6:  # an unknown path signs in as guest too
                self.get("cookieless other", "/kxserver/nosuch", signed_in, cookie=False)
            elif choice < 0.8:
                name = self.tally.some_archive(self.rng)
                if name:
                    self.get("cookieless archive", "/kxserver/kml?" + name, archive_or_swept,
                             cookie=False)
            else:
                self.get("cookieless missing archive",
                         "/kxserver/kml?%032X.kmz" % self.rng.getrandbits(128), empty_ok,
                         cookie=False)


def page_ok(status, body, headers):
    return status == 200 and b"<" in body


def empty_ok(status, body, headers):
    return status == 200 and body == b""


def signed_in(status, body, headers):
    return status == 200 and (headers.get("Set-Cookie") or "").startswith("IDHTTPSESSIONID=")


def data_ok(status, body, headers):
    return status == 200 and SUCCESS.match(body.decode("cp1251", "replace")) is not None


def archive_ok(status, body, headers):
    return status == 200 and body.startswith(b"PK\x03\x04")


def archive_or_swept(status, body, headers):
    return status == 200 and (body == b"" or body.startswith(b"PK\x03\x04"))


def user_info_ok(status, body, headers):
    return status == 200 and re.match(rb"^0-(\d+-)+$", body) is not None


def text_is(text):
    return lambda status, body, headers: status == 200 and body == text.encode()


def roles(count):
    """Per server: one administrator and one cookieless visitor for every eight connections."""
    return ["admin" if n % 8 == 0 else "cookieless" if n % 8 == 1 else "user"
            for n in range(count)]


class Sampler:
    """Resident memory, open files and the kml folder of one server."""

    def __init__(self, server):
        self.server = server
        self.rows = []

    def rss_kb(self):
        with open("/proc/%d/status" % self.server["pid"]) as status:
            return int(re.search(r"^VmRSS:\s+(\d+)", status.read(), re.M).group(1))

    def fds(self):
        return len(os.listdir("/proc/%d/fd" % self.server["pid"]))

    def kml(self):
        count = size = 0
        oldest = time.time()
        with os.scandir(os.path.join(self.server["folder"], "kml")) as entries:
            for entry in entries:
                try:
                    info = entry.stat()
                except FileNotFoundError:
                    continue
                count, size, oldest = count + 1, size + info.st_size, min(oldest, info.st_mtime)
        return count, size, time.time() - oldest

    def sample(self, second, requests):
        count, size, age = self.kml()
        row = {"t": second, "rss": self.rss_kb(), "fds": self.fds(), "files": count,
               "bytes": size, "oldest": age, "requests": requests}
        self.rows.append(row)
        return row


def run(seconds, connections, servers):
    stop = threading.Event()
    tally = Tally()
    samplers = [Sampler(s) for s in servers]
    fds_before = [s.fds() for s in samplers]
    per_server = connections // len(servers)
    clients = [Client(server, n + i * per_server, role, tally, stop)
               for i, server in enumerate(servers) for n, role in enumerate(roles(per_server))]
    started = time.monotonic()
    for client in clients:
        client.start()
    last_total, last_time = 0, started
    print("%6s %-6s %10s %5s %7s %10s %8s %9s" % ("t", "server", "RSS KiB", "fds", "files",
                                                    "kml bytes", "oldest", "req/s"))
    while True:
        time.sleep(max(0.0, started + (len(samplers[0].rows) + 1) * SAMPLE_SECONDS -
                       time.monotonic()))
        now = time.monotonic()
        with tally.lock:
            total = tally.total
        rate = (total - last_total) / (now - last_time)
        last_total, last_time = total, now
        second = round(now - started)
        for sampler in samplers:
            row = sampler.sample(second, total)
            print("%6d %-6s %10d %5d %7d %10d %7.0fs %9.0f" % (
                second, sampler.server["name"], row["rss"], row["fds"], row["files"],
                row["bytes"], row["oldest"], rate), flush=True)
        if now - started >= seconds:
            break
    stop.set()
    for client in clients:
        client.join(60)
    return report(tally, samplers, fds_before)


def settled_fds(sampler, before):
    """Open files once the server has closed the finished connections (up to 5 s)."""
    deadline = time.monotonic() + 5
    while True:
        fds = sampler.fds()
        if fds <= before or time.monotonic() > deadline:
            return fds
        time.sleep(0.2)


def report(tally, samplers, fds_before):
    print("\n== replies by kind and status")
    for (kind, status), count in sorted(tally.by_kind.items(), key=lambda i: str(i[0])):
        print("  %-28s %-6s %9d" % (kind, status, count))
    unexpected = sum(tally.unexpected.values())
    print("total requests: %d" % tally.total)
    print("unexpected replies: %d" % unexpected)
    for example in tally.examples:
        print("  e.g. " + example)
    missed = unexpected > 0
    for sampler, before in zip(samplers, fds_before):
        rows = sampler.rows
        warm = next((r for r in rows if r["t"] >= WARM_UP_SECONDS), rows[0])
        end = rows[-1]
        growth = 100.0 * (end["rss"] - warm["rss"]) / warm["rss"]
        after = settled_fds(sampler, before)
        oldest_allowed = 3 * CLEANUP_HOUR_MS / 1000.0  # time to live plus a sweep interval, twice
        name = sampler.server["name"]
        print("%s: RSS %d KiB at %d s, %d KiB at %d s: %+.1f%% (target under %.0f%%)"
              % (name, warm["rss"], warm["t"], end["rss"], end["t"], growth, RSS_GROWTH_LIMIT))
        print("%s: open files %d before the load, %d during it at the end, %d after it"
              % (name, before, end["fds"], after))
        print("%s: kml folder max %d files (%d bytes), final %d files (%d bytes), oldest %.0f s "
              "(allowed %.0f s)" % (name, max(r["files"] for r in rows),
                                     max(r["bytes"] for r in rows), end["files"], end["bytes"],
                                     end["oldest"], oldest_allowed))
        missed |= growth >= RSS_GROWTH_LIMIT or after > before or end["oldest"] > oldest_allowed
    print("RESULT: %s" % ("target missed" if missed else "all targets met"))
    return 1 if missed else 0


def main(argv):
    if argv[1] == "prepare":
        prepare(argv[2], argv[3])
        return 0
    seconds, connections = int(argv[2]), int(argv[3])
    servers = []
    for described in argv[4:]:
        name, port, pid, folder = described.split(":", 3)
        servers.append({"name": name, "port": int(port), "pid": int(pid), "folder": folder})
    return run(seconds, connections, servers)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
