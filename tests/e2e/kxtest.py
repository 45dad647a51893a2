"""Starts the real KXWebServer in a temporary service folder and talks HTTP to it."""

import hashlib
import http.client
import os
import shutil
import signal
import socket
import subprocess
import tempfile
import time
import unittest

SERVER = os.environ.get("KX_WEB_SERVER", "")
START_TIMEOUT = 15.0
# What AddressSanitizer, UndefinedBehaviorSanitizer, LeakSanitizer and ThreadSanitizer print.
SANITIZER_REPORTS = ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:",
                     "WARNING: ThreadSanitizer")


def password_digest(login, password):
    """The stored form of a password, computed independently of the server's code."""
    inner = hashlib.md5(password.encode("cp1251")).digest()
    zero = inner.find(b"\0")
    if zero >= 0:
        inner = inner[:zero]
    name = login.encode("cp1251")
    return hashlib.md5(name + inner + name).hexdigest().upper()


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def users_ini(users):
    """users: list of dicts with login, password, rights, devices and optional managed/extra."""
    lines = ["[main]", "UsersCount=%d" % len(users)]
    lines += ["User%d=%s" % (i, u["login"]) for i, u in enumerate(users)]
    for u in users:
        lines += ["[%s]" % u["login"], "login=%s" % u["login"],
                  "pass=%s" % password_digest(u["login"], u.get("password", "")),
                  "r=%d" % u.get("rights", 0)]
        devices = u.get("devices", [])
        lines.append("devcount=%d" % len(devices))
        lines += ["dev%d=%s" % (j, d) for j, d in enumerate(devices)]
        managed = u.get("managed", [])
        if managed:
            lines.append("UsersCount=%d" % len(managed))
            lines += ["User%d=%s" % (k, m) for k, m in enumerate(managed)]
        lines += u.get("extra", [])
    return ("\r\n".join(lines) + "\r\n").encode("cp1251")


class ServiceFolder:
    """A temporary service folder with Settings.ini, Users.ini and the kml folder."""

    def __init__(self, users=(), settings=None, port=None, prefix="kx-e2e-"):
        self.path = tempfile.mkdtemp(prefix=prefix)
        self.port = port or free_port()
        os.mkdir(os.path.join(self.path, "kml"))
        for folder in ("js", "css", "img"):
            os.mkdir(os.path.join(self.path, folder))
        text = settings if settings is not None else "[main]\r\nport=%d\r\n" % self.port
        self.write("Settings.ini", text.encode("cp1251"))
        self.write("Users.ini", users_ini(list(users)))

    def file(self, name):
        return os.path.join(self.path, name)

    def write(self, name, data):
        with open(self.file(name), "wb") as f:
            f.write(data)

    def read(self, name):
        with open(self.file(name), "rb") as f:
            return f.read()

    def remove(self):
        shutil.rmtree(self.path, ignore_errors=True)


class Server:
    """The KXWebServer process on a service folder."""

    def __init__(self, folder, extra_args=(), env=None, folder_arg=None, cwd=None):
        """folder_arg: the --folder text as given (default: the folder's absolute path), read
        relative to cwd."""
        self.folder = folder
        self.errors = tempfile.TemporaryFile()
        self.process = subprocess.Popen(
            [SERVER, "--folder", folder_arg or folder.path] + list(extra_args),
            stdout=subprocess.DEVNULL, stderr=self.errors, cwd=cwd,
            env=dict(os.environ, **(env or {})))

    def wait_listening(self):
        deadline = time.monotonic() + START_TIMEOUT
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise AssertionError("server exited with %d" % self.process.returncode)
            try:
                socket.create_connection(("127.0.0.1", self.folder.port), timeout=0.2).close()
                return self
            except OSError:
                time.sleep(0.05)
        raise AssertionError("server did not listen on port %d" % self.folder.port)

    def stop(self):
        """SIGTERM; returns (exit status, seconds taken). Fails when a sanitizer build of the
        server reported an error while it ran."""
        started = time.monotonic()
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.check_sanitizer_reports()
        return self.process.returncode, time.monotonic() - started

    def check_sanitizer_reports(self):
        self.errors.seek(0)
        errors = self.errors.read().decode("utf-8", "replace")
        if any(report in errors for report in SANITIZER_REPORTS):
            raise AssertionError("the server's sanitizer reported:\n" + errors[-20000:])

    def connect(self, host="127.0.0.1", source=None):
        return Client(host, self.folder.port, source)


class Response:
    def __init__(self, raw, body):
        self.status = raw.status
        self.headers = raw.headers
        self.body = body

    def header(self, name):
        return self.headers.get(name)

    @property
    def text(self):
        return self.body.decode("cp1251")


class Client:
    """One keep-alive connection that remembers the session cookie like a browser."""

    def __init__(self, host, port, source=None):
        self.connection = http.client.HTTPConnection(
            host, port, timeout=30, source_address=(source, 0) if source else None)
        self.cookie = None

    def request(self, method, target, body=None, headers=None, form=True):
        sent = dict(headers or {})
        if self.cookie:
            sent.setdefault("Cookie", "IDHTTPSESSIONID=" + self.cookie)
        if body is not None and form:
            sent.setdefault("Content-Type", "application/x-www-form-urlencoded")
        self.connection.request(method, target, body=body, headers=sent)
        raw = self.connection.getresponse()
        response = Response(raw, raw.read())
        cookie = raw.headers.get("Set-Cookie")
        if cookie and cookie.startswith("IDHTTPSESSIONID="):
            self.cookie = cookie.split(";")[0].split("=", 1)[1]
        return response

    def get(self, target, **kwargs):
        return self.request("GET", target, **kwargs)

    def post(self, target, body, **kwargs):
        return self.request("POST", target, body=body, **kwargs)

    def sign_in(self, login, password):
        return self.post("/kxserver/main", "kx_login=%s&password=%s&Submit=OK" % (login, password))

    def close(self):
        self.connection.close()


class ServerTest(unittest.TestCase):
    """A test case with a running server; subclasses set USERS and SETTINGS."""

    USERS = ()
    SETTINGS = None
    ARGS = ()

    def setUp(self):
        self.folder = ServiceFolder(self.USERS)
        if self.SETTINGS is not None:
            self.folder.write("Settings.ini",
                              ("[main]\r\nport=%d\r\n%s" % (self.folder.port, self.SETTINGS))
                              .encode("cp1251"))
        self.prepare_folder()
        self.server = Server(self.folder, self.ARGS).wait_listening()
        self.clients = []

    def prepare_folder(self):
        """Hook for subclasses to add files before the server starts."""

    def tearDown(self):
        for client in self.clients:
            client.close()
        self.server.stop()
        self.folder.remove()

    def client(self, host="127.0.0.1", source=None):
        client = self.server.connect(host, source)
        self.clients.append(client)
        return client
