"""KXReports.exe under wine: the window as Win32 reports it (WindowProbe.exe asks the system),
one export through the test automation server, the start error box when no server is registered,
and the headless export. Screenshots of the window and of the box are kept in the build folder.

Runs inside scripts/test-windows.sh, which prepares WINEPREFIX, keeps a wineserver running and
sets DISPLAY to an X server (Xvfb) for the whole run."""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

# The Linux tool's test holds the INI reader and the wait loop both tests use.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "reports"))
import kxreports_test as reports  # noqa: E402

ARGS = None
CAPTION = "Выгрузка списка транспорта"
BOX_CAPTION = "Ошибка"
PROG_ID = "KX.ReportsTestServer"
TIMEOUT = 30  # seconds for a window, a box or a file to appear

# Window styles (winuser.h).
WS_CAPTION = 0x00C00000
WS_SYSMENU = 0x00080000
WS_THICKFRAME = 0x00040000
WS_MINIMIZEBOX = 0x00020000
WS_MAXIMIZEBOX = 0x00010000
WS_TABSTOP = 0x00010000
WS_EX_TOOLWINDOW = 0x00000080
WS_EX_APPWINDOW = 0x00040000

# Two groups, three vehicles, one of them without a model.
FLEET = """[main]
GroupsNum=2
[group1]
GroupName=Доставка
GroupFileName=доставка.grp
CarsNum=2
[group1.car1]
CarDevice=1001
CarModel=ГАЗель
CarNumber=А123ВС77
[group1.car2]
CarDevice=7
CarModel=
CarNumber=Б7
[group2]
GroupName=Спецтехника
GroupFileName=special.grp
CarsNum=1
[group2.car1]
CarDevice=12345678
CarModel=КамАЗ
CarNumber=
"""


def wine(*args, check=True, timeout=60):
    """Runs a program under wine to its end. Its output goes through files, not pipes: a COM
    server that the program starts inherits its streams and would hold a pipe open."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        status = subprocess.run(["wine", *args], stdin=subprocess.DEVNULL, stdout=out,
                                stderr=err, timeout=timeout).returncode
        out.seek(0)
        err.seek(0)
        result = subprocess.CompletedProcess(args, status, out.read(), err.read())
    if check and result.returncode != 0:
        raise AssertionError("wine %s: status %d %s" % (args, result.returncode, result.stderr))
    return result


def probe(caption):
    """The probe's report of a visible top-level window: top-level keys, and the children as a
    list of dicts; None while there is no such window."""
    result = wine(ARGS.probe, "show", caption, check=False)
    if result.returncode != 0:
        return None
    window, children = {}, []
    for line in result.stdout.decode("utf-8").splitlines():
        key, _, value = line.partition("=")
        if key.startswith("child."):
            if key == "child.class":
                children.append({})
            children[-1][key[len("child."):]] = value
        else:
            window[key] = value
    window["children"] = children
    return window


def screenshot(name):
    subprocess.run(["import", "-window", "root", os.path.join(ARGS.screenshots, name)],
                   check=True, timeout=30)


class KXReports(unittest.TestCase):
    """The tool in a folder of its own (it writes DeviceList.ini and reads KXReports.ini next to
    its executable) and the test server's data folder."""

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="kxreports-win-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.app = os.path.join(self.dir, "app")
        self.data = os.path.join(self.dir, "data")
        os.makedirs(self.app)
        os.makedirs(self.data)
        with open(os.path.join(self.data, "fleet.ini"), "w", encoding="cp1251") as f:
            f.write(FLEET)
        with open(os.path.join(self.app, "KXReports.ini"), "w", encoding="cp1251") as f:
            f.write("[main]\nAutomationProgID=%s\n" % PROG_ID)
        self.tool = os.path.join(self.app, "KXReports.exe")
        shutil.copy(ARGS.kxreports, self.tool)
        self.device_list = os.path.join(self.app, "DeviceList.ini")
        self.addCleanup(wine, ARGS.server, "/UnregServer", check=False)

    def register_server(self):
        wine(ARGS.server, "/RegServer", "--data=" + self.data, "--progid=" + PROG_ID)

    def open_window(self):
        tool = subprocess.Popen(["wine", self.tool], stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(self.close_window, tool)
        return reports.wait_for(lambda: probe(CAPTION), "the window", TIMEOUT)

    def close_window(self, tool):
        wine(ARGS.probe, "close", CAPTION, check=False)
        try:
            self.assertEqual(tool.wait(timeout=TIMEOUT), 0)
        finally:
            if tool.poll() is None:
                tool.kill()

    def test_window_as_the_system_sees_it(self):
        window = self.open_window()
        screenshot("kxreports-window.png")
        self.assertEqual(window["caption"], CAPTION)
        self.assertEqual(window["class"], "TMainForm")
        style, exstyle = int(window["style"], 16), int(window["exstyle"], 16)
        self.assertEqual(style & WS_CAPTION, WS_CAPTION)
        self.assertTrue(style & WS_SYSMENU, "close button")
        for flag in (WS_THICKFRAME, WS_MINIMIZEBOX, WS_MAXIMIZEBOX):
            self.assertFalse(style & flag, hex(flag))
        self.assertEqual(exstyle & (WS_EX_TOOLWINDOW | WS_EX_APPWINDOW),
                         WS_EX_TOOLWINDOW | WS_EX_APPWINDOW)
        self.assertTrue(window["window"].startswith("0,0,"), window["window"])
        self.assertEqual(window["client"], "0,0,283x57")
        self.assertEqual(window["client_pixel"], window["button_face"])
        self.assertEqual(len(window["children"]), 1)
        button = window["children"][0]
        self.assertEqual(button["class"], "Button")
        self.assertEqual(button["text"], "Выгрузить")
        self.assertEqual(button["rect"], "89,16,96x25")
        self.assertTrue(int(button["style"], 16) & WS_TABSTOP)
        self.assertEqual(button["first_tab_stop"], "1")

    def test_export_through_the_automation_server(self):
        self.register_server()
        self.open_window()
        wine(ARGS.probe, "click", CAPTION)
        ini = reports.wait_for(lambda: os.path.exists(self.device_list) and
                               reports.read_ini(self.device_list)["main"].get("devcount") == "3" and
                               reports.read_ini(self.device_list), "the export", TIMEOUT)
        self.assertEqual(ini["dev0"], {"devnum": "1001", "carmodel": "ГАЗель",
                                       "carnumber": "А123ВС77", "groupname": "Доставка",
                                       "groupfile": "доставка.grp"})
        self.assertEqual(ini["dev1"]["carmodel"], "")
        self.assertEqual(ini["dev2"]["devnum"], "12345678")
        self.assertEqual(ini["dev2"]["groupname"], "Спецтехника")
        self.assertIsNone(probe(BOX_CAPTION))  # no box on success

    def test_unregistered_server_gets_the_start_error_box(self):
        self.open_window()
        wine(ARGS.probe, "click", CAPTION)
        box = reports.wait_for(lambda: probe(BOX_CAPTION), "the error box", TIMEOUT)
        screenshot("kxreports-start-error.png")
        texts = [child["text"] for child in box["children"]]
        self.assertIn("Ошибка запуска ПО Velorin", texts)
        self.assertEqual([child["text"] for child in box["children"]
                          if child["class"] == "Button"], ["OK"])
        wine(ARGS.probe, "close", BOX_CAPTION)
        reports.wait_for(lambda: probe(BOX_CAPTION) is None, "the box to close", TIMEOUT)
        self.assertFalse(os.path.exists(self.device_list))

    def test_headless_export(self):
        result = wine(self.tool, "--export", check=False)
        self.assertEqual(result.returncode, 2, result.stderr)  # the dispatcher is not reachable
        self.assertFalse(os.path.exists(self.device_list))
        self.register_server()
        result = wine(self.tool, "--export", check=False)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(reports.read_ini(self.device_list)["main"]["devcount"], "3")


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--kxreports", required=True)
    parser.add_argument("--server", required=True, help="VelorinTestServer.exe")
    parser.add_argument("--probe", required=True, help="WindowProbe.exe")
    parser.add_argument("--screenshots", required=True, help="folder for the screenshots")
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()
