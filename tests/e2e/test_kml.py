"""The KML files the service writes from the dispatcher's last-position files, and the archive
fetch "/kxserver/kml". Also the shared support of the map-data tests (test_vehicle_data imports
this module): a server with a dispatcher folder and an automation stand-in folder, and
independent checks of every archive (zipfile, zlib and unzip)."""

import io
import os
import re
import struct
import subprocess
import tempfile
import unittest
import xml.etree.ElementTree as ET
import zipfile
import zlib

from kxtest import Server, ServerTest, ServiceFolder

KML_NS = "http://www.opengis.net/kml/2.2"
SUCCESS = re.compile(r"^(-?\d+)\|(-?\d+)\|http://(.*)/kxserver/kml\?([0-9A-F]{32}\.kmz)$")

# The host formats of the C locale: short date "%m/%d/%y", long time "%H:%M:%S".
SERVER_ENV = {"LC_ALL": "C.UTF-8"}

ADMIN = {"login": "admin", "password": "a", "rights": 2}
USER = {"login": "user", "password": "u", "devices": [1234, 77, 12345678, 555, 4321],
        "extra": ["GoogleZoom=12", "GoogleType=2"]}
MODERATOR = {"login": "moder", "password": "m", "rights": 1, "devices": [77]}
GUEST = {"login": "guest", "password": "", "devices": [4321, 1234, 77]}
USERS = [ADMIN, USER, MODERATOR, GUEST]

# north.grp is group 0 (first seen), south.grp group 1.
DEVICE_LIST = ("[main]\r\ndevCount=4\r\n"
               "[dev0]\r\ndevnum=4321\r\ncarmodel=УАЗ\r\ngroupname=Север\r\ngroupfile=north.grp\r\n"
               "[dev1]\r\ndevnum=1234\r\ncarmodel=Газель\r\ncarnumber=А123ВС\r\n"
               "groupname=Север\r\ngroupfile=north.grp\r\n"
               "[dev2]\r\ndevnum=77\r\ncarmodel=Fiat\r\ngroupname=Север\r\ngroupfile=north.grp\r\n"
               "[dev3]\r\ndevnum=12345678\r\ncarmodel=КамАЗ\r\ngroupname=Юг\r\n"
               "groupfile=south.grp\r\n")
NAME_1234 = "Газель - А123ВС (1234)"
NAME_77 = "Fiat (77)"


def last_position_kml(name, stamp, coordinates, encoding="UTF-8", prefix=""):
    p = prefix + ":" if prefix else ""
    declaration = ' xmlns%s="%s"' % (":" + prefix if prefix else "", KML_NS)
    text = ('<?xml version="1.0" encoding="%s"?>\n<%skml%s>\n  <%sPlacemark>\n'
            '    <%sname>%s</%sname>\n    <%sdescription>%s Скорость 40 км/ч</%sdescription>\n'
            '    <%sPoint><%scoordinates>%s</%scoordinates></%sPoint>\n  </%sPlacemark>\n</%skml>\n'
            % (encoding, p, declaration, p, p, name, p, p, stamp, p, p, p, coordinates, p, p, p,
               p))
    return text.encode("cp1251" if encoding == "windows-1251" else "utf-8")


class MapDataTest(ServerTest):
    """A server whose folder holds a dispatcher folder ("dispatcher/LastPosition") and an
    automation stand-in folder ("automation", named by KX_AUTOMATION_DATA)."""

    USERS = USERS
    USE_KX = 0
    DISPATCHER_PATH = True  # KXServerPath names the dispatcher folder
    FOLDER_PREFIX = "kx-e2e-"
    RELATIVE_FOLDER = False  # --folder names the folder relative to its parent, with a "/"

    def setUp(self):
        self.folder = ServiceFolder(self.USERS, prefix=self.FOLDER_PREFIX)
        self.dispatcher = self.folder.file("dispatcher")
        self.automation = self.folder.file("automation")
        os.makedirs(os.path.join(self.dispatcher, "LastPosition"))
        os.makedirs(os.path.join(self.automation, "tracks"))
        settings = "[main]\r\nport=%d\r\nUseKX=%d\r\n" % (self.folder.port, self.USE_KX)
        if self.DISPATCHER_PATH:
            settings += "KXServerPath=%s/\r\n" % self.dispatcher
        self.folder.write("Settings.ini", settings.encode("cp1251"))
        self.folder.write("DeviceList.ini", DEVICE_LIST.encode("cp1251"))
        self.prepare_folder()
        env = dict(SERVER_ENV, KX_AUTOMATION_DATA=self.automation)
        parent, name = os.path.split(self.folder.path)
        relative = {"folder_arg": name + "/", "cwd": parent} if self.RELATIVE_FOLDER else {}
        self.server = Server(self.folder, env=env, **relative).wait_listening()
        self.clients = []

    def last_position(self, file_name, data):
        with open(os.path.join(self.dispatcher, "LastPosition", file_name), "wb") as f:
            f.write(data)

    def signed_in(self, login, password):
        client = self.client()
        client.sign_in(login, password)
        self.assertIsNotNone(client.cookie)
        return client

    def guest(self):
        """A client signed in as guest the way a visitor is: by asking for a page."""
        client = self.client()
        client.get("/kxserver/main")
        self.assertIsNotNone(client.cookie)
        return client

    def car(self, client, query, **kwargs):
        reply = client.get("/kxserver/car?" + query, **kwargs)
        self.assertEqual(reply.status, 200, reply.body)
        self.assertEqual(reply.header("Content-Type"), "text/plain")
        return reply.text

    def fetch_archive(self, text, host=None):
        """Checks a success text and fetches its archive without a session; returns the KML."""
        match = SUCCESS.match(text)
        self.assertIsNotNone(match, text)
        self.assertEqual(match.group(3), host or "127.0.0.1:%d" % self.folder.port)
        archive_name = match.group(4)
        fetched = self.client().get("/kxserver/kml?" + archive_name)
        self.assertEqual(fetched.status, 200)
        kml_name = archive_name[:-4] + ".kml"
        kml = self.folder.read(os.path.join("kml", kml_name))
        check_archive(self, fetched.body, kml, os.path.join(self.folder.path, "kml", kml_name))
        return kml

    def answer_kml(self, client, query):
        return self.fetch_archive(self.car(client, query))


def check_archive(test, data, kml, kml_path):
    """One deflated entry holding exactly the KML bytes, checked by three independent readers."""
    with zipfile.ZipFile(io.BytesIO(data)) as archive:
        test.assertIsNone(archive.testzip())
        entries = archive.infolist()
        test.assertEqual(len(entries), 1)
        test.assertEqual(entries[0].compress_type, zipfile.ZIP_DEFLATED)
        # No UTF-8 flag: zipfile decodes the windows-1251 name as code page 437.
        test.assertEqual(entries[0].filename.encode("cp437"),
                         kml_path.replace("\\", "/").encode("cp1251", "replace"))
        test.assertEqual(archive.read(entries[0]), kml)
    compressed_size, = struct.unpack_from("<I", data, 18)
    name_length, extra_length = struct.unpack_from("<HH", data, 26)
    start = 30 + name_length + extra_length
    inflater = zlib.decompressobj(-zlib.MAX_WBITS)
    inflated = inflater.decompress(data[start:start + compressed_size]) + inflater.flush()
    test.assertTrue(inflater.eof)
    test.assertEqual(inflated, kml)
    with tempfile.NamedTemporaryFile(suffix=".kmz") as copy:
        copy.write(data)
        copy.flush()
        # unzip lists the entry name, windows-1251 bytes.
        checked = subprocess.run(["unzip", "-t", copy.name], capture_output=True, text=True,
                                 errors="replace")
        test.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)


def placemarks(kml):
    """(name, description, coordinates) of every placemark, namespaces ignored."""
    root = ET.fromstring(kml)
    found = []
    for element in root.iter():
        if element.tag.rsplit("}", 1)[-1] != "Placemark":
            continue
        values = {child.tag.rsplit("}", 1)[-1]: child for child in element}
        point = values.get("Point")
        coordinates = None
        if point is not None:
            coordinates = next(iter(point)).text
        found.append((values["name"].text, values["description"].text, coordinates))
    return found


class LastPositionFiles(MapDataTest):
    def prepare_folder(self):
        self.last_position("0001234.kml",
                           last_position_kml("old", "2010-03-05 23:30:00", "37.61,55.75,0"))
        self.last_position("001234.kml",
                           last_position_kml("six", "2011-01-01 00:00:00", "1,1,0"))
        self.last_position("000077.kml",
                           last_position_kml("b", "2010-03-05 21:00:00", "30.3,59.9,0"))
        self.last_position("12345678.kml",
                           last_position_kml("long", "2010-03-05 07:05:00", "49.1,55.8,0"))
        self.last_position("0000555.kml", b"<kml>as the dispatcher wrote it</kml>\r\n")

    def test_seven_digit_file_wins_and_the_time_is_moved_into_the_next_day(self):
        user = self.signed_in("user", "u")
        kml = self.answer_kml(user, "DevNum=1234&type=0&GMT=3")
        self.assertEqual(placemarks(kml), [(NAME_1234, "03/06/10 02:30:00", "37.61,55.75,0")])

    def test_six_digit_file_and_midnight_shows_the_date_alone(self):
        user = self.signed_in("user", "u")
        kml = self.answer_kml(user, "DevNum=77&type=0&GMT=3")
        self.assertEqual(placemarks(kml), [(NAME_77, "03/06/10", "30.3,59.9,0")])

    def test_eight_digit_device_keeps_its_digits(self):
        user = self.signed_in("user", "u")
        kml = self.answer_kml(user, "DevNum=12345678&type=0&GMT=0")
        self.assertEqual(placemarks(kml),
                         [("КамАЗ (12345678)", "03/05/10 07:05:00", "49.1,55.8,0")])

    def test_device_without_registry_entry_is_served_as_written(self):
        user = self.signed_in("user", "u")
        self.assertEqual(self.answer_kml(user, "DevNum=555&type=0&GMT=3"),
                         b"<kml>as the dispatcher wrote it</kml>\r\n")

    def test_group_skeleton_comes_from_the_first_vehicle_with_a_file(self):
        # The guest's first north vehicle (4321) has no file.
        kml = self.answer_kml(self.guest(), "GroupFileName=0&GMT=3")
        self.assertTrue(kml.startswith(b'<?xml version="1.0" encoding="UTF-8"?>\n<kml xmlns="'))
        root = ET.fromstring(kml)
        self.assertEqual([e.tag for e in root], ["{%s}Folder" % KML_NS])
        self.assertEqual(placemarks(kml), [(NAME_1234, "03/06/10 02:30:00", "37.61,55.75,0"),
                                           (NAME_77, "03/06/10", "30.3,59.9,0")])
        self.assertFalse([n for n in os.listdir(self.folder.file("kml")) if n.startswith("_")])


class DocumentForms(MapDataTest):
    def prepare_folder(self):
        self.last_position("0001234.kml", last_position_kml(
            "Старое", "2010-03-05 23:30:00", "37.61,55.75,0", encoding="windows-1251"))
        self.last_position("0000077.kml", last_position_kml(
            "b", "2010-03-05 10:00:00", "30.3,59.9,0", prefix="kml"))

    def test_windows_1251_source_keeps_its_encoding_and_cyrillic_text(self):
        user = self.signed_in("user", "u")
        kml = self.answer_kml(user, "DevNum=1234&type=0&GMT=3")
        self.assertTrue(kml.startswith(b'<?xml version="1.0" encoding="windows-1251"?>'), kml)
        self.assertIn(("<name>%s</name>" % NAME_1234).encode("cp1251"), kml)
        self.assertEqual(placemarks(kml)[0][0], NAME_1234)

    def test_prefixed_namespace_is_kept_by_every_added_element(self):
        user = self.signed_in("user", "u")
        kml = self.answer_kml(user, "DevNum=77&type=0&GMT=0").decode("utf-8")
        self.assertIn("<kml:name>%s</kml:name>" % NAME_77, kml)
        # The moderator's group holds 77 alone, so the skeleton comes from its file; every added
        # element takes its prefix.
        moderator = self.signed_in("moder", "m")
        group = self.answer_kml(moderator, "GroupFileName=0&GMT=0").decode("utf-8")
        self.assertNotIn("<Folder", group)
        self.assertNotIn("<Placemark", group)
        self.assertEqual(group.count("<kml:Placemark>"), 1)
        self.assertIn("<kml:Folder><kml:Placemark><kml:name>%s</kml:name>" % NAME_77, group)
        self.assertEqual(placemarks(group.encode()), [(NAME_77, "03/05/10 10:00:00",
                                                       "30.3,59.9,0")])


class IndentedSource(MapDataTest):
    """A file written with its texts on lines of their own: white space around them is not part
    of the stamp or the coordinates."""

    def prepare_folder(self):
        self.last_position("0001234.kml", (
            '<?xml version="1.0" encoding="UTF-8"?>\n<kml xmlns="%s">\n  <Placemark>\n'
            '    <name>a</name>\n    <description>\n      2010-03-05 23:30:00 Скорость 40 км/ч'
            '\n    </description>\n    <Point>\n      <coordinates>\n\t37.61,55.75,0 \n'
            '      </coordinates>\n    </Point>\n  </Placemark>\n</kml>\n' % KML_NS).encode())

    def test_last_position_and_group_read_the_trimmed_texts(self):
        user = self.signed_in("user", "u")
        kml = self.answer_kml(user, "DevNum=1234&type=0&GMT=3")
        self.assertEqual(placemarks(kml)[0][:2], (NAME_1234, "03/06/10 02:30:00"))
        group = self.answer_kml(user, "GroupFileName=0&GMT=3")
        self.assertEqual(placemarks(group), [(NAME_1234, "03/06/10 02:30:00", "37.61,55.75,0")])


class BrokenSource(MapDataTest):
    def prepare_folder(self):
        self.last_position("0001234.kml",
                           last_position_kml("a", "2010-03-05 07:00:00", "37.61,55.75,0"))
        self.last_position("0000077.kml", b"<kml><Placemark><name>broken</kml>")

    def test_malformed_source_fails_the_request_and_leaves_no_scratch_file(self):
        user = self.signed_in("user", "u")
        reply = user.get("/kxserver/car?GroupFileName=0&GMT=3")
        self.assertEqual(reply.status, 500)
        self.assertFalse([n for n in os.listdir(self.folder.file("kml")) if n.startswith("_")])
        reply = user.get("/kxserver/car?DevNum=77&type=0&GMT=3")
        self.assertEqual(reply.status, 500)
        # The service goes on serving.
        self.answer_kml(user, "DevNum=1234&type=0&GMT=3")


class ArchiveFetch(ServerTest):
    def test_only_upper_case_archive_names_of_the_kml_folder_are_served(self):
        name = "0123456789ABCDEF0123456789ABCDEF.kmz"
        self.folder.write(os.path.join("kml", name), b"PK-archive")
        self.folder.write(os.path.join("kml", "abcdef.kmz"), b"lower")
        client = self.client()  # no session
        fetched = client.get("/kxserver/kml?" + name)
        self.assertEqual((fetched.status, fetched.body), (200, b"PK-archive"))
        self.assertEqual(fetched.header("Content-Length"), "10")
        for query in ["", "abcdef.kmz", "ABCDEF.KMZ", "ABCDEF.kmz.kml", "../Settings.ini",
                      "..%2FSettings.ini", "%2E%2E/ABC.kmz", "kml/%s" % name, "/" + name,
                      "ABC.kmz%00"]:
            reply = client.get("/kxserver/kml?" + query)
            self.assertEqual((reply.status, reply.body), (200, b""), query)

    def test_cleaned_up_archive_answers_an_empty_body(self):
        reply = self.client().get("/kxserver/kml?00000000000000000000000000000000.kmz")
        self.assertEqual((reply.status, reply.body), (200, b""))


if __name__ == "__main__":
    unittest.main()
