"""Hostile requests against the running service: names that try to leave the js, css, img and
kml folders, the quality of session ids, and session cookies replayed from another address."""

import collections
import os
import shutil
import socket
import tempfile
import unittest

from kxtest import ServerTest

ADMIN = {"login": "admin", "password": "secret", "rights": 2,
         "extra": ["note=USERS-INI-MARKER-5d0c"]}
GUEST = {"login": "guest", "password": "", "devices": [1001]}

# Marker texts: no reply may ever carry one of them.
OUTSIDE_MARKER = b"OUTSIDE-MARKER-9f3e1a"
USERS_MARKER = b"USERS-INI-MARKER-5d0c"
SETTINGS_MARKER = b"SETTINGS-MARKER-77b2"
MARKERS = (OUTSIDE_MARKER, USERS_MARKER, SETTINGS_MARKER)

# Each way of fetching a file: the address before the name, the extension a name must carry,
# and a file really in the folder that is served.
KINDS = {
    "js": ("/kxserver/js?", "js", "real.js"),
    "css": ("/kxserver/css?", "css", "real.css"),
    "img": ("/kxserver/img?", "png", "real.png"),
    "kml": ("/kxserver/kml?", "kmz", "0123456789ABCDEF.kmz"),
}

ALPHABET = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"
SESSION_SIGN_INS = 10000


def parse_reply(raw):
    """(status, body) of one raw HTTP/1.1 reply; status 0 when nothing came back."""
    if not raw:
        return 0, b""
    head, _, body = raw.partition(b"\r\n\r\n")
    return int(head.split(b" ", 2)[1]), body


class Traversal(ServerTest):
    """A signed-in administrator (the js and css files need a session) asks for files outside
    the folders in every spelling; symbolic links in the folders point outside them."""

    USERS = [ADMIN]
    SETTINGS = "Marker=%s\r\n" % SETTINGS_MARKER.decode()

    def prepare_folder(self):
        self.outside = tempfile.mkdtemp(prefix="kx-outside-")
        self.addCleanup(shutil.rmtree, self.outside, True)
        for kind, (_, extension, real) in KINDS.items():
            self.folder.write(os.path.join(kind, real), b"REAL-" + kind.encode())
            marker = os.path.join(self.outside, "marker." + extension)
            with open(marker, "wb") as f:
                f.write(OUTSIDE_MARKER)
            # A link out of the folder, one to the service folder's own files, one within.
            os.symlink(marker, self.folder.file(os.path.join(kind, self.link_name(kind, "A"))))
            os.symlink(os.path.join("..", "Users.ini"),
                       self.folder.file(os.path.join(kind, self.link_name(kind, "B"))))
            os.symlink(real, self.folder.file(os.path.join(kind, self.link_name(kind, "C"))))
        os.symlink(os.path.join(self.outside, "marker.png"), self.folder.file("img/favicon.ico"))

    @staticmethod
    def link_name(kind, letter):
        """A name the folder's handler accepts: upper-case hex for archives."""
        return ("%s%s" % (letter, "BCDEF0" * 2) if kind == "kml" else "link" + letter) + \
            "." + KINDS[kind][1]

    def setUp(self):
        super().setUp()
        self.admin = self.client()
        self.assertEqual(self.admin.sign_in("admin", "secret").status, 200)

    def assert_no_marker(self, body, what):
        for marker in MARKERS:
            self.assertNotIn(marker, body, what)

    def raw_get(self, target):
        """Sends the target's bytes exactly as given, with the administrator's cookie."""
        request = (b"GET " + target + b" HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                   b"Cookie: IDHTTPSESSIONID=" + self.admin.cookie.encode() + b"\r\n\r\n")
        with socket.create_connection(("127.0.0.1", self.folder.port), timeout=10) as s:
            s.sendall(request)
            received = b""
            while True:
                try:
                    chunk = s.recv(65536)
                except ConnectionResetError:
                    break
                if not chunk:
                    break
                received += chunk
        return parse_reply(received)

    def test_the_real_files_and_links_within_a_folder_are_served(self):
        for kind, (prefix, _, real) in KINDS.items():
            for name in (real, self.link_name(kind, "C")):
                reply = self.admin.get(prefix + name)
                self.assertEqual((reply.status, reply.body), (200, b"REAL-" + kind.encode()), name)

    def test_links_out_of_a_folder_are_declined(self):
        for kind, (prefix, _, _) in KINDS.items():
            for letter in "AB":
                name = self.link_name(kind, letter)
                reply = self.admin.get(prefix + name)
                self.assert_no_marker(reply.body, name)
                self.assertEqual((reply.status, reply.body), (200, b""), name)
        reply = self.admin.get("/kxserver/favicon.ico")
        self.assertEqual((reply.status, reply.body), (200, b""))

    def test_encoded_dots_slashes_and_backslashes_in_the_name_are_declined(self):
        outside = self.outside.lstrip("/")
        for kind, (prefix, extension, _) in KINDS.items():
            for name in ["../Users.ini", "..%2fUsers.ini", "..%2FUsers.ini", "%2e%2e%2fUsers.ini",
                         "%2E%2E/Users.ini", "%2e%2e/%2e%2e/%2e%2e" + self.outside + "/marker.x",
                         "%252e%252e%252fUsers.ini", "%c0%ae%c0%ae/Users.ini",
                         "%c0%ae%c0%ae%c0%afUsers.ini", "..\\Users.ini", "..%5cUsers.ini",
                         "%2e%2e%5cUsers.ini", "..%255cUsers.ini", "Users.ini", "Settings.ini",
                         "../Users.ini%00." + extension, "Users.ini%00." + extension,
                         "a%00." + extension, "%00", "../../../../../../%s/marker.%s" % (
                             outside, extension),
                         "..%2f" * 8 + outside.replace("/", "%2f") + "%2fmarker." + extension,
                         self.outside + "/marker." + extension,
                         "%2F" + outside + "%2Fmarker." + extension,
                         "file://" + self.outside + "/marker." + extension,
                         "./real." + extension, "real." + extension + "/",
                         "real." + extension + "/../../Users.ini",
                         "%s/../Users.ini" % kind, "C:\\Windows\\win.ini",
                         "\\\\host\\share\\marker." + extension]:
                reply = self.admin.get(prefix + name)
                self.assert_no_marker(reply.body, prefix + name)
                self.assertEqual((reply.status, reply.body), (200, b""), prefix + name)

    def test_addresses_that_leave_the_paths_get_the_sign_in_page(self):
        for target in ["/kxserver/js/../Users.ini", "/kxserver/js/..%2fUsers.ini",
                       "/kxserver/js%2f..%2f..%2fUsers.ini", "/kxserver/%2e%2e/Users.ini",
                       "/kxserver/kml/%2e%2e%2f%2e%2e%2fUsers.ini", "/Users.ini",
                       "/kxserver/img%5c..%5cUsers.ini", "/kxserver/css/real.css",
                       "/kxserver/%c0%ae%c0%ae/Users.ini", "/kxserver/js%00?real.js",
                       "/" + "/".join([".."] * 8) + self.outside + "/marker.js",
                       self.folder.file("Users.ini")]:
            reply = self.admin.get(target)
            self.assert_no_marker(reply.body, target)
            self.assertEqual(reply.status, 401, target)
            self.assertIn("Авторизация", reply.text, target)

    def test_raw_nul_bytes_are_a_bad_request(self):
        for target in [b"/kxserver/js?real.js\x00", b"/kxserver/kml?\x00../Users.ini",
                       b"/kxserver/img?a\x00.png", b"/kxserver/css\x00?real.css"]:
            status, body = self.raw_get(target)
            self.assert_no_marker(body, target)
            self.assertEqual((status, body), (400, b""), target)
        # The service goes on serving.
        self.assertEqual(self.admin.get("/kxserver/js?real.js").body, b"REAL-js")

    def test_long_names_are_declined_and_an_over_long_address_is_refused(self):
        for kind, (prefix, extension, _) in KINDS.items():
            letter = "A" if kind == "kml" else "a"
            for length in (300, 5000):
                for name in [letter * length + "." + extension,
                             "../" * (length // 3) + "Users.ini"]:
                    reply = self.admin.get(prefix + name)
                    self.assert_no_marker(reply.body, "%s %d" % (kind, length))
                    self.assertEqual((reply.status, reply.body), (200, b""), (kind, length))
            status, body = self.raw_get(prefix.encode() + letter.encode() * 100000 + b"." +
                                        extension.encode())
            self.assert_no_marker(body, kind)
            self.assertEqual(status, 431, kind)
        self.assertEqual(self.client().sign_in("admin", "secret").status, 200)


class SessionIds(ServerTest):
    """Ten thousand guest sign-ins on one keep-alive connection."""

    USERS = [GUEST]

    def test_ids_are_unique_well_formed_and_evenly_spread(self):
        client = self.client()
        ids = []
        for _ in range(SESSION_SIGN_INS):
            client.cookie = None
            reply = client.request("HEAD", "/kxserver/settings")
            self.assertEqual(reply.status, 200)
            self.assertIsNotNone(client.cookie)
            ids.append(client.cookie)

        self.assertEqual(len(set(ids)), len(ids))
        for session in ids:
            self.assertEqual(len(session), 15, session)
            self.assertTrue(all(c in ALPHABET for c in session), session)

        # Each character, overall and at each of the 15 places, is one of 62 symbols with equal
        # chance: Pearson's chi-square with 61 degrees of freedom has mean 61 and deviation 11;
        # 150 is beyond any chance a sound generator has (p < 1e-8).
        def chi_square(text):
            counts = collections.Counter(text)
            expected = len(text) / len(ALPHABET)
            return sum((counts.get(c, 0) - expected) ** 2 / expected for c in ALPHABET)

        self.assertLess(chi_square("".join(ids)), 150)
        for place in range(15):
            self.assertLess(chi_square([s[place] for s in ids]), 150, place)

        # Random ids of 10,000 share at most about 4 leading characters; counters and clocks
        # share far more, and ids issued one after another would differ in the last places only.
        ordered = sorted(ids)
        longest = max(len(os.path.commonprefix(pair)) for pair in zip(ordered, ordered[1:]))
        self.assertLess(longest, 8)
        tails = sorted(s[::-1] for s in ids)
        longest = max(len(os.path.commonprefix(pair)) for pair in zip(tails, tails[1:]))
        self.assertLess(longest, 8)


class CookieReplay(ServerTest):
    """A session cookie is bound to the address it was given to."""

    USERS = [ADMIN, GUEST]

    def test_a_replayed_cookie_gets_the_guest_and_the_owner_keeps_the_session(self):
        owner = self.client()
        owner.sign_in("admin", "secret")
        stolen = owner.cookie
        thieves = [self.client(source="127.0.0.2")]
        try:
            ipv6 = self.client("::1")
            ipv6.get("/kxserver/nosuch")
            thieves.append(ipv6)
        except OSError:
            pass  # no IPv6 loopback on this machine
        for thief in thieves:
            thief.cookie = stolen
            reply = thief.get("/kxserver/admin")
            # The request signs the visitor in as the guest, with a new cookie.
            self.assertEqual(reply.status, 200)
            self.assertNotEqual(thief.cookie, stolen)
            self.assertNotIn("admin", reply.text)
            self.assertIn("Просмотр транспорта", reply.text)
            thief.cookie = stolen
            self.assertNotIn("Добавление пользователя", thief.get("/kxserver/NewUser").text)
        page = owner.get("/kxserver/NewUser")
        self.assertEqual(owner.cookie, stolen)
        self.assertIn("Добавление пользователя", page.text)


if __name__ == "__main__":
    unittest.main()
