"""Path table matching, reply defaults, methods and request limits of the running service."""

import socket
import unittest

from kxtest import ServerTest

ADMIN = {"login": "admin", "password": "secret", "rights": 2}


class WithoutGuest(ServerTest):
    USERS = [ADMIN]

    def test_unknown_paths_get_the_sign_in_page_with_401(self):
        client = self.client()
        for target in ["/kxserver/nosuch", "/kxserver/Main", "/kxserver/main/", "/",
                       "/kxserver", "/KXSERVER/main", "/kxserver/main%2F"]:
            reply = client.get(target)
            self.assertEqual(reply.status, 401, target)
            self.assertEqual(reply.header("Cache-control"), "no-cache", target)
            self.assertIsNone(reply.header("Content-Type"), target)
            self.assertIn("Авторизация", reply.text, target)

    def test_the_query_is_not_part_of_the_path(self):
        reply = self.client().get("/kxserver/main?kx_login=admin")
        self.assertEqual(reply.status, 200)  # the sign-in path itself, no credentials
        self.assertEqual(reply.header("Cache-control"), "no-cache")

    def test_paths_that_need_a_session_answer_401_without_one(self):
        client = self.client()
        for path in ["/kxserver/unlogin", "/kxserver/admin", "/kxserver/car", "/kxserver/css",
                     "/kxserver/js", "/kxserver/carlist", "/kxserver/settings",
                     "/kxserver/NewPass", "/kxserver/favicon.ico"]:
            reply = client.get(path + "?x.css")
            self.assertEqual(reply.status, 401, path)
            self.assertIsNone(reply.header("Set-Cookie"), path)

    def test_percent_encoded_path_is_decoded_before_matching(self):
        self.assertEqual(self.client().get("/kxserver/%6Dain").status, 200)

    def test_other_methods_get_501_without_body(self):
        client = self.client()
        for method in ["PUT", "DELETE", "OPTIONS", "PATCH"]:
            reply = client.request(method, "/kxserver/main")
            self.assertEqual(reply.status, 501, method)
            self.assertEqual(reply.body, b"", method)
            self.assertEqual(reply.header("Cache-control"), "no-cache", method)

    def test_head_gets_the_head_of_the_get_reply(self):
        client = self.client()
        get = client.get("/kxserver/nosuch")
        head = client.request("HEAD", "/kxserver/nosuch")
        self.assertEqual(head.status, 401)
        self.assertEqual(head.body, b"")
        self.assertEqual(head.header("Content-Length"), str(len(get.body)))

    def test_keep_alive_serves_several_requests_on_one_connection(self):
        client = self.client()
        for _ in range(5):
            self.assertEqual(client.get("/kxserver/nosuch").status, 401)

    def raw_exchange(self, data):
        with socket.create_connection(("127.0.0.1", self.folder.port), timeout=10) as s:
            s.sendall(data)
            received = b""
            while True:
                chunk = s.recv(65536)
                if not chunk:
                    return received
                received += chunk

    def test_oversized_headers_get_431_and_the_connection_closes(self):
        request = (b"GET /kxserver/main HTTP/1.1\r\nHost: x\r\nX-Big: " + b"a" * 20000 +
                   b"\r\n\r\n")
        reply = self.raw_exchange(request)
        self.assertTrue(reply.startswith(b"HTTP/1.1 431"), reply[:40])

    def test_oversized_body_gets_413_and_the_connection_closes(self):
        body = b"kx_login=a&password=" + b"p" * (70 * 1024)
        request = (b"POST /kxserver/main HTTP/1.1\r\nHost: x\r\n"
                   b"Content-Type: application/x-www-form-urlencoded\r\n"
                   b"Content-Length: %d\r\n\r\n" % len(body)) + body
        reply = self.raw_exchange(request)
        self.assertTrue(reply.startswith(b"HTTP/1.1 413"), reply[:40])

    def test_ipv6_loopback_is_served(self):
        try:
            client = self.client("::1")
            self.assertEqual(client.get("/kxserver/nosuch").status, 401)
        except OSError as error:
            self.skipTest("no IPv6 loopback: %s" % error)


class WithGuest(ServerTest):
    USERS = [ADMIN, {"login": "guest", "password": "", "devices": [1001]}]

    def test_a_request_without_session_becomes_a_guest_sign_in(self):
        client = self.client()
        reply = client.get("/kxserver/css?style.css")
        self.assertEqual(reply.status, 200)
        self.assertIsNotNone(client.cookie)
        self.assertIn("Просмотр транспорта", reply.text)

    def test_with_a_guest_account_even_an_unknown_path_signs_the_visitor_in(self):
        client = self.client()
        self.assertEqual(client.get("/kxserver/nosuch").status, 200)
        self.assertIsNotNone(client.cookie)


if __name__ == "__main__":
    unittest.main()
