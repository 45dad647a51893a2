"""KXReports end to end: the headless export, then the real window under Xvfb and a real window
manager, clicked with xdotool. Screenshots of the window and of its boxes are saved for a look by eye."""

import argparse
import os
import re
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


def wait_for(condition, what, timeout=TIMEOUT):
    deadline = time.monotonic() + timeout
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

    def test_arguments_other_than_export_alone_are_refused(self):
        for args in (["--bogus"], ["export"], ["--export", "--export"], ["--export", "x"]):
            result = self.run_tool(*args)
            self.assertEqual(result.returncode, 64, args)  # EX_USAGE
            self.assertEqual(result.stderr, b"usage: KXReports [--export]\n", args)
        self.assertFalse(os.path.exists(self.device_list))


class Display:
    """An Xvfb server on a free display number with a real window manager (IceWM, which has a
    taskbar of its own), started with an empty private configuration folder."""

    def __init__(self, config):
        read, write = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "640x240x24", "-nolisten", "tcp"],
            pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as f:
            self.name = ":" + f.readline().strip()
        self.env = {**os.environ, "DISPLAY": self.name}
        self.manager = subprocess.Popen(["icewm"], env={**self.env, "ICEWM_PRIVCFG": config},
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for(lambda: "window id #" in self.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"),
                 "the window manager")

    def close(self):
        for process in (self.manager, self.server):
            process.terminate()
            process.wait(timeout=10)

    def run(self, program, *args, check=True):
        result = subprocess.run([program, *args], env=self.env, capture_output=True, text=True,
                                timeout=30)
        if check and result.returncode != 0:
            raise AssertionError("%s %s: %s" % (program, args, result.stderr))
        return result.stdout

    def xdotool(self, *args, check=True):
        return self.run("xdotool", *args, check=check)

    def property(self, window, name):
        """The values of a window property as xprop prints them (atoms, numbers), or []."""
        text = self.run("xprop", "-id", window, "-notype", name, check=False)
        if "=" not in text:
            return []
        return [value.strip() for value in text.split("=", 1)[1].split(",")]

    def windows(self):
        """The windows the window manager lists in _NET_CLIENT_LIST, as
        {caption: (x, y, width, height, id)}."""
        found = {}
        text = self.run("xprop", "-root", "_NET_CLIENT_LIST", check=False)
        for window in re.findall(r"0x[0-9a-f]+", text.partition("#")[2]):
            name = self.xdotool("getwindowname", window, check=False).strip()
            geometry = self.xdotool("getwindowgeometry", "--shell", window, check=False)
            values = dict(line.split("=", 1) for line in geometry.split() if "=" in line)
            if "WIDTH" in values:
                found[name] = (int(values["X"]), int(values["Y"]), int(values["WIDTH"]),
                               int(values["HEIGHT"]), window)
        return found

    def frame_button(self, window, name):
        """Centre of a button that IceWM draws in the frame around a window (its title buttons
        are windows of their own, named after what they do)."""
        frame = window[4]
        while True:
            parent = re.search(r"Parent window id: (0x[0-9a-f]+)(.*)",
                               self.run("xwininfo", "-tree", "-id", frame))
            if "(the root window)" in parent.group(2):
                break
            frame = parent.group(1)
        tree = self.run("xwininfo", "-tree", "-id", frame)
        button = re.search(r'"%s": \(\)\s+(\d+)x(\d+)\S*\s+\+(-?\d+)\+(-?\d+)' % name, tree)
        if button is None:
            raise AssertionError("no %s button in the frame:\n%s" % (name, tree))
        width, height, x, y = (int(value) for value in button.groups())
        return x + width // 2, y + height // 2

    def press(self, window, key):
        """Presses a key in a window after the window manager has made it the active one."""
        self.xdotool("windowactivate", "--sync", window[4])
        self.xdotool("key", key)

    def screenshot(self, name):
        path = os.path.join(ARGS.screenshots, name)
        subprocess.run(["import", "-window", "root", path], check=True, env=self.env, timeout=30)
        return path


class Window(Fixture):
    def setUp(self):
        super().setUp()
        config = os.path.join(self.dir, "icewm")
        os.mkdir(config)
        self.display = Display(config)
        self.addCleanup(self.display.close)

    def start(self, data=None):
        env = self.env(data)
        env["DISPLAY"] = self.display.name
        tool = subprocess.Popen([self.tool], env=env)
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

    def test_button_exports_escape_keeps_the_window_and_the_close_button_ends(self):
        tool, window = self.start()
        self.assertEqual(window[2:4], (283, 57))
        self.click_button(window)
        wait_for(lambda: self.device_count() == str(VEHICLES), "the first export")
        # The click after Escape is handled after it, so the second export shows that Escape
        # has been handled and left the window open.
        self.display.press(window, "Escape")
        self.click_button(window)
        wait_for(lambda: tool.poll() is not None or self.device_count() == str(2 * VEHICLES),
                 "the second export")
        self.assertIsNone(tool.poll(), "Escape ended the tool")
        self.assertEqual(list(self.display.windows()), [WINDOW_CAPTION])  # no box on success
        x, y = self.display.frame_button(window, "Close")
        self.display.xdotool("mousemove", "--sync", str(x), str(y), "click", "1")
        self.assertEqual(tool.wait(timeout=TIMEOUT), 0)
        self.assertEqual(self.display.windows(), {})

    def test_an_ordinary_fixed_size_window_with_a_close_button_only(self):
        tool, window = self.start()
        xid = window[4]
        # A normal window: taskbars list it, where some leave utility windows off.
        self.assertEqual(self.display.property(xid, "_NET_WM_WINDOW_TYPE"),
                         ["_NET_WM_WINDOW_TYPE_NORMAL"])
        self.assertNotIn("_NET_WM_STATE_SKIP_TASKBAR",
                         self.display.property(xid, "_NET_WM_STATE"))
        hints = self.display.run("xprop", "-id", xid, "WM_NORMAL_HINTS")
        self.assertIn("minimum size: 283 by 57", hints)
        self.assertIn("maximum size: 283 by 57", hints)
        # What the window manager offers for the window.
        actions = self.display.property(xid, "_NET_WM_ALLOWED_ACTIONS")
        self.assertIn("_NET_WM_ACTION_CLOSE", actions)
        self.assertIn("_NET_WM_ACTION_MOVE", actions)
        for action in ("RESIZE", "MINIMIZE", "MAXIMIZE_HORZ", "MAXIMIZE_VERT"):
            self.assertNotIn("_NET_WM_ACTION_" + action, actions)
        self.display.screenshot("kxreports_window.png")
        self.assertIsNone(tool.poll())

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
    for program in ("Xvfb", "icewm", "xdotool", "xprop", "xwininfo", "import"):
        if shutil.which(program) is None:
            print("skipped: %s is not installed" % program)
            return 77
    result = unittest.main(argv=[sys.argv[0], *rest], exit=False, verbosity=2).result
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
