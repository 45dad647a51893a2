"""Bounded state under hostile or careless clients and settings: the session and connection
limits, huge clean-up settings and Users.ini counts, failed reloads and error replies."""

import os
import socket
import time
import unittest

from kxtest import Server, ServerTest, ServiceFolder, users_ini

ADMIN = {"login": "admin", "password": "a", "rights": 2}
USER = {"login": "user", "password": "u", "devices": [1001]}
GUEST = {"login": "guest", "password": "", "devices": [1001]}


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


class SessionLimit(ServerTest):
    USERS = [ADMIN, USER, GUEST]
    SETTINGS = "MaxSessions=3\r\n"

    def still_signed_in(self, cookie):
        """True when the cookie names a live session: the tree page comes without a new one."""
        client = self.client()
        client.cookie = cookie
        reply = client.get("/kxserver/carlist")
        return reply.status == 200 and reply.header("Set-Cookie") is None

    def test_cookieless_visitors_end_guest_sessions_before_a_signed_in_one(self):
        user = self.client()
        user.sign_in("user", "u")
        guests = []
        for _ in range(6):
            visitor = self.client()
            self.assertEqual(visitor.get("/kxserver/nosuch").status, 200)
            guests.append(visitor.cookie)
        self.assertEqual(len(set(guests)), 6)
        self.assertTrue(self.still_signed_in(user.cookie))
        # Only the two newest guests fit beside the user; the older ones were ended.
        self.assertEqual([self.still_signed_in(cookie) for cookie in guests[:4]], [False] * 4)
        # Each check above made a guest session of its own, so only the user is certain to last.
        self.assertTrue(self.still_signed_in(user.cookie))

    def test_signed_in_sessions_go_the_idle_longest_first_when_no_guest_is_left(self):
        first, second, third, fourth = (self.client() for _ in range(4))
        for client in (first, second, third):
            self.assertIn("Просмотр транспорта", client.sign_in("user", "u").text)
        self.assertEqual(first.get("/kxserver/carlist").header("Set-Cookie"), None)  # used again
        fourth.sign_in("admin", "a")
        self.assertTrue(self.still_signed_in(fourth.cookie))
        self.assertFalse(self.still_signed_in(second.cookie))


class ConnectionLimit(ServerTest):
    USERS = [GUEST]
    SETTINGS = "MaxConnections=3\r\n"

    def trickler(self):
        """A connection that has begun a request and sends nothing more."""
        held = socket.create_connection(("127.0.0.1", self.folder.port), timeout=10)
        held.sendall(b"GET /kxserver/main HTTP/1.1\r\nHost: x\r\n")
        self.addCleanup(held.close)
        return held

    def answer(self):
        """Status line and the rest of what a new connection gets before the server closes it or
        answers a whole request."""
        with socket.create_connection(("127.0.0.1", self.folder.port), timeout=10) as probe:
            probe.sendall(b"GET /kxserver/nosuch HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
            data = b""
            while True:
                try:
                    chunk = probe.recv(65536)
                except ConnectionResetError:
                    break
                if not chunk:
                    break
                data += chunk
            return data

    def test_beyond_the_limit_a_connection_gets_503_and_a_freed_place_is_used_again(self):
        held = [self.trickler() for _ in range(3)]
        # The listener takes the three in its own time: until it has, a probe still finds a place.
        deadline = time.monotonic() + 5
        refused = self.answer()
        while not refused.startswith(b"HTTP/1.1 503 ") and time.monotonic() < deadline:
            time.sleep(0.1)
            refused = self.answer()
        self.assertTrue(refused.startswith(b"HTTP/1.1 503 "), refused)
        head, _, body = refused.partition(b"\r\n\r\n")
        self.assertIn(b"Content-Length: 0", head)
        self.assertEqual(body, b"")
        held[0].close()
        deadline = time.monotonic() + 5
        while True:
            reply = self.answer()
            if reply.startswith(b"HTTP/1.1 200 ") or time.monotonic() > deadline:
                break
            time.sleep(0.01)
        self.assertTrue(reply.startswith(b"HTTP/1.1 200 "), reply[:100])


class HugeCleanupSettings(ServerTest):
    USERS = [GUEST]
    SETTINGS = "FileTimeToLive=99999999\r\nDelInterval=3000000\r\n"

    def prepare_folder(self):
        self.archive = self.folder.file(os.path.join("kml", "0123ABCD.kmz"))
        self.folder.write(os.path.join("kml", "0123ABCD.kmz"), b"PK")
        year_ago = time.time() - 365 * 24 * 3600
        os.utime(self.archive, (year_ago, year_ago))

    def test_files_are_kept_and_the_timer_stays_quiet(self):
        self.assertTrue(os.path.exists(self.archive))  # the sweep at start-up kept it
        busy = cpu_seconds(self.server.process.pid)
        time.sleep(1.0)
        self.assertLess(cpu_seconds(self.server.process.pid) - busy, 0.3)
        self.assertEqual(self.client().get("/kxserver/kml?0123ABCD.kmz").body, b"PK")
        self.assertTrue(os.path.exists(self.archive))


class UsersIniFaults(ServerTest):
    USERS = [ADMIN, USER]

    def prepare_folder(self):
        text = users_ini(self.USERS).decode("cp1251")
        text = text.replace("UsersCount=2", "UsersCount=99999999", 1)
        text = text.replace("devcount=1", "devcount=99999999", 1)
        self.folder.write("Users.ini", text.encode("cp1251"))

    def test_huge_counts_load_quickly_and_a_failed_reload_keeps_the_accounts(self):
        self.assertIn("Просмотр транспорта", self.client().sign_in("user", "u").text)
        started = time.monotonic()
        self.assertEqual(self.client().get("/kxserver/RefreshUsers").status, 200)
        self.assertLess(time.monotonic() - started, 10)

        os.remove(self.folder.file("Users.ini"))
        os.mkdir(self.folder.file("Users.ini"))  # unreadable as a file
        reply = self.client().get("/kxserver/RefreshUsers")
        self.assertEqual(reply.status, 500)
        self.assertIn("Users.ini", reply.text)
        self.assertNotIn(self.folder.path, reply.text)
        self.assertIn("Просмотр транспорта", self.client().sign_in("admin", "a").text)


class ArchiveNames(ServerTest):
    USERS = [GUEST]

    def test_an_over_long_archive_name_is_a_missing_archive(self):
        reply = self.client().get("/kxserver/kml?" + "A" * 300 + ".kmz")
        self.assertEqual((reply.status, reply.body), (200, b""))
        reply = self.client().get("/kxserver/kml?" + "0" * 5000 + ".kmz")
        self.assertEqual((reply.status, reply.body), (200, b""))


if __name__ == "__main__":
    unittest.main()
