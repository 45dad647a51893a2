"""KXReports end to end: the headless export, then the real window under Xvfb, clicked with
xdotool. Screenshots of the window and of its boxes are saved for a look by eye."""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

ARGS = None
WINDOW_CAPTION = "Выгрузка списка транспорта"
VEHICLES = 41  # in the demo fleet
DEMO_END = "2024-05-15 12:00:00"
TIMEOUT = 20  # seconds for a window or a file to appear


def read_ini(path):
    """Sections of a windows-1251 INI file as dicts (first occurrence wins, names lower-case)."""
    sections = {}
    current = None
    with open(path, encoding="cp1251") as f:
        for line in f.read().splitlines():
            line = line.strip()
            if line.startswith("[") and line.endswith("]"):
                current = sections.setdefault(line[1:-1].lower(), {})
            elif current is not None and "=" in line:
                key, value = line.split("=", 1)
                current.setdefault(key.strip().lower(), value.strip())
    return sections


def wait_for(condition, what):
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline:
        result = condition()
        if result:
            return result
        time.sleep(0.1)
    raise AssertionError("timed out waiting for " + what)


class Fixture(unittest.TestCase):
    """A demo data folder and a copy of the tool in a folder of its own (it writes
    DeviceList.ini next to its executable)."""

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="kxreports-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.service = os.path.join(self.dir, "service")
        subprocess.run([ARGS.make_demo, self.service, "--end", DEMO_END], check=True,
                       capture_output=True)
        self.data = os.path.join(self.service, "automation")
        self.app = os.path.join(self.dir, "app")
        os.mkdir(self.app)
        self.tool = os.path.join(self.app, "KXReports")
        shutil.copy(ARGS.kxreports, self.tool)
        self.device_list = os.path.join(self.app, "DeviceList.ini")

    def env(self, data=None):
        env = dict(os.environ)
        env["KX_AUTOMATION_DATA"] = data or self.data
        return env

    def fail_after(self, operations):
        fleet = os.path.join(self.data, "fleet.ini")
        with open(fleet, "rb") as f:
            text = f.read()
        with open(fleet, "wb") as f:
            f.write(text.replace(b"[main]\r\n", b"[main]\r\nFailAfterOps=%d\r\n" % operations, 1))


class HeadlessExport(Fixture):
    def run_tool(self, *args, data=None):
        return subprocess.run([self.tool, *args], env=self.env(data), capture_output=True,
                              timeout=60)

    def test_exports_what_the_demo_lists_and_appends(self):
        done = self.run_tool("--export")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIn(b"Exported 41 vehicles", done.stderr)
        with open(self.device_list, "rb") as mine, \
                open(os.path.join(self.service, "DeviceList.ini"), "rb") as demo:
            self.assertEqual(mine.read(), demo.read())
        self.assertEqual(self.run_tool("--export").returncode, 0)
        ini = read_ini(self.device_list)
        self.assertEqual(ini["main"]["devcount"], str(2 * VEHICLES))
        self.assertEqual(ini["dev41"], ini["dev0"])

    def test_unreachable_dispatcher_writes_nothing(self):
        result = self.run_tool("--export", data=os.path.join(self.dir, "none"))
        self.assertEqual(result.returncode, 2)
        self.assertIn("Ошибка запуска ПО Velorin", result.stderr.decode())
        self.assertFalse(os.path.exists(self.device_list))

    def test_failure_midway_keeps_the_count(self):
        self.fail_after(20)
        result = self.run_tool("--export")
        self.assertEqual(result.returncode, 1)
        self.assertIn("disconnected", result.stderr.decode())
        ini = read_ini(self.device_list)
        self.assertEqual(ini["main"]["devcount"], "0")
        self.assertIn("dev2", ini)

    def test_arguments_other_than_export_are_refused(self):
        self.assertEqual(self.run_tool("--bogus").returncode, 64)


class Display:
    """An Xvfb server on a free display number."""

    def __init__(self):
        read, write = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "640x240x24", "-nolisten", "tcp"],
            pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as f:
            self.name = ":" + f.readline().strip()

    def close(self):
        self.server.terminate()
        self.server.wait(timeout=10)

    def xdotool(self, *args, check=True):
        result = subprocess.run(["xdotool", *args], env={**os.environ, "DISPLAY": self.name},
                                capture_output=True, text=True, timeout=30)
        if check and result.returncode != 0:
            raise AssertionError("xdotool %s: %s" % (args, result.stderr))
        return result.stdout

    def windows(self):
        """Visible top-level windows as {caption: (x, y, width, height, id)}."""
        found = {}
        ids = self.xdotool("search", "--onlyvisible", "--name", ".", check=False).split()
        for window in ids:
            name = self.xdotool("getwindowname", window, check=False).strip()
            geometry = self.xdotool("getwindowgeometry", "--shell", window, check=False)
            values = dict(line.split("=", 1) for line in geometry.split() if "=" in line)
            if "WIDTH" in values:
                found[name] = (int(values["X"]), int(values["Y"]), int(values["WIDTH"]),
                               int(values["HEIGHT"]), window)
        return found

    def press(self, window, key):
        """Presses a key in a window: the pointer goes over it, so that it has the focus."""
        x, y, width, height = window[:4]
        self.xdotool("mousemove", "--sync", str(x + width // 2), str(y + height // 2))
        self.xdotool("key", key)

    def screenshot(self, name):
        path = os.path.join(ARGS.screenshots, name)
        subprocess.run(["import", "-window", "root", path], check=True,
                       env={**os.environ, "DISPLAY": self.name}, timeout=30)
        return path


class Window(Fixture):
    def setUp(self):
        super().setUp()
        self.display = Display()
        self.addCleanup(self.display.close)

    def start(self, data=None):
        env = self.env(data)
        env["DISPLAY"] = self.display.name
        tool = subprocess.Popen([self.tool], env=env, stderr=subprocess.PIPE)
        self.addCleanup(lambda: tool.poll() is None and (tool.kill(), tool.wait()))
        window = wait_for(lambda: self.display.windows().get(WINDOW_CAPTION), "the window")
        return tool, window

    def click_button(self, window):
        x, y = window[0] + 89 + 96 // 2, window[1] + 16 + 25 // 2
        self.display.xdotool("mousemove", "--sync", str(x), str(y), "click", "1")

    def device_count(self):
        if not os.path.exists(self.device_list):
            return None
        return read_ini(self.device_list).get("main", {}).get("devcount")

    def test_button_exports_and_the_window_stays(self):
        tool, window = self.start()
        self.assertEqual(window[2:4], (283, 57))
        self.display.screenshot("kxreports_window.png")
        self.click_button(window)
        wait_for(lambda: self.device_count() == str(VEHICLES), "the first export")
        self.click_button(window)
        wait_for(lambda: self.device_count() == str(2 * VEHICLES), "the second export")
        self.assertEqual(list(self.display.windows()), [WINDOW_CAPTION])  # no box on success
        self.display.press(window, "Escape")
        self.assertEqual(tool.wait(timeout=TIMEOUT), 0)

    def test_unreachable_dispatcher_shows_the_start_error(self):
        tool, window = self.start(data=os.path.join(self.dir, "none"))
        self.click_button(window)
        box = wait_for(lambda: self.display.windows().get("Ошибка"), "the message box")
        self.display.screenshot("kxreports_start_error.png")
        self.display.press(box, "Return")
        wait_for(lambda: "Ошибка" not in self.display.windows(), "the box to close")
        self.assertFalse(os.path.exists(self.device_list))
        self.assertIsNone(tool.poll())

    def test_failure_midway_asks_then_shows_the_error_box(self):
        self.fail_after(20)
        tool, window = self.start()
        self.click_button(window)
        question = wait_for(lambda: self.display.windows().get("HRCHECK:"), "the check question")
        self.display.screenshot("kxreports_check_question.png")
        self.display.press(question, "Return")  # Yes: the failure is raised
        box = wait_for(lambda: self.display.windows().get("KXReports"), "the error box")
        self.display.screenshot("kxreports_error_box.png")
        self.display.press(box, "Return")
        wait_for(lambda: "KXReports" not in self.display.windows(), "the box to close")
        self.assertEqual(self.device_count(), "0")
        self.assertIsNone(tool.poll())


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--kxreports", required=True)
    parser.add_argument("--make-demo", required=True)
    parser.add_argument("--screenshots", required=True)
    ARGS, rest = parser.parse_known_args()
    for program in ("Xvfb", "xdotool", "import"):
        if shutil.which(program) is None:
            print("skipped: %s is not installed" % program)
            return 77
    result = unittest.main(argv=[sys.argv[0], *rest], exit=False, verbosity=2).result
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
