"""Requests whose write of Users.ini fails: the service answers with its error reply, Users.ini
stays byte for byte as it was, and memory (accounts, sessions, display settings) too.

The tests run as root, who ignores permission bits, so the folder is made to refuse new data in
ways that hold for root: a small tmpfs mounted on the service folder and filled up (a full disk),
or else the immutable attribute on the folder. Without either the tests are skipped."""

import errno
import os
import shutil
import subprocess
import tempfile
import unittest

from kxtest import ServerTest, password_digest

ADMIN = {"login": "admin", "password": "secret", "rights": 2}
MOD = {"login": "mod", "password": "m", "rights": 1, "devices": [12], "managed": ["ivan"]}
IVAN = {"login": "ivan", "password": "pw", "devices": [12],
        "extra": ["tablewidth=800px", "tableheight=600px", "CarsListWidth=25%", "GoogleZoom=12",
                  "GoogleType=2"]}
FILLER = "filler"


def run(*command):
    return subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode


class FullDisk:
    """A tmpfs on the folder that can be filled to the last byte."""

    def __init__(self, path):
        self.path = path
        saved = tempfile.mkdtemp(prefix="kx-e2e-saved-")
        shutil.copytree(path, saved, dirs_exist_ok=True)
        self.mounted = run("mount", "-t", "tmpfs", "-o", "size=2m", "tmpfs", path) == 0
        if self.mounted:
            shutil.copytree(saved, path, dirs_exist_ok=True)
        shutil.rmtree(saved, ignore_errors=True)

    def refuse_writes(self):
        fd = os.open(os.path.join(self.path, FILLER), os.O_WRONLY | os.O_CREAT, 0o600)
        try:
            for block in (65536, 4096, 1):
                try:
                    while True:
                        os.write(fd, b"\0" * block)
                except OSError as error:
                    if error.errno != errno.ENOSPC:
                        raise
        finally:
            os.close(fd)

    def allow_writes(self):
        os.remove(os.path.join(self.path, FILLER))

    def release(self):
        run("umount", self.path)


class ImmutableFolder:
    """The immutable attribute: nothing in the folder can be created, renamed or removed."""

    def __init__(self, path):
        self.path = path
        self.mounted = run("chattr", "+i", path) == 0 and run("chattr", "-i", path) == 0

    def refuse_writes(self):
        run("chattr", "+i", self.path)

    def allow_writes(self):
        run("chattr", "-i", self.path)

    def release(self):
        self.allow_writes()


class FailedWrites(ServerTest):
    USERS = [ADMIN, MOD, IVAN]

    def prepare_folder(self):
        self.folder.write("DeviceList.ini", b"[main]\r\ndevCount=2\r\n[dev0]\r\ndevnum=12\r\n"
                                            b"[dev1]\r\ndevnum=40\r\n")
        self.blocker = FullDisk(self.folder.path)
        if not self.blocker.mounted:
            self.blocker = ImmutableFolder(self.folder.path)
        if not self.blocker.mounted:
            self.folder.remove()
            self.skipTest("neither a tmpfs can be mounted nor the immutable attribute set here: "
                          "no way to make the folder refuse writes to root")
        # Runs after tearDown (and also when setUp fails later): the folder goes once released.
        self.addCleanup(self.release_folder)

    def release_folder(self):
        if hasattr(self, "server"):
            self.server.stop()
        self.blocker.release()
        self.folder.remove()

    def signed_in(self, user, password=None):
        client = self.client()
        client.sign_in(user["login"], user["password"] if password is None else password)
        self.assertIsNotNone(client.cookie)
        return client

    def assert_fails_without_change(self, client, method, target):
        users, listing = self.folder.read("Users.ini"), sorted(os.listdir(self.folder.path))
        reply = client.request(method, target, body="" if method == "POST" else None)
        self.assertEqual(reply.status, 500, target)
        self.assertNotEqual(reply.body, b"", target)
        self.assertEqual(self.folder.read("Users.ini"), users, target)
        self.assertEqual(sorted(os.listdir(self.folder.path)), listing, target)

    def test_every_writing_request_fails_cleanly_on_a_folder_that_refuses_writes(self):
        admin, moderator, ivan = self.signed_in(ADMIN), self.signed_in(MOD), self.signed_in(IVAN)
        self.blocker.refuse_writes()
        for client, method, target in [
                (admin, "POST", "/kxserver/AddUser?Login=petr&Pass=p&r=0&CarList=12-"),
                (moderator, "POST", "/kxserver/AddUser?Login=vera&Pass=v&r=0&CarList=12-"),
                (admin, "POST", "/kxserver/SaveUser?Login=ivan&Pass=new&r=1&CarList=40-"),
                (admin, "POST", "/kxserver/UserDel?Login=ivan"),
                (ivan, "POST", "/kxserver/NewPass?OldPass=pw&NewPass=new"),
                (ivan, "GET", "/kxserver/savesettings?tablewidth=1%&tableheight=2%&"
                              "CarsListWidth=3%&GoogleZoom=4&GoogleType=1")]:
            self.assert_fails_without_change(client, method, target)

        # Memory is as it was: no new accounts, ivan unchanged and still signed in.
        for login, answer in [("petr", ""), ("vera", ""), ("ivan", "0-12-")]:
            reply = admin.post("/kxserver/GetUserInfo?Login=" + login, "")
            self.assertEqual(reply.text, answer, login)
        self.assertEqual(moderator.post("/kxserver/GetUserInfo?Login=vera", "").text, "")
        settings = ivan.get("/kxserver/settings")
        self.assertEqual(settings.status, 200)
        self.assertIn("800px", settings.text)
        self.signed_in(IVAN, "pw")

        # Once the folder takes writes again, the same requests succeed.
        self.blocker.allow_writes()
        reply = admin.post("/kxserver/AddUser?Login=petr&Pass=p&r=0&CarList=12-", "")
        self.assertEqual((reply.status, reply.text), (200, "0"))
        self.assertIn(("pass=%s" % password_digest("petr", "p")).encode(),
                      self.folder.read("Users.ini"))


if __name__ == "__main__":
    unittest.main()
