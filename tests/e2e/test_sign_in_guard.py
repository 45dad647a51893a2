"""The brute-force guard: after MaxFailedSignIns failed sign-ins from one address within a
minute, that address's sign-ins fail without the password being checked until the block ends."""

import time
import unittest

from kxtest import ServerTest

ADMIN = {"login": "admin", "password": "secret", "rights": 2}
GUEST = {"login": "guest", "password": "", "devices": [1001]}
WRONG = "Ошибка: Неверное имя пользователя или пароль"
BLOCK_SECONDS = 2.0


def signed_in(page):
    return page.status == 200 and WRONG not in page.text and "Просмотр транспорта" in page.text


class Guard(ServerTest):
    USERS = [ADMIN, GUEST]
    SETTINGS = "MaxFailedSignIns=3\r\n"
    ARGS = ["--sign-in-block-ms", str(int(BLOCK_SECONDS * 1000))]

    def fail(self, client, times):
        for _ in range(times):
            page = client.sign_in("admin", "wrong")
            self.assertIn(WRONG, page.text)

    def test_the_limit_blocks_the_address_until_the_block_ends(self):
        client = self.client()
        self.fail(client, 2)
        self.assertTrue(signed_in(self.client().sign_in("admin", "secret")))  # below the limit
        self.fail(client, 1)
        blocked = client.sign_in("admin", "secret")
        self.assertEqual(blocked.status, 200)
        self.assertIn(WRONG, blocked.text)
        self.assertIn("Авторизация", blocked.text)
        self.assertIsNone(blocked.header("Set-Cookie"))
        # Neither unknown logins nor the wrong passwords sent while blocked extend the block.
        self.fail(client, 5)
        time.sleep(BLOCK_SECONDS + 0.5)
        self.assertTrue(signed_in(client.sign_in("admin", "secret")))

    def test_guest_sign_ins_other_requests_and_other_addresses_go_on(self):
        self.fail(self.client(), 3)
        self.assertIn(WRONG, self.client().sign_in("admin", "secret").text)
        visitor = self.client()
        self.assertTrue(signed_in(visitor.get("/kxserver/main")))  # the automatic guest
        self.assertTrue(signed_in(self.client().sign_in("guest", "")))
        self.assertEqual(visitor.get("/kxserver/settings").status, 200)
        self.assertTrue(signed_in(self.client(source="127.0.0.2").sign_in("admin", "secret")))


class DefaultLimit(ServerTest):
    USERS = [ADMIN]
    ARGS = ["--sign-in-block-ms", "60000"]

    def test_ten_failures_block(self):
        client = self.client()
        for attempt in range(10):
            self.assertIn(WRONG, client.sign_in("nobody", "x").text, attempt)
        self.assertIn(WRONG, client.sign_in("admin", "secret").text)


class GuardOff(ServerTest):
    USERS = [ADMIN]
    SETTINGS = "MaxFailedSignIns=0\r\n"

    def test_zero_turns_the_guard_off(self):
        client = self.client()
        for _ in range(30):
            client.sign_in("admin", "wrong")
        self.assertTrue(signed_in(client.sign_in("admin", "secret")))


if __name__ == "__main__":
    unittest.main()
