"""Sign-in, sign-out, the guest account and the lifetime of sessions."""

import threading
import time
import unittest

from kxtest import ServerTest

ADMIN = {"login": "admin", "password": "secret", "rights": 2}
# The stored digest is of the password as the browser sends it, percent-encoded.
USER = {"login": "ivan", "password": "p%40ss+word", "devices": [1002]}
GUEST = {"login": "guest", "password": "", "devices": [1001]}
WRONG = "Ошибка: Неверное имя пользователя или пароль"

DEVICE_LIST = ("[main]\r\ndevCount=3\r\n"
               "[dev0]\r\ndevnum=1001\r\ncarmodel=МАЗ\r\ncarnumber=А001АА\r\n"
               "groupname=Колонна 1\r\ngroupfile=g1.grp\r\n"
               "[dev1]\r\ndevnum=1002\r\ncarmodel=КАМАЗ\r\ngroupname=Колонна 1\r\n"
               "groupfile=g1.grp\r\n"
               "[dev2]\r\ndevnum=1003\r\ncarmodel=ГАЗель\r\ngroupname=Колонна 2\r\n"
               "groupfile=g2.grp\r\n")


def signed_in_as(page, login):
    """The map page greets the signed-in login in its menu."""
    return login in page.text and "Просмотр транспорта" in page.text


class SignIn(ServerTest):
    USERS = [ADMIN, USER]

    def prepare_folder(self):
        self.folder.write("DeviceList.ini", DEVICE_LIST.encode("cp1251"))

    def test_right_credentials_give_one_cookie_and_the_map_page(self):
        client = self.client()
        page = client.sign_in("admin", "secret")
        self.assertEqual(page.status, 200)
        self.assertEqual(len(page.headers.get_all("Set-Cookie")), 1)
        cookie = page.header("Set-Cookie")
        self.assertRegex(cookie, r"^IDHTTPSESSIONID=[A-Za-z0-9]{15}; path=/$")
        self.assertTrue(signed_in_as(page, "admin"))
        self.assertEqual(page.text.count("<html"), 1)  # the page is rendered once
        self.assertEqual(client.get("/kxserver/settings").status, 200)

    def test_wrong_credentials_give_the_error_text_and_no_cookie(self):
        client = self.client()
        for login, password in [("admin", "wrong"), ("nobody", "secret"), ("ADMIN", "secret")]:
            page = client.sign_in(login, password)
            self.assertEqual(page.status, 200)
            self.assertIn(WRONG, page.text)
            self.assertIsNone(page.header("Set-Cookie"))
        # An empty attempt shows the sign-in page without the error.
        page = client.get("/kxserver/main")
        self.assertNotIn(WRONG, page.text)
        self.assertIn("Авторизация", page.text)

    def test_the_password_is_digested_as_the_browser_encoded_it(self):
        self.assertIn(WRONG, self.client().sign_in("ivan", "p@ss word").text)
        self.assertTrue(signed_in_as(self.client().sign_in("ivan", "p%40ss+word"), "ivan"))

    def test_signing_in_again_replaces_the_session(self):
        client = self.client()
        client.sign_in("admin", "secret")
        first = client.cookie
        client.sign_in("ivan", "wrong")  # a failed attempt keeps the session and its page
        self.assertEqual(client.cookie, first)
        client.sign_in("admin", "secret")
        self.assertNotEqual(client.cookie, first)
        stale = self.client()
        stale.cookie = first
        self.assertEqual(stale.get("/kxserver/settings").status, 401)

    def test_sign_out_ends_the_session(self):
        client = self.client()
        client.sign_in("admin", "secret")
        cookie = client.cookie
        page = client.get("/kxserver/unlogin")
        self.assertEqual(page.status, 200)
        self.assertIn("Авторизация", page.text)
        client.cookie = cookie
        self.assertEqual(client.get("/kxserver/settings").status, 401)

    def test_a_cookie_from_another_address_has_no_session(self):
        client = self.client()
        client.sign_in("admin", "secret")
        other = self.client(source="127.0.0.2")
        other.cookie = client.cookie
        self.assertEqual(other.get("/kxserver/settings").status, 401)
        self.assertEqual(client.get("/kxserver/settings").status, 200)

    def test_two_browsers_of_one_login_have_their_own_sessions(self):
        first, second = self.client(), self.client()
        first.sign_in("admin", "secret")
        second.sign_in("admin", "secret")
        self.assertNotEqual(first.cookie, second.cookie)
        first.get("/kxserver/unlogin")
        self.assertEqual(second.get("/kxserver/settings").status, 200)

    def test_simultaneous_sign_ins_are_all_listed(self):
        clients = [self.client() for _ in range(8)]
        pages = [None] * len(clients)

        def sign_in(i):
            pages[i] = clients[i].sign_in("admin", "secret")

        threads = [threading.Thread(target=sign_in, args=(i,)) for i in range(len(clients))]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        self.assertEqual(len({c.cookie for c in clients}), len(clients))
        for client in clients:
            self.assertEqual(client.get("/kxserver/settings").status, 200)

    def test_an_administrator_sees_every_registry_vehicle(self):
        client = self.client()
        client.sign_in("admin", "secret")
        tree = client.get("/kxserver/carlist").text
        for device in ("1001", "1002", "1003"):
            self.assertIn("CarSelect(%s)" % device, tree)
        client.sign_in("ivan", "p%40ss+word")
        tree = client.get("/kxserver/carlist").text
        self.assertIn("CarSelect(1002)", tree)
        self.assertNotIn("CarSelect(1001)", tree)


LOGO = '<img src="/kxserver/img?kx_logo.png" width="220" height="81" border="0" alt="" />'


class Logo(ServerTest):
    USERS = [ADMIN]

    def test_without_a_logo_link_the_logo_stands_alone(self):
        page = self.client().get("/kxserver/main").text
        self.assertIn(">\r\n%s</td>" % LOGO, page)
        self.assertNotIn("<a ", page)


class LinkedLogo(ServerTest):
    USERS = [ADMIN]
    SETTINGS = "LogoLink=https://kx.example/start?a=1&b=\"2\"\r\n"

    def test_the_logo_links_to_the_configured_address(self):
        for page in (self.client().get("/kxserver/main"), self.client().sign_in("admin", "x")):
            self.assertIn('<a href="https://kx.example/start?a=1&amp;b=&quot;2&quot;">%s</a>' % LOGO,
                          page.text)


class Guest(ServerTest):
    USERS = [ADMIN, GUEST]

    def test_guest_signs_in_with_any_password_but_not_with_a_capital(self):
        client = self.client()
        self.assertTrue(signed_in_as(client.sign_in("guest", "whatever"), "Просмотр"))
        self.assertIsNotNone(client.cookie)
        other = self.client()
        self.assertIn(WRONG, other.sign_in("Guest", "").text)
        self.assertIsNone(other.cookie)

    def test_a_malformed_form_signs_in_as_guest(self):
        client = self.client()
        page = client.post("/kxserver/main", "user=admin")
        self.assertIsNotNone(client.cookie)
        self.assertNotIn(WRONG, page.text)

    def test_the_main_page_keeps_a_signed_in_browser_signed_in(self):
        client = self.client()
        client.sign_in("admin", "secret")
        cookie = client.cookie
        page = client.get("/kxserver/main")  # the menu's own link to the map page
        self.assertIsNone(page.header("Set-Cookie"))
        self.assertEqual(client.cookie, cookie)
        self.assertTrue(signed_in_as(page, "admin"))
        # Still the administrator: the administration page is served.
        self.assertNotEqual(client.get("/kxserver/admin").body, b"")

    def test_a_visitor_without_session_becomes_guest_on_any_path(self):
        client = self.client()
        page = client.get("/kxserver/settings")
        self.assertIsNotNone(client.cookie)
        self.assertIn("Просмотр транспорта", page.text)

    def test_after_sign_out_the_old_cookie_falls_back_to_guest(self):
        client = self.client()
        client.sign_in("admin", "secret")
        old = client.cookie
        client.get("/kxserver/unlogin")
        client.cookie = old
        client.get("/kxserver/settings")
        self.assertNotEqual(client.cookie, old)


class Expiry(ServerTest):
    USERS = [ADMIN]
    ARGS = ["--session-timeout-ms", "1500"]

    def test_an_idle_session_ends(self):
        client = self.client()
        client.sign_in("admin", "secret")
        time.sleep(1.0)
        self.assertEqual(client.get("/kxserver/settings").status, 200)  # refreshes the session
        time.sleep(1.0)
        self.assertEqual(client.get("/kxserver/settings").status, 200)
        time.sleep(3.0)
        self.assertEqual(client.get("/kxserver/settings").status, 401)


if __name__ == "__main__":
    unittest.main()
