#!/usr/bin/env python3
"""Archives made by the product's ZIP writer, read back by independent readers: Python's
zipfile (which checks every CRC) and unzip -t.

Usage: test_zip_archives.py ZIP_DRIVER UNZIP
"""
import calendar
import os
import random
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile
import zlib

DRIVER = None
UNZIP = None

MODIFIED = calendar.timegm((2024, 3, 10, 12, 34, 57))  # UTC
ACCESSED = calendar.timegm((2024, 3, 11, 1, 2, 3))


def track_kml(size, seed):
    rng = random.Random(seed)
    parts = ['<?xml version="1.0" encoding="UTF-8"?>\n<kml><Document>\n']
    total = len(parts[0])
    i = 0
    while total < size:
        part = ('<Placemark><name>%d</name><description><![CDATA[Скорость: %d км/ч<br/>'
                'Курс: %d]]></description><Point><coordinates>37.%06d,55.%06d,0'
                '</coordinates></Point></Placemark>\n'
                % (i, rng.randrange(120), rng.randrange(360), 600000 + rng.randrange(5000),
                   750000 + rng.randrange(5000)))
        parts.append(part)
        total += len(part.encode())
        i += 1
    return ''.join(parts).encode()[:size]


class ZipArchives(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory(prefix='kx_zip_e2e_')
        self.path = self.folder.name

    def tearDown(self):
        self.folder.cleanup()

    def write(self, name, content):
        path = os.path.join(self.path, name)
        with open(path, 'wb') as f:
            f.write(content)
        os.utime(path, (ACCESSED, MODIFIED))
        return path

    def run_driver(self, *args):
        result = subprocess.run([DRIVER, *args], capture_output=True, text=True, check=True)
        return result.stdout.split('\n')

    def check_with_unzip(self, archive):
        result = subprocess.run([UNZIP, '-t', archive], capture_output=True)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertIn(b'No errors detected', result.stdout)

    def test_packed_kml_files_read_back_exactly(self):
        contents = {
            'empty.kml': b'',
            'lastpos.kml': '<kml><Placemark><name>А123ВС 777</name></Placemark></kml>\n'.encode(),
            'track.kml': track_kml(5 << 20, 1),
            'noise.kml': random.Random(2).randbytes(1 << 20),
            'zeros.kml': bytes(2 << 20),
            'Трек.kml': track_kml(200000, 3),
        }
        for name, content in contents.items():
            with self.subTest(name=name):
                self.write(name, content)
                kmz_name = self.run_driver('pack', self.path + '/', name)[0]
                self.assertEqual(kmz_name, name[:-4] + '.kmz')
                archive = os.path.join(self.path, kmz_name)
                with zipfile.ZipFile(archive) as z:
                    self.assertIsNone(z.testzip())
                    infos = z.infolist()
                    self.assertEqual(len(infos), 1)
                    info = infos[0]
                    # No UTF-8 flag: zipfile decodes the windows-1251 bytes as code page 437.
                    entry_name = info.filename.encode('cp437')
                    self.assertEqual(entry_name, (self.path + '/' + name).encode('cp1251'))
                    self.assertEqual(z.read(info), content)
                    self.assertEqual(info.compress_type, zipfile.ZIP_DEFLATED)
                    self.assertEqual(info.flag_bits, 2)
                    self.assertEqual((info.create_system, info.create_version), (11, 23))
                    self.assertEqual(info.extract_version, 20)
                    self.assertEqual(info.external_attr, 0x81800020)
                    self.assertEqual(info.date_time, (2024, 3, 10, 12, 34, 56))
                    self.assertEqual(info.extra, b'UT\x05\x00\x07' + struct.pack('<I', MODIFIED))
                    self.assertEqual(info.CRC, zlib.crc32(content))
                with open(archive, 'rb') as f:
                    raw = f.read()
                name_length, extra_length = struct.unpack_from('<HH', raw, 26)
                self.assertEqual(extra_length, 17)
                extra = raw[30 + name_length:30 + name_length + 17]
                self.assertEqual(extra[:5], b'UT\x0d\x00\x07')
                self.assertEqual(struct.unpack_from('<II', extra, 5), (MODIFIED, ACCESSED))
                data = raw[47 + name_length:47 + name_length + info.compress_size]
                self.assertEqual(zlib.decompressobj(-15).decompress(data), content)
                self.check_with_unzip(archive)

    def test_several_entries_with_stored_archives_and_a_missing_source(self):
        kml = self.write('a.kml', track_kml(300000, 4))
        packed = self.write('inner.zip', random.Random(5).randbytes(100000))
        archive = os.path.join(self.path, 'several.zip')
        codes = self.run_driver('zip', archive, 'one\\a.kml', kml, 'inner.ZIP', packed,
                                'missing.kml', os.path.join(self.path, 'missing.kml'),
                                'два.kml', kml)
        self.assertEqual(codes[:6], ['create 0x00000000', 'add 0x00000000', 'add 0x00000000',
                                     'add 0x00000200', 'add 0x00000000', 'close 0x00000000'])
        with zipfile.ZipFile(archive) as z:
            self.assertIsNone(z.testzip())
            names = [info.filename.encode('cp437') for info in z.infolist()]
            self.assertEqual(names, [b'one/a.kml', b'inner.ZIP', 'два.kml'.encode('cp1251')])
            methods = [info.compress_type for info in z.infolist()]
            self.assertEqual(methods, [zipfile.ZIP_DEFLATED, zipfile.ZIP_STORED,
                                       zipfile.ZIP_DEFLATED])
            with open(packed, 'rb') as f:
                self.assertEqual(z.read(z.infolist()[1]), f.read())
        self.check_with_unzip(archive)

    def test_archive_that_cannot_be_created_is_reported(self):
        archive = os.path.join(self.path, 'missing', 'a.kmz')
        codes = self.run_driver('zip', archive, 'a.kml', self.write('a.kml', b'x'))
        self.assertEqual(codes[:3], ['create 0x00000200', 'add 0x00010000', 'close 0x00010000'])
        self.assertFalse(os.path.exists(archive))


if __name__ == '__main__':
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    DRIVER, UNZIP = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1] + sys.argv[3:])
