"""The vehicle data request "/kxserver/car" in both data modes: from the dispatcher's
last-position files (UseKX=0) and through the automation stand-in (UseKX=1)."""

import datetime
import os
import re
import threading
import time
import unittest

import test_kml as kml

FLEET = """[main]
GroupsNum=2
ComputeMs=%(compute_ms)d
[group1]
GroupName=Север
GroupFileName=north.grp
CarsNum=3
[group1.car1]
CarDevice=1234
CarModel=Газель
CarNumber=А123ВС
Latitude=55.75
Longitude=37.61
Time=2010-03-05 23:30:00
[group1.car2]
CarDevice=77
CarModel=Fiat
[group1.car3]
CarDevice=4321
CarModel=УАЗ
Latitude=-776.9
Longitude=37.5
Time=2010-03-05 10:00:00
[group2]
GroupName=Юг
GroupFileName=south.grp
CarsNum=1
[group2.car1]
CarDevice=12345678
CarModel=КамАЗ
Latitude=55.8
Longitude=49.1
Time=2010-03-05 07:05:00
"""

# One trip on 2010-03-05 (stop, moving with speeding, stop).
TRACK_2010 = ["2010-03-05 06:00:00;55.70;37.50;0;2",
              "2010-03-05 06:10:00;55.71;37.51;50;16",
              "2010-03-05 06:20:00;55.72;37.52;0;2"]

ICON_FLAGS_4098 = "[0,1,1,1,1,0,1,1,1,1,1,1,1];"  # bits 1 and 12 set
ICON_FLAGS_NONE = "[1,1,1,1,1,1,1,1,1,1,1,1,1];"


def recent_track():
    """One trip within the last 24 hours (UTC), so the fallback period finds it."""
    now = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)
    stamp = lambda hours: (now - datetime.timedelta(hours=hours)).strftime("%Y-%m-%d %H:%M:%S")
    return ["%s;55.80;37.60;0;2" % stamp(3), "%s;55.81;37.61;60;0" % stamp(2),
            "%s;55.82;37.62;0;2" % stamp(1)]


def users_ini_value(folder, section, key):
    text = folder.read("Users.ini").decode("cp1251")
    match = re.search(r"(?ms)^\[%s\]\r?\n(.*?)(?=^\[|\Z)" % re.escape(section), text)
    if not match:
        return None
    value = re.search(r"(?m)^%s=(.*?)\r?$" % re.escape(key), match.group(1))
    return value.group(1) if value else None


class RequestCodes:
    """Codes that do not depend on where the data comes from (mixed into both modes)."""

    def test_codes_of_requests_that_name_no_viewable_device(self):
        user = self.signed_in("user", "u")
        self.assertEqual(self.car(user, ""), "2")
        for query in ["DevNum=1234&type=0&GMT=3&x=1", "type=0&DevNum=1234&GMT=3",
                      "DevNum=1234&type=0&gmt=3", "DevNum=1234&type=1&GMT=3",
                      "GroupFileName=5&GMT=3", "DevNum=99999999999&type=0&GMT=3"]:
            self.assertEqual(self.car(user, query), "3", query)
        self.assertEqual(self.car(user, "DevNum=0&type=0&GMT=3"), "2")
        self.assertEqual(self.car(user, "DevNum=999&type=0&GMT=3"), "2")
        self.assertEqual(self.car(self.signed_in("moder", "m"), "DevNum=1234&type=0&GMT=3"), "2")

    def test_a_gmt_beyond_the_year_9999_fails_to_convert(self):
        user = self.signed_in("user", "u")
        huge = "2147483647"
        self.assertEqual(self.car(user, "GroupFileName=0&GMT=" + huge), "3")
        self.assertEqual(self.car(user, "DevNum=999&type=0&GMT=" + huge), "3")
        # As with an empty GMT, the vehicle's last position is shown unmoved; a period that the
        # GMT moves before the year 1 shows the last position too.
        for query, stamp in [
                ("DevNum=1234&type=0&GMT=" + huge, self.STAMP_1234[0]),
                ("DevNum=1234&type=1&BeginDate=05.03.2010_9:00&EndDate=06.03.2010_9:00"
                 "&GMT=%s&Icons=16" % huge, self.STAMP_1234[0]),
                ("DevNum=1234&type=1&BeginDate=01.01.0001_0:00&EndDate=01.01.0001_1:00"
                 "&GMT=3&Icons=16", self.STAMP_1234[3])]:
            placemarks = kml.placemarks(self.answer_kml(user, query))
            self.assertEqual(placemarks, [(placemarks[0][0], stamp, placemarks[0][2])], query)


class FileMode(RequestCodes, kml.MapDataTest):
    STAMP_1234 = {0: "03/05/10 23:30:00", 3: "03/06/10 02:30:00"}  # by GMT

    def prepare_folder(self):
        self.last_position("0001234.kml",
                           kml.last_position_kml("a", "2010-03-05 23:30:00", "37.61,55.75,0"))
        self.last_position("000077.kml",
                           kml.last_position_kml("b", "2010-03-05 21:00:00", "30.3,59.9,0"))

    def test_administrators_pass_the_rights_check_for_any_device(self):
        admin = self.signed_in("admin", "a")
        self.assertEqual(self.car(admin, "DevNum=999&type=0&GMT=3"), "1")
        self.answer_kml(admin, "DevNum=77&type=0&GMT=3")

    def test_success_text_carries_the_display_settings_and_the_host_as_sent(self):
        user = self.signed_in("user", "u")
        text = self.car(user, "DevNum=1234&type=0&GMT=3", headers={"Host": "kx.example:8080"})
        self.assertTrue(text.startswith("12|2|http://kx.example:8080/kxserver/kml?"), text)
        self.fetch_archive(text, host="kx.example:8080")
        # Defaults for a login without display settings.
        self.assertTrue(self.car(self.signed_in("admin", "a"),
                                 "DevNum=1234&type=0&GMT=3").startswith("10|0|http://"))

    def test_empty_gmt_shows_the_last_position_unmoved_or_answers_3(self):
        user = self.signed_in("user", "u")
        placemarks = kml.placemarks(self.answer_kml(user, "DevNum=1234&type=0&GMT="))
        self.assertEqual(placemarks[0][1], "03/05/10 23:30:00")
        self.assertEqual(self.car(user, "DevNum=4321&type=0&GMT="), "3")  # no source file
        self.assertEqual(self.car(user, "DevNum=4321&type=0&GMT=3"), "1")

    def test_track_request_shows_the_last_position_and_stores_the_icons(self):
        user = self.signed_in("user", "u")
        placemarks = kml.placemarks(self.answer_kml(
            user, "DevNum=1234&type=1&BeginDate=05.03.2010_9:07&EndDate=06.03.2010_9:07"
                  "&GMT=3&Icons=4098"))
        self.assertEqual(placemarks[0][1], "03/06/10 02:30:00")
        self.assertEqual(users_ini_value(self.folder, "user", "Icons"), "4098")
        # A period over seven days records "3", which a device without a file then answers.
        self.assertEqual(self.car(user, "DevNum=4321&type=1&BeginDate=05.03.2010_9:07"
                                        "&EndDate=12.03.2010_9:08&GMT=3&Icons=4098"), "3")
        # A request that stops before its Icons value stores nothing.
        self.car(user, "DevNum=1234&type=1&BeginDate=&EndDate=&GMT=&Icons=16")
        self.assertEqual(users_ini_value(self.folder, "user", "Icons"), "4098")

    def test_a_repeated_icon_mask_leaves_users_ini_alone(self):
        user = self.signed_in("user", "u")
        track = "DevNum=1234&type=1&BeginDate=05.03.2010_9:07&EndDate=06.03.2010_9:07&GMT=3&Icons="
        self.answer_kml(user, track + "16")
        # Users.ini is replaced by a new file on each write, so an unchanged inode means unwritten.
        written = os.stat(self.folder.file("Users.ini")).st_ino
        self.answer_kml(user, track + "16")
        self.assertEqual(os.stat(self.folder.file("Users.ini")).st_ino, written)
        self.answer_kml(user, track + "17")
        self.assertNotEqual(os.stat(self.folder.file("Users.ini")).st_ino, written)
        self.assertEqual(users_ini_value(self.folder, "user", "Icons"), "17")
        # The guest's mask is compared with the file too: its first store writes.
        self.car(self.guest(), track + "17")
        self.assertEqual(users_ini_value(self.folder, "guest", "Icons"), "17")

    def test_a_failed_icon_store_shows_the_last_position_with_code_3(self):
        user = self.signed_in("user", "u")
        track = "&type=1&BeginDate=05.03.2010_9:07&EndDate=06.03.2010_9:07&GMT=3&Icons=16"
        self.assertEqual(self.car(user, "DevNum=4321" + track), "1")
        # A folder in place of Users.ini makes every read and write of it fail.
        os.remove(self.folder.file("Users.ini"))
        os.mkdir(self.folder.file("Users.ini"))
        self.assertEqual(self.car(user, "DevNum=4321" + track), "3")
        placemarks = kml.placemarks(self.answer_kml(user, "DevNum=1234" + track))
        # The last position, at the GMT read before the Icons.
        self.assertEqual(placemarks[0][1], "03/06/10 02:30:00")

    def test_groups(self):
        user = self.signed_in("user", "u")
        kml_bytes = self.answer_kml(user, "GroupFileName=0&GMT=0")
        self.assertEqual([p[0] for p in kml.placemarks(kml_bytes)], [kml.NAME_1234, kml.NAME_77])
        self.assertEqual(self.car(user, "GroupFileName=2&GMT=0"), "3")
        # South holds 12345678 only, which has no file.
        self.assertEqual(self.car(user, "GroupFileName=1&GMT=0"), "1")
        self.assertEqual(self.car(self.signed_in("moder", "m"), "GroupFileName=1&GMT=0"), "1")


class GroupWithoutFileName(kml.MapDataTest):
    def prepare_folder(self):
        # Group 2 is the empty file name of device 555.
        self.folder.write("DeviceList.ini", (
            kml.DEVICE_LIST.replace("devCount=4", "devCount=5") +
            "[dev4]\r\ndevnum=555\r\ncarmodel=ГАЗ\r\ngroupname=Без группы\r\n").encode("cp1251"))

    def test_answers_1(self):
        self.assertEqual(self.car(self.signed_in("user", "u"), "GroupFileName=2&GMT=0"), "1")
        self.assertEqual(self.car(self.signed_in("admin", "a"), "GroupFileName=2&GMT=0"), "1")


class FileModeWithoutDispatcherFolder(kml.MapDataTest):
    DISPATCHER_PATH = False

    def test_no_file_is_found(self):
        user = self.signed_in("user", "u")
        self.assertEqual(self.car(user, "DevNum=1234&type=0&GMT=3"), "1")
        self.assertEqual(self.car(user, "DevNum=1234&type=0&GMT="), "1")
        self.assertEqual(self.car(user, "GroupFileName=0&GMT=3"), "1")


class AutomationMode(kml.MapDataTest):
    USE_KX = 1
    COMPUTE_MS = 0

    def prepare_folder(self):
        fleet = FLEET % {"compute_ms": self.COMPUTE_MS}
        with open(os.path.join(self.automation, "fleet.ini"), "wb") as f:
            f.write(fleet.replace("\n", "\r\n").encode("cp1251"))
        with open(os.path.join(self.automation, "tracks", "1234.csv"), "w") as f:
            f.write("\n".join(TRACK_2010 + recent_track()) + "\n")

    def track(self, begin, end, icons=16):
        return "DevNum=1234&type=1&BeginDate=%s&EndDate=%s&GMT=3&Icons=%d" % (begin, end, icons)


class AutomationRequests(RequestCodes, AutomationMode):
    STAMP_1234 = {0: "05.03.2010 23:30:00", 3: "06.03.2010 02:30:00"}  # by GMT

    def test_last_positions(self):
        user = self.signed_in("user", "u")
        placemarks = kml.placemarks(self.answer_kml(user, "DevNum=1234&type=0&GMT=3"))
        self.assertEqual(len(placemarks), 1)
        self.assertEqual(placemarks[0][2], "37.610000,55.750000,0")
        self.assertEqual(self.car(user, "DevNum=77&type=0&GMT=3"), "1")  # latitude -777
        self.answer_kml(user, "DevNum=4321&type=0&GMT=3")  # latitude -776.9
        self.answer_kml(user, "DevNum=1234&type=0&GMT=")
        self.assertEqual(self.car(user, "DevNum=77&type=0&GMT="), "1")
        self.answer_kml(user, "DevNum=12345678&type=0&GMT=3")
        self.assertEqual(self.car(user, "DevNum=0&type=0&GMT=3"), "2")
        admin = self.signed_in("admin", "a")
        self.assertEqual(self.car(admin, "DevNum=999&type=0&GMT=3"), "1")
        # A login without display settings gets zoom 10 and the road map.
        self.assertTrue(self.car(admin, "DevNum=1234&type=0&GMT=3").startswith("10|0|http://"))
        self.assertTrue(self.car(admin, "GroupFileName=0&GMT=3").startswith("10|0|http://"))
        self.assertTrue(self.car(user, "GroupFileName=0&GMT=3").startswith("12|2|http://"))

    def test_tracks_and_their_periods(self):
        user = self.signed_in("user", "u")
        # Exactly seven days, local time (GMT+3) of 2010-03-05 09:00 to 2010-03-12 09:00.
        track = self.answer_kml(user, self.track("05.03.2010_9:00", "12.03.2010_9:00"))
        self.assertIn(b"LineString", track)
        self.assertIn(b"55.710000", track)
        # Longer: the last day is computed instead and finds the recent trip.
        recent = self.answer_kml(user, self.track("05.03.2010_9:00", "12.03.2010_9:01"))
        self.assertIn(b"55.810000", recent)
        recent = self.answer_kml(user, self.track("99.99.2010_25:00", "12.03.2010_9:00"))
        self.assertIn(b"55.810000", recent)
        self.assertEqual(self.car(user, self.track("01.01.2009_0:00", "02.01.2009_0:00")), "1")
        # The trip (06:00 to 06:20 UTC) lies in this local period only once it is moved by GMT.
        self.assertIn(b"LineString",
                      self.answer_kml(user, self.track("05.03.2010_8:55", "05.03.2010_9:25")))

    def test_icons_go_to_users_ini_and_to_memory_except_for_the_guest(self):
        user = self.signed_in("user", "u")
        self.fetch_archive(self.car(user, self.track("05.03.2010_9:00", "06.03.2010_9:00", 4098)))
        self.assertEqual(users_ini_value(self.folder, "user", "Icons"), "4098")
        self.assertIn(ICON_FLAGS_4098, user.get("/kxserver/main").text)

        guest = self.guest()
        text = self.car(guest, self.track("05.03.2010_9:00", "06.03.2010_9:00", 4098))
        self.assertEqual(users_ini_value(self.folder, "guest", "Icons"), "4098")
        self.assertIn(ICON_FLAGS_NONE, guest.get("/kxserver/main").text)
        # The archive is fetched from the URL of the success text, without a session.
        self.assertIn(b"LineString", self.fetch_archive(text))

    def test_groups(self):
        user = self.signed_in("user", "u")
        # North for this user: 1234, 77 (no position) and 4321.
        placemarks = kml.placemarks(self.answer_kml(user, "GroupFileName=0&GMT=3"))
        self.assertEqual(len(placemarks), 2)
        self.assertEqual(self.car(user, "GroupFileName=2&GMT=3"), "3")
        self.assertEqual(self.car(user, "GroupFileName=0&GMT="), "3")


class AutomationWithoutKmlFolder(AutomationMode):
    def prepare_folder(self):
        super().prepare_folder()
        os.rmdir(self.folder.file("kml"))

    def test_exports_that_leave_no_kml_answer_1(self):
        user = self.signed_in("user", "u")
        self.assertEqual(self.car(user, "GroupFileName=0&GMT=3"), "1")
        self.assertEqual(self.car(user, "DevNum=1234&type=0&GMT=3"), "1")


class FolderGivenRelative(AutomationMode):
    """--folder relative to the current directory and with a trailing "/": the exports and the
    archive entry names still use the full path (check_archive compares them with it)."""

    RELATIVE_FOLDER = True

    def test_archives_name_the_full_path(self):
        user = self.signed_in("user", "u")
        self.answer_kml(user, "DevNum=1234&type=0&GMT=3")
        self.assertIn(b"LineString",
                      self.answer_kml(user, self.track("05.03.2010_9:00", "06.03.2010_9:00")))


class FolderWithCharactersWindows1251Lacks(AutomationMode):
    """The service, kml and dispatcher folders hold characters windows-1251 lacks: the files are
    found by their own names, and only the archive entry name is windows-1251 (with "?")."""

    FOLDER_PREFIX = "kx-e2e-карта-地图-"
    DISPATCHER_PATH = False  # Settings.ini, a windows-1251 file, could not name it

    def test_archives_are_made(self):
        user = self.signed_in("user", "u")
        self.answer_kml(user, "DevNum=1234&type=0&GMT=3")
        self.answer_kml(user, "GroupFileName=0&GMT=3")
        self.assertIn(b"LineString",
                      self.answer_kml(user, self.track("05.03.2010_9:00", "06.03.2010_9:00")))


class LongComputation(AutomationMode):
    COMPUTE_MS = 3000

    def test_a_long_track_computation_delays_other_sign_ins_without_failing_them(self):
        user = self.signed_in("user", "u")
        replies = []
        request = threading.Thread(target=lambda: replies.append(
            self.car(user, self.track("05.03.2010_9:00", "06.03.2010_9:00", icons=4096))))
        request.start()
        # The request stores its icons just before it takes the gate for the computation.
        deadline = time.monotonic() + 10
        while users_ini_value(self.folder, "user", "Icons") != "4096":
            self.assertLess(time.monotonic(), deadline)
            time.sleep(0.02)
        time.sleep(0.2)
        started = time.monotonic()
        other = self.client()
        page = other.sign_in("admin", "a")
        waited = time.monotonic() - started
        request.join()
        self.assertEqual(page.status, 200)
        self.assertIsNotNone(other.cookie)
        self.assertGreater(waited, 1.5)
        self.assertIn(b"LineString", self.fetch_archive(replies[0]))


if __name__ == "__main__":
    unittest.main()
