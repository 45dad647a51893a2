"""KXWebServer.exe as a Windows service under wine: installed with /INSTALL /SILENT, started by
the service manager, checked over HTTP from Linux (sign-in, map data in file mode and through
the COM test server, archives opened with zipfile), paused and continued while it keeps serving,
stopped and removed; and a start that fails because its port is taken.

Environment: KX_WINDOWS_BUILD, the Windows build folder (required); KX_WINE_TEMPLATE, a prepared
wine prefix that each test copies (made here once when absent)."""

import io
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))

import kxtest  # noqa: E402
import test_kml as kml  # noqa: E402
import test_vehicle_data as vehicle_data  # noqa: E402

BUILD = os.environ.get("KX_WINDOWS_BUILD", "")
SERVICE = "KXWEBService"
# A space in the folder name checks that the registered path is quoted and unquoted again.
FOLDER = r"C:\KX Web"
WAIT_SECONDS = 30.0


def build_file(*parts):
    path = os.path.join(BUILD, *parts)
    if not os.path.exists(path):
        raise unittest.SkipTest("%s was not built" % path)
    return path


class WinePrefix:
    """A copy of the prepared prefix with a persistent wineserver: without one, wine ends a
    service about two seconds after "net start" returns."""

    _made_template = None

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="kx-wine-")
        self.path = os.path.join(self.root, "prefix")
        subprocess.run(["cp", "-a", self.template(), self.path], check=True)
        self.env = dict(os.environ, WINEPREFIX=self.path, WINEDEBUG="-all")
        subprocess.run(["wineserver", "-p"], env=self.env, check=True)
        # The first wine command starts wine's system processes, which inherit its standard
        # streams: a pipe given to it would never close.
        subprocess.run(["wine", "cmd", "/c", "exit"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    @classmethod
    def template(cls):
        given = os.environ.get("KX_WINE_TEMPLATE")
        if given:
            return given
        if cls._made_template is None:
            cls._made_template = tempfile.mkdtemp(prefix="kx-wine-template-")
            env = dict(os.environ, WINEPREFIX=cls._made_template, WINEDEBUG="-all")
            subprocess.run(["wineboot", "-i"], env=env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
            subprocess.run(["wineserver", "-w"], env=env, check=True)
        return cls._made_template

    def unix_path(self, windows_path):
        drive, rest = windows_path.split(":", 1)
        assert drive.upper() == "C", windows_path
        return os.path.join(self.path, "drive_c", *[p for p in rest.split("\\") if p])

    def run(self, *command, check=True):
        result = subprocess.run(["wine"] + list(command), env=self.env, capture_output=True,
                                stdin=subprocess.DEVNULL, timeout=120)
        if check and result.returncode != 0:
            raise AssertionError("%s: status %d\n%s%s" % (
                command, result.returncode, result.stdout.decode(errors="replace"),
                result.stderr.decode(errors="replace")))
        return result

    def close(self):
        # A kill: no stop control reaches a service once the server goes.
        subprocess.run(["wineserver", "-k"], env=self.env)
        subprocess.run(["wineserver", "-w"], env=self.env)
        shutil.rmtree(self.root, ignore_errors=True)


class InstalledService:
    """The service folder in the prefix, the executable registered from it, and the test
    control program that talks to the service manager."""

    def __init__(self, wine, settings, folder=FOLDER, install=True, dispatcher=True):
        self.wine = wine
        self.port = kxtest.free_port()
        self.windows_folder = folder
        self.folder = wine.unix_path(folder)
        # Settings.ini is windows-1251: a folder it cannot name is not given as KXServerPath.
        self.dispatcher = dispatcher
        for sub in ("kml", "js", "css", "img", r"dispatcher\LastPosition", r"automation\tracks"):
            os.makedirs(os.path.join(self.folder, *sub.split("\\")))
        shutil.copy(build_file("service", "KXWebServer.exe"), self.folder)
        self.control_program = wine.unix_path(r"C:\kx_service_control.exe")
        shutil.copy(build_file("tests", "windows", "kx_service_control.exe"),
                    self.control_program)
        self.write_settings(settings)
        self.write("Users.ini", kxtest.users_ini(kml.USERS))
        self.write("DeviceList.ini", kml.DEVICE_LIST.encode("cp1251"))
        self.executable = folder + r"\KXWebServer.exe"
        if install:
            self.wine.run(self.executable, "/INSTALL", "/SILENT")

    def write_settings(self, settings):
        text = "[main]\r\nport=%d\r\n" % self.port
        if self.dispatcher:
            text += "KXServerPath=%s\\dispatcher\\\r\n" % self.windows_folder
        self.write("Settings.ini", (text + settings).encode("cp1251"))

    def file(self, name):
        return os.path.join(self.folder, *name.split("\\"))

    def write(self, name, data):
        with open(self.file(name), "wb") as f:
            f.write(data)

    def read(self, name):
        with open(self.file(name), "rb") as f:
            return f.read()

    def control(self, command):
        """The manager's answer as a dict (state, exit_code, service_exit_code, ...)."""
        result = self.wine.run(r"C:\kx_service_control.exe", SERVICE, command)
        lines = result.stdout.decode("utf-8").splitlines()
        return dict(line.strip().split("=", 1) for line in lines if "=" in line)

    def wait_state(self, state):
        deadline = time.monotonic() + WAIT_SECONDS
        while time.monotonic() < deadline:
            status = self.control("query")
            if status["state"] == state:
                return status
            time.sleep(0.2)
        raise AssertionError("%s did not reach %s: %s" % (SERVICE, state, status))

    def start(self):
        self.wine.run("net", "start", SERVICE)

    def wait_listening(self):
        # The service reports running before it listens.
        deadline = time.monotonic() + WAIT_SECONDS
        while time.monotonic() < deadline:
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=0.5).close()
                return
            except OSError:
                time.sleep(0.2)
        raise AssertionError("the service did not listen on port %d" % self.port)

    def stop(self):
        self.wine.run("net", "stop", SERVICE)
        return self.wait_state("STOPPED")


class MapClient:
    """HTTP checks of the running service, in the manner of the Linux map-data tests."""

    def __init__(self, test, service):
        self.test = test
        self.service = service
        self.clients = []

    def signed_in(self, login, password):
        client = kxtest.Client("127.0.0.1", self.service.port)
        self.clients.append(client)
        reply = client.sign_in(login, password)
        self.test.assertEqual(reply.status, 200)
        self.test.assertIsNotNone(client.cookie)
        return client

    def answer_kml(self, client, query):
        """The KML behind a map-data answer, checked against the archive fetched without a
        session and opened with zipfile."""
        reply = client.get("/kxserver/car?" + query)
        self.test.assertEqual(reply.status, 200)
        match = kml.SUCCESS.match(reply.text)
        self.test.assertIsNotNone(match, reply.text)
        archive_name = match.group(4)
        fetched = kxtest.Client("127.0.0.1", self.service.port)
        self.clients.append(fetched)
        archive = fetched.get("/kxserver/kml?" + archive_name)
        self.test.assertEqual(archive.status, 200)
        written = self.service.read("kml\\" + archive_name[:-4] + ".kml")
        with zipfile.ZipFile(io.BytesIO(archive.body)) as opened:
            self.test.assertIsNone(opened.testzip())
            entries = opened.infolist()
            self.test.assertEqual(len(entries), 1)
            self.test.assertEqual(entries[0].compress_type, zipfile.ZIP_DEFLATED)
            self.test.assertEqual(opened.read(entries[0]), written)
        return written

    def close(self):
        for client in self.clients:
            client.close()


class ServiceLifecycle(unittest.TestCase):
    """One installation taken through its life; the steps run in the order of their names."""

    @classmethod
    def setUpClass(cls):
        cls.wine = WinePrefix()
        try:
            cls.service = InstalledService(cls.wine, "UseKX=0\r\n")
            cls.service.write(r"dispatcher\LastPosition\0001234.kml", kml.last_position_kml(
                "a", "2010-03-05 23:30:00", "37.61,55.75,0"))
            cls.service.write(r"dispatcher\LastPosition\000077.kml", kml.last_position_kml(
                "b", "2010-03-05 21:00:00", "30.3,59.9,0"))
        except BaseException:
            cls.wine.close()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.wine.close()

    def setUp(self):
        self.map = MapClient(self, self.service)

    def tearDown(self):
        self.map.close()

    def test_1_registration_has_the_service_identity(self):
        config = self.service.control("config")
        self.assertEqual(config["path"], '"%s\\KXWebServer.exe"' % FOLDER)
        self.assertEqual(config["display_name"], "WEB-сервер Velorin")
        self.assertEqual(config["description"],
                         "Обеспечивает получение данных системы «Velorin» через WEB-интерфейс")
        self.assertEqual(config["type"], "16")  # own process, not interactive
        self.assertEqual(config["start"], "2")  # automatic
        self.assertEqual(config["error_control"], "1")  # normal
        # wine's configuration query leaves the dependencies out; its registry keeps them.
        key = r"HKLM\System\CurrentControlSet\Services\%s" % SERVICE
        dependency = self.wine.run("reg", "query", key, "/v", "DependOnService").stdout
        self.assertIn(b"Netman", dependency)
        self.assertEqual(self.service.control("query")["state"], "STOPPED")

    def test_2_started_by_the_manager_it_serves_from_its_folder(self):
        self.service.start()
        status = self.service.wait_state("RUNNING")
        self.assertEqual(int(status["accepted"]), 3)  # stop, pause and continue
        self.service.wait_listening()
        self.assertFalse(os.path.exists(self.service.file("1.log")))

        user = self.map.signed_in("user", "u")
        self.assertIn("kxserver", user.get("/kxserver/main").text)
        positions = kml.placemarks(self.map.answer_kml(user, "DevNum=1234&type=0&GMT=3"))
        self.assertEqual(positions[0][0], kml.NAME_1234)
        group = kml.placemarks(self.map.answer_kml(user, "GroupFileName=0&GMT=0"))
        self.assertEqual([p[0] for p in group], [kml.NAME_1234, kml.NAME_77])

    def test_3_paused_it_keeps_serving_and_continues(self):
        self.service.control("pause")
        status = self.service.wait_state("PAUSED")
        self.assertEqual(int(status["accepted"]), 3)
        user = self.map.signed_in("user", "u")
        self.map.answer_kml(user, "DevNum=77&type=0&GMT=3")
        self.service.control("continue")
        self.service.wait_state("RUNNING")
        self.map.answer_kml(user, "DevNum=1234&type=0&GMT=3")

    def test_4_through_the_automation_server(self):
        self.service.stop()
        fleet = vehicle_data.FLEET % {"compute_ms": 0}
        self.service.write(r"automation\fleet.ini", fleet.replace("\n", "\r\n").encode("cp1251"))
        self.service.write(r"automation\tracks\1234.csv",
                           ("\n".join(vehicle_data.TRACK_2010) + "\n").encode())
        shutil.copy(build_file("tests", "windows", "VelorinTestServer.exe"),
                    self.wine.unix_path(r"C:\VelorinTestServer.exe"))
        self.wine.run(r"C:\VelorinTestServer.exe", "/RegServer", "--data=%s\\automation" % FOLDER)
        self.service.write_settings("UseKX=1\r\n")
        self.service.start()
        self.service.wait_listening()

        user = self.map.signed_in("user", "u")
        positions = kml.placemarks(self.map.answer_kml(user, "DevNum=1234&type=0&GMT=3"))
        self.assertEqual(positions[0][2], "37.610000,55.750000,0")
        track = self.map.answer_kml(
            user, "DevNum=1234&type=1&BeginDate=05.03.2010_9:00&EndDate=06.03.2010_9:00"
                  "&GMT=3&Icons=16")
        self.assertIn(b"LineString", track)
        self.assertIn(b"55.710000", track)

    def test_5_stopped_it_closes_its_port_and_is_removed(self):
        status = self.service.stop()
        self.assertEqual(status["exit_code"], "0")
        with self.assertRaises(OSError):
            socket.create_connection(("127.0.0.1", self.service.port), timeout=1).close()
        self.wine.run(FOLDER + r"\KXWebServer.exe", "-uninstall", "-silent")
        gone = self.wine.run(r"C:\kx_service_control.exe", SERVICE, "query", check=False)
        self.assertNotEqual(gone.returncode, 0)
        # Removing what is not there fails, silently.
        again = self.wine.run(FOLDER + r"\KXWebServer.exe", "/UNINSTALL", "/SILENT", check=False)
        self.assertEqual(again.returncode, 1)


class FailedStart(unittest.TestCase):
    def test_a_taken_port_writes_the_log_and_stops_the_service_with_its_code(self):
        wine = WinePrefix()
        try:
            service = InstalledService(wine, "UseKX=0\r\n")
            with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as taken:
                taken.bind(("0.0.0.0", service.port))
                taken.listen()
                service.start()
                status = service.wait_state("STOPPED")
            self.assertEqual(status["exit_code"], "1066")  # a service-specific error
            self.assertEqual(status["service_exit_code"], "1")
            log = service.read("1.log").decode("cp1251")
            self.assertTrue(log.startswith("12%s234" % FOLDER), log)
            self.assertIn("-----", log)
        finally:
            wine.close()


class ConsoleRun(unittest.TestCase):
    def test_without_the_manager_it_serves_in_the_foreground_from_its_folder_argument(self):
        wine = WinePrefix()
        server = None
        try:
            # Ω has no form in the ANSI code pages: only the UTF-16 command line carries it.
            service = InstalledService(wine, "UseKX=0\r\n", r"C:\Веб Ω", install=False,
                                       dispatcher=False)
            server = subprocess.Popen(
                ["wine", service.executable, "--folder", service.windows_folder], env=wine.env,
                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            service.wait_listening()
            self.assertIsNone(server.poll())
            client = kxtest.Client("127.0.0.1", service.port)
            client.sign_in("user", "u")
            self.assertIsNotNone(client.cookie)
            client.close()
            self.assertFalse(os.path.exists(service.file("1.log")))
        finally:
            wine.close()  # ends the server too
            if server:
                server.wait(timeout=30)


if __name__ == "__main__":
    unittest.main()
