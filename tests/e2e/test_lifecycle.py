"""Start, failed start, stop and registration of the service process."""

import os
import shutil
import socket
import subprocess
import time
import unittest

from kxtest import SERVER, Server, ServiceFolder, free_port

ADMIN = {"login": "admin", "password": "a", "rights": 2}
DEVICE_LIST = ("[main]\r\ndevCount=1\r\n[dev0]\r\ndevnum=4321\r\ncarmodel=УАЗ\r\n"
               "groupname=Север\r\ngroupfile=north.grp\r\n").encode("cp1251")


class Lifecycle(unittest.TestCase):
    def setUp(self):
        self.folder = ServiceFolder()

    def tearDown(self):
        self.folder.remove()

    def log_text(self):
        return self.folder.read("1.log").decode("cp1251")

    def test_clean_start_writes_no_log_and_keeps_an_old_one(self):
        self.folder.write("1.log", b"old failure")
        server = Server(self.folder).wait_listening()
        status, seconds = server.stop()
        self.assertEqual(status, 0)
        self.assertLess(seconds, 1.0)
        self.assertEqual(self.folder.read("1.log"), b"old failure")

    def test_sigterm_stops_promptly_with_idle_keep_alive_connections_open(self):
        server = Server(self.folder).wait_listening()
        sockets = [socket.create_connection(("127.0.0.1", self.folder.port)) for _ in range(5)]
        sockets[0].sendall(b"GET /kxserver/x HTTP/1.1\r\nHost: a\r\n\r\n")
        sockets[0].recv(100)
        status, seconds = server.stop()
        for s in sockets:
            s.close()
        self.assertEqual(status, 0)
        self.assertLess(seconds, 1.0)

    def test_a_busy_port_fails_the_start_with_its_trace(self):
        first = Server(self.folder).wait_listening()
        try:
            second = subprocess.run([SERVER, "--folder", self.folder.path],
                                    capture_output=True, timeout=20)
            self.assertNotEqual(second.returncode, 0)
            self.assertTrue(self.log_text().startswith("12" + self.folder.path + "234"),
                            self.log_text())
            self.assertIn("-----", self.log_text())
        finally:
            first.stop()

    def test_unreadable_settings_fail_the_start_after_the_folder_marker(self):
        os.remove(self.folder.file("Settings.ini"))
        os.mkdir(self.folder.file("Settings.ini"))  # a folder cannot be read as a file
        result = subprocess.run([SERVER, "--folder", self.folder.path], capture_output=True,
                                timeout=20)
        self.assertNotEqual(result.returncode, 0)
        log = self.log_text()
        self.assertTrue(log.startswith("12" + self.folder.path + "2"), log)
        self.assertFalse(log.startswith("12" + self.folder.path + "23"), log)

    def test_a_relative_folder_shows_in_the_trace_as_its_full_path(self):
        os.remove(self.folder.file("Settings.ini"))
        os.mkdir(self.folder.file("Settings.ini"))
        parent, name = os.path.split(self.folder.path)
        result = subprocess.run([SERVER, "--folder", "./" + name + "/"], cwd=parent,
                                capture_output=True, timeout=20)
        self.assertNotEqual(result.returncode, 0)
        log = self.log_text()
        self.assertTrue(log.startswith("12" + self.folder.path + "2"), log)

    def test_port_keys_in_any_letter_case_and_hexadecimal(self):
        self.folder.write("Settings.ini", b"[MAIN]\r\nPORT=0x%X\r\n" % self.folder.port)
        Server(self.folder).wait_listening().stop()

    def test_start_up_sweep_removes_old_map_files(self):
        old = self.folder.file("kml/old.kmz")
        young = self.folder.file("kml/young.kml")
        other = self.folder.file("kml/notes.txt")
        for path in (old, young, other):
            with open(path, "wb") as f:
                f.write(b"x")
        two_hours_ago = time.time() - 7200
        os.utime(old, (two_hours_ago, two_hours_ago))
        os.utime(other, (two_hours_ago, two_hours_ago))
        Server(self.folder).wait_listening().stop()
        self.assertFalse(os.path.exists(old))
        self.assertTrue(os.path.exists(young))
        self.assertTrue(os.path.exists(other))

    def test_timer_sweeps_files_older_than_their_time_to_live(self):
        # An "hour" of 300 ms: every 0.6 s the timer deletes map files older than 0.3 s.
        self.folder.write("Settings.ini", b"[main]\r\nport=%d\r\nDelInterval=2\r\n"
                                          b"FileTimeToLive=1\r\n" % self.folder.port)
        server = Server(self.folder, ["--cleanup-hour-ms", "300"]).wait_listening()
        try:
            made = self.folder.file("kml/made.kmz")
            with open(made, "wb") as f:
                f.write(b"x")
            deadline = time.monotonic() + 5
            while os.path.exists(made) and time.monotonic() < deadline:
                time.sleep(0.05)
            self.assertFalse(os.path.exists(made))
        finally:
            server.stop()


class UnreadableAccountsOrVehicles(unittest.TestCase):
    """A Users.ini or DeviceList.ini that exists but cannot be read (here a folder stands in its
    place; the tests run as root, whom file permissions do not stop) fails the start, as an
    unreadable Settings.ini does, and fails a reload, which then keeps what was loaded."""

    def setUp(self):
        self.folder = ServiceFolder([ADMIN])
        self.folder.write("DeviceList.ini", DEVICE_LIST)

    def tearDown(self):
        self.folder.remove()

    def make_unreadable(self, name):
        os.remove(self.folder.file(name))
        os.mkdir(self.folder.file(name))

    def failed_start_trace(self):
        result = subprocess.run([SERVER, "--folder", self.folder.path], capture_output=True,
                                timeout=20)
        self.assertEqual(result.returncode, 1)
        return self.folder.read("1.log").decode("cp1251")

    def test_the_start_fails(self):
        self.make_unreadable("DeviceList.ini")
        self.assertTrue(self.failed_start_trace().startswith("12" + self.folder.path + "23"))
        os.rmdir(self.folder.file("DeviceList.ini"))
        self.make_unreadable("Users.ini")
        log = self.failed_start_trace()
        self.assertTrue(log.startswith("12" + self.folder.path + "2"), log)
        self.assertFalse(log.startswith("12" + self.folder.path + "23"), log)

    def test_a_reload_fails_and_keeps_what_was_loaded(self):
        server = Server(self.folder).wait_listening()
        try:
            client = server.connect()
            client.sign_in("admin", "a")
            self.make_unreadable("Users.ini")
            self.make_unreadable("DeviceList.ini")
            self.assertEqual(client.get("/kxserver/RefreshUsers").status, 500)
            self.assertEqual(client.get("/kxserver/RefreshDevices").status, 500)
            self.assertIn("УАЗ (4321)", client.get("/kxserver/carlist").text)
            other = server.connect()
            other.sign_in("admin", "a")
            self.assertIsNotNone(other.cookie)
            client.close()
            other.close()
        finally:
            server.stop()


class Registration(unittest.TestCase):
    def run_switch(self, *switches, unit_dir, program=SERVER):
        env = dict(os.environ, KX_SYSTEMD_UNIT_DIR=unit_dir)
        return subprocess.run([program] + list(switches), capture_output=True, text=True,
                              env=env, timeout=20)

    def test_install_registers_the_running_program_under_its_own_name(self):
        folder = ServiceFolder()
        try:
            program = os.path.join(folder.path, "web front копия")
            shutil.copy(SERVER, program)
            result = self.run_switch("/INSTALL", unit_dir=folder.path, program=program)
            self.assertEqual(result.returncode, 0, result.stderr)
            with open(os.path.join(folder.path, "KXWEBService.service"), encoding="utf-8") as f:
                self.assertIn("ExecStart=\"%s\"\n" % os.path.realpath(program), f.read())
        finally:
            folder.remove()

    def test_install_and_uninstall_write_and_remove_the_unit(self):
        folder = ServiceFolder()
        try:
            unit = os.path.join(folder.path, "KXWEBService.service")
            result = self.run_switch("/INSTALL", unit_dir=folder.path)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertIn("installed", result.stdout)
            with open(unit, encoding="utf-8") as f:
                text = f.read()
            self.assertIn("Description=WEB-сервер Velorin", text)
            self.assertIn("After=network-online.target", text)
            self.assertIn("ExecStart=\"%s\"" % os.path.realpath(SERVER), text)
            result = self.run_switch("-uninstall", "/Silent", unit_dir=folder.path)
            self.assertEqual(result.returncode, 0)
            self.assertEqual(result.stdout, "")
            self.assertFalse(os.path.exists(unit))
            result = self.run_switch("/UNINSTALL", unit_dir=folder.path)
            self.assertNotEqual(result.returncode, 0)
        finally:
            folder.remove()

    def test_unknown_switch_is_a_usage_error(self):
        result = self.run_switch("/frobnicate", unit_dir="/nonexistent")
        self.assertEqual(result.returncode, 2)
        self.assertIn("usage", result.stderr)


if __name__ == "__main__":
    unittest.main()
