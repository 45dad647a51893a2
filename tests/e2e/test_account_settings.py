"""Password and display-settings requests against the running service: replies, the exact bytes of
Users.ini, and what sign-in and the settings page see afterwards."""

import re
import unittest

from kxtest import ServerTest, password_digest, users_ini

IVAN = {"login": "ivan", "password": "pw", "devices": [12]}
OLGA = {"login": "olga", "password": "o", "devices": [12],
        "extra": ["tablewidth=800px", "tableheight=600px", "CarsListWidth=25%", "GoogleZoom=12",
                  "GoogleType=2"]}
DEMO = {"login": "demo", "password": "kavo", "devices": [12]}
GUEST = {"login": "guest", "password": "", "devices": [12]}

SIZES = ("tablewidth", "tableheight", "CarsListWidth", "GoogleZoom")
DEFAULTS = ("100%", "90%", "20%", "10")


def settings_lines(width, height, list_width, zoom, map_type):
    return ("tablewidth=%s\r\ntableheight=%s\r\nCarsListWidth=%s\r\nGoogleZoom=%s\r\n"
            "GoogleType=%s\r\n" % (width, height, list_width, zoom, map_type)).encode("cp1251")


class AccountTest(ServerTest):
    USERS = [IVAN, OLGA, DEMO]

    def signed_in(self, user, password=None):
        client = self.client()
        client.sign_in(user["login"], user["password"] if password is None else password)
        self.assertIsNotNone(client.cookie, "%s could not sign in" % user["login"])
        return client

    def sign_in_fails(self, user, password):
        client = self.client()
        client.sign_in(user["login"], password)
        self.assertIsNone(client.cookie)

    def users_ini(self):
        return self.folder.read("Users.ini")


class NewPass(AccountTest):

    def new_pass(self, client, query):
        reply = client.post("/kxserver/NewPass?" + query, "")
        self.assertEqual(reply.status, 200)
        self.assertEqual(reply.header("Content-Type"), "text/plain")
        return reply.text

    def assert_unchanged(self, client, queries, answer):
        before = self.users_ini()
        for query in queries:
            self.assertEqual(self.new_pass(client, query), answer, query)
        self.assertEqual(self.users_ini(), before)

    def test_the_new_password_is_digested_as_sent(self):
        ivan = self.signed_in(IVAN)
        before = self.users_ini()
        self.assertEqual(self.new_pass(ivan, "OldPass=pw&NewPass=n%26w+x&Submit=1"), "0")
        old, new = (("pass=" + password_digest("ivan", p)).encode() for p in ("pw", "n%26w+x"))
        self.assertEqual(self.users_ini(), before.replace(old, new))
        self.signed_in(IVAN, "n%26w+x")
        self.sign_in_fails(IVAN, "pw")

    def test_a_wrong_old_password_changes_nothing(self):
        self.assert_unchanged(self.signed_in(IVAN), ["OldPass=PW&NewPass=x", "OldPass=p&NewPass=x"],
                              "2")
        self.signed_in(IVAN)

    def test_empty_new_password_empty_old_password_and_empty_query(self):
        ivan = self.signed_in(IVAN)
        self.assert_unchanged(ivan, ["OldPass=pw&NewPass=", "OldPass=wrong&NewPass=", ""], "0")
        self.assert_unchanged(ivan, ["OldPass=&NewPass=x", "NewPass=x&OldPass=pw", "OldPass=pw",
                                     "x&OldPass=pw&NewPass=y"], "1")
        self.signed_in(IVAN)

    def test_demo_keeps_its_password(self):
        demo = self.signed_in(DEMO)
        self.assert_unchanged(demo, ["OldPass=kavo&NewPass=secret"], "0")
        self.assert_unchanged(demo, ["OldPass=secret&NewPass=other"], "2")
        self.signed_in(DEMO, "kavo")


class GuestNewPass(AccountTest):
    USERS = [IVAN, GUEST]

    def test_a_guest_session_acts_on_guest(self):
        guest = self.client()
        guest.get("/kxserver/main")
        self.assertIsNotNone(guest.cookie)
        before = self.users_ini()
        reply = guest.post("/kxserver/NewPass?OldPass=x&NewPass=y", "")
        self.assertEqual(reply.text, "2")
        self.assertEqual(self.users_ini(), before)


class SaveSettings(AccountTest):
    USERS = [OLGA, DEMO, IVAN]  # new keys of ivan's section then go to the end of the file

    def save(self, client, query):
        reply = client.get("/kxserver/savesettings?" + query if query else "/kxserver/savesettings")
        self.assertEqual((reply.status, reply.body), (200, b""))
        self.assertIsNone(reply.header("Content-Type"))
        return reply

    def shown(self, client):
        """The values the settings page shows: what the service holds in memory."""
        page = client.get("/kxserver/settings").text
        values = [re.search(r'id="%s"[^>]*value="\s*([^"\s]*)\s*"' % name, page).group(1)
                  for name in SIZES]
        values.append(re.search(r"getElementById\('GoogleType'\)\.value =\s*(\S+)", page)
                      .group(1).strip("';"))
        return tuple(values)

    def test_values_are_stored_in_their_order_as_sent(self):
        ivan = self.signed_in(IVAN)
        before = self.users_ini()
        self.save(ivan, "tablewidth=9999px&tableheight=1234px&CarsListWidth=5%25&GoogleZoom=0x0C&"
                        "GoogleType=02")
        self.assertEqual(self.users_ini(),
                         before + settings_lines("9999px", "1234px", "5%25", 12, 2))
        self.assertEqual(self.shown(ivan), ("9999px", "1234px", "5%25", "12", "2"))

    def test_an_empty_query_stores_the_defaults_in_file_and_memory(self):
        olga = self.signed_in(OLGA)
        self.assertEqual(self.shown(olga), ("800px", "600px", "25%", "12", "2"))
        before = self.users_ini()
        self.save(olga, "")
        self.assertEqual(self.users_ini(), before.replace(
            settings_lines("800px", "600px", "25%", 12, 2),
            settings_lines("100%", "90%", "20%", 10, 0)))
        self.assertEqual(self.shown(olga), DEFAULTS + ("0",))

    def test_items_out_of_order_keep_the_defaults_from_the_first_misplaced_one(self):
        olga = self.signed_in(OLGA)
        before = self.users_ini()
        self.save(olga, "tablewidth=80%&CarsListWidth=30%&tableheight=50%&GoogleZoom=5&"
                        "GoogleType=1")
        self.assertEqual(self.users_ini(), before.replace(
            settings_lines("800px", "600px", "25%", 12, 2),
            settings_lines("80%", "90%", "20%", 10, 0)))
        self.save(olga, "GoogleType=1&GoogleZoom=5&CarsListWidth=30%&tableheight=50%&"
                        "tablewidth=80%")
        self.assertIn(settings_lines("100%", "90%", "20%", 10, 0), self.users_ini())
        self.assertEqual(self.shown(olga), DEFAULTS + ("0",))

    def test_blanks_are_dropped_and_long_sizes_are_cut_to_what_the_file_gives_back(self):
        ivan = self.signed_in(IVAN)
        before = self.users_ini()
        self.save(ivan, "tablewidth=%s&tableheight=9%%2099%%25&CarsListWidth=1%%20px&GoogleZoom="
                        "%%207&GoogleType=1" % ("1" * 3000))
        self.assertEqual(self.users_ini(),
                         before + settings_lines("1" * 2047, "999%25", "1px", 7, 1))


class GuestSettings(AccountTest):
    USERS = [IVAN, GUEST]

    def test_a_guest_session_changes_the_settings_of_guest(self):
        guest = self.client()
        guest.get("/kxserver/main")
        self.assertIsNotNone(guest.cookie)
        before = self.users_ini()
        reply = guest.get("/kxserver/savesettings?tablewidth=90%&tableheight=80%&"
                          "CarsListWidth=300px&GoogleZoom=8&GoogleType=1")
        self.assertEqual((reply.status, reply.body), (200, b""))
        self.assertEqual(self.users_ini(), before + settings_lines("90%", "80%", "300px", 8, 1))


if __name__ == "__main__":
    unittest.main()
