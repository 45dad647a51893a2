"""Administrator and account writes streamed to the service while it is killed with SIGKILL at
random moments, and started again on the same folder each time. After every kill Users.ini and
Settings.ini must parse, Users.ini must hold every change whose reply arrived, a change whose reply
never came must be there whole or not at all, and the next start leaves no temporary file of an
interrupted save behind."""

import http.client
import os
import random
import signal
import threading
import time
import unittest

from kxtest import Server, ServiceFolder, password_digest

SEED = int(os.environ.get("KX_CRASH_SEED", "1302"))
KILLS = 24
WRITERS = 3  # concurrent connections, each with its own logins
LOGINS_PER_WRITER = 3
DEVICES = (12, 40, 77)
ADMIN = {"login": "admin", "password": "secret", "rights": 2}
DISPLAY_KEYS = ("tablewidth", "tableheight", "carslistwidth", "googlezoom", "googletype")
DEVICE_LIST = ("[main]\r\ndevCount=3\r\n" + "".join(
    "[dev%d]\r\ndevnum=%d\r\ncarmodel=Car %d\r\ngroupname=Fleet\r\ngroupfile=fleet.grp\r\n"
    % (j, d, d) for j, d in enumerate(DEVICES))).encode("cp1251")


def parse_ini(data):
    """{section: {key: value}}, names in lower case as the service compares them; raises
    ValueError on a line that is no section header, key line, comment or blank."""
    sections, current = {}, None
    for number, line in enumerate(data.decode("cp1251").split("\r\n")):
        stripped = line.strip()
        if not stripped or stripped.startswith(";"):
            continue
        if stripped.startswith("[") and stripped.endswith("]"):
            current = sections.setdefault(stripped[1:-1].lower(), {})
        elif "=" in line and current is not None:
            key, value = line.split("=", 1)
            current.setdefault(key.strip().lower(), value)
        else:
            raise ValueError("line %d is malformed: %r" % (number + 1, line))
    return sections


def account_in(sections, login):
    """What the file holds of a managed login: None when absent, else its password digest,
    rights and vehicles; raises AssertionError for a login listed without section or the
    reverse."""
    main = sections["main"]
    listed = [main["user%d" % i].lower() for i in range(int(main["userscount"]))]
    section = sections.get(login)
    if section is None or not section:
        if login in listed:
            raise AssertionError("%s is listed in [main] without its section" % login)
        return None
    if listed.count(login) != 1:
        raise AssertionError("%s has a section but is listed %d times"
                             % (login, listed.count(login)))
    devices = tuple(int(section["dev%d" % j]) for j in range(int(section.get("devcount", "0"))))
    return (section["pass"], int(section["r"]), devices)


def display_in(sections, login):
    section = sections.get(login, {})
    return tuple(section.get(key) for key in DISPLAY_KEYS)


class Writer:
    """One connection's stream of writes: AddUser, SaveUser and UserDel of its own logins as the
    administrator, and NewPass and savesettings of its own account. `known` holds the state the
    file must show; `pending` the change whose reply had not arrived when the server died."""

    def __init__(self, number, rng):
        self.me = "self%d" % number
        self.logins = ["w%du%d" % (number, k) for k in range(LOGINS_PER_WRITER)]
        self.rng = rng
        self.password = "start"
        self.known = {login: None for login in self.logins}
        self.known[self.me] = (password_digest(self.me, self.password), 0, (12,))
        self.display = (None,) * len(DISPLAY_KEYS)
        self.pending = None
        self.failure = None
        self.acknowledged = 0

    def connect(self, server):
        self.close()
        self.acknowledged = 0
        self.admin = server.connect()
        self.admin.sign_in(ADMIN["login"], ADMIN["password"])
        self.user = server.connect()
        self.user.sign_in(self.me, self.password)
        if self.admin.cookie is None or self.user.cookie is None:
            raise AssertionError("sign-in failed after a restart")

    def close(self):
        for client in (getattr(self, "admin", None), getattr(self, "user", None)):
            if client is not None:
                client.close()

    def next_change(self):
        """(client, path and query, expected reply body, what it changes: (kind, key, new))."""
        choice = self.rng.random()
        if choice < 0.15:
            password = "p%d" % self.rng.randrange(10 ** 6)
            new = (password_digest(self.me, password),) + self.known[self.me][1:]
            return (self.user, "NewPass?OldPass=%s&NewPass=%s" % (self.password, password), b"0",
                    ("account", self.me, new, password))
        if choice < 0.3:
            values = ("%dpx" % self.rng.randrange(100, 2000), "%d%%" % self.rng.randrange(10, 100),
                      "%d%%" % self.rng.randrange(5, 50), str(self.rng.randrange(1, 20)),
                      str(self.rng.randrange(3)))
            query = "&".join("%s=%s" % (key, value.replace("%", "%25")) for key, value in
                             zip(("tablewidth", "tableheight", "CarsListWidth", "GoogleZoom",
                                  "GoogleType"), values))
            stored = tuple(value.replace("%", "%25") for value in values)  # as sent
            return self.user, "savesettings?" + query, b"", ("display", self.me, stored, None)
        login = self.rng.choice(self.logins)
        password = "p%d" % self.rng.randrange(10 ** 6)
        devices = tuple(self.rng.sample(DEVICES, self.rng.randrange(1, 4)))
        cars = "".join("%d-" % d for d in devices)
        digest = password_digest(login, password)
        if self.known[login] is None:
            return (self.admin, "AddUser?Login=%s&Pass=%s&r=0&CarList=%s" % (login, password, cars),
                    b"0", ("account", login, (digest, 0, devices), None))
        if self.rng.random() < 0.3:
            return self.admin, "UserDel?Login=" + login, b"0", ("account", login, None, None)
        rights = self.rng.randrange(2)
        return (self.admin, "SaveUser?Login=%s&Pass=%s&r=%d&CarList=%s"
                % (login, password, rights, cars), b"0",
                ("account", login, (digest, rights, devices), None))

    def stream(self):
        """Sends changes until the connection breaks."""
        while True:
            client, target, expected, change = self.next_change()
            self.pending = change
            try:
                method = "GET" if target.startswith("savesettings") else "POST"
                reply = client.request(method, "/kxserver/" + target,
                                       body="" if method == "POST" else None)
            except (OSError, http.client.HTTPException):
                return  # the server died: the change is pending
            if (reply.status, reply.body) != (200, expected):
                self.failure = "%s answered %d %r" % (target, reply.status, reply.body)
                return
            self.pending = None
            self.apply(change)
            self.acknowledged += 1

    def apply(self, change):
        kind, login, new, password = change
        if kind == "display":
            self.display = new
        else:
            self.known[login] = new
            if password is not None:
                self.password = password

    def check(self, sections):
        """Compares the file with what was acknowledged; settles the pending change by what the
        file holds. Returns an error text or None."""
        for login, state in self.known.items():
            found = account_in(sections, login)
            pending = self.pending if self.pending and self.pending[1] == login else None
            if found == state:
                continue
            if pending and pending[0] == "account" and found == pending[2]:
                self.apply(pending)
                continue
            return "%s: file holds %r, acknowledged %r, pending %r" % (login, found, state, pending)
        found = display_in(sections, self.me)
        if found != self.display:
            if self.pending and self.pending[0] == "display" and found == self.pending[2]:
                self.apply(self.pending)
            else:
                return "%s display: file %r, acknowledged %r, pending %r" % (
                    self.me, found, self.display, self.pending)
        self.pending = None
        return None


class CrashSafety(unittest.TestCase):
    def setUp(self):
        users = [ADMIN] + [{"login": "self%d" % n, "password": "start", "devices": [12]}
                           for n in range(WRITERS)]
        self.folder = ServiceFolder(users, prefix="kx-e2e-crash-")
        self.folder.write("DeviceList.ini", DEVICE_LIST)
        self.settings = self.folder.read("Settings.ini")
        self.server = None

    def tearDown(self):
        if self.server is not None:
            self.server.stop()
        self.folder.remove()

    def test_every_acknowledged_change_survives_a_kill_and_none_is_half_written(self):
        rng = random.Random(SEED)
        writers = [Writer(n, random.Random(rng.random())) for n in range(WRITERS)]
        acknowledged = 0
        for kill in range(KILLS):
            note = "seed %d (KX_CRASH_SEED), kill %d" % (SEED, kill + 1)
            self.server = Server(self.folder).wait_listening()
            # A kill between writing a temporary file and renaming it leaves the file behind;
            # the start removes it.
            self.assertEqual([name for name in os.listdir(self.folder.path)
                              if name.startswith("Users.ini.")], [], note)
            for writer in writers:
                writer.connect(self.server)
            threads = [threading.Thread(target=writer.stream, daemon=True) for writer in writers]
            for thread in threads:
                thread.start()
            time.sleep(rng.uniform(0.02, 0.4))
            self.server.process.send_signal(signal.SIGKILL)
            self.server.stop()
            self.server = None
            for thread, writer in zip(threads, writers):
                thread.join(10)
                self.assertFalse(thread.is_alive(), note)
                self.assertIsNone(writer.failure, note)
                acknowledged += writer.acknowledged
            try:
                users = parse_ini(self.folder.read("Users.ini"))
                parse_ini(self.folder.read("Settings.ini"))
            except ValueError as error:
                self.fail("%s: %s" % (note, error))
            self.assertEqual(self.folder.read("Settings.ini"), self.settings, note)
            for writer in writers:
                self.assertIsNone(writer.check(users), note)
        for writer in writers:
            writer.close()
        self.assertGreater(acknowledged, KILLS * WRITERS, "seed %d: too few writes" % SEED)


if __name__ == "__main__":
    unittest.main()
