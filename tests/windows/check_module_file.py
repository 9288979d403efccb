#!/usr/bin/env python3
"""Checks a built Windows module file, read with pefile, for what the host relies on
before it runs any of it: the one export, the imports, the two resources and every
byte of the property list.

    check_module_file.py MODULE wx86|8664 [unittest options]

The key names the architecture: "wx86" for the 32-bit module, "8664" for the
64-bit one. The expected bytes are written out here from the documented table,
independently of the code that generates them.
"""
import sys
import unittest
import xml.etree.ElementTree as ET

import pefile

MODULE = ""
ENTRY_KEY = ""

PIPL_TYPE = "PIPL"
PIPL_ID = 16000
RT_MANIFEST = 24
MANIFEST_ID = 2
LANGUAGE_EN_US = 1033

# Windows' own DLLs; none of the MinGW runtime DLLs (libstdc++-6, libgcc_s_*,
# libwinpthread-1) may appear: the module must load on a machine without them.
SYSTEM_DLLS = {"kernel32.dll", "msvcrt.dll", "ntdll.dll", "user32.dll", "advapi32.dll"}
UCRT_PREFIX = "api-ms-win-"

HEADER = bytes([1, 0, 0, 0, 0, 0, 12, 0, 0, 0])  # reserved 1, version 0, 12 properties


def documented_records(entry_key):
    """(offset, key, stated length, data as stored) for each property, in order."""
    return [
        (10, "kind", 4, b"TKFe"),
        (30, "name", 16, b"\x0cThimbleroute\0\0\0"),
        (62, "catg", 8, b"\x06Nemblo\0"),
        (86, entry_key, 16, b"EntryPointFunc\0\0"),
        (118, "ePVR", 4, b"\x02\0\0\0"),
        (138, "eSVR", 4, b"\x0c\0\x0a\0"),
        (158, "eVER", 4, b"\x01\x06\x08\0"),  # 525825
        (178, "eINF", 2, b"\0\0"),
        (198, "eGLO", 4, b"\x40\0\0\x06"),
        (218, "eGL2", 4, b"\0\x14\0\0"),
        (238, "eMNA", 28, b"\x19Thimbleroute by Durvasket\0\0"),
        (282, "aeFL", 4, b"\x08\0\0\0"),
    ]


def four_char_code(raw):
    """A four-character code is stored little-endian: its characters reversed."""
    return raw[::-1].decode("latin-1")


def u32(raw, at):
    return int.from_bytes(raw[at:at + 4], "little")


class ModuleFileTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pe = pefile.PE(MODULE)

    def resources(self):
        """{(type, id): [(language, bytes)]}, type a name or a number."""
        found = {}
        for rtype in self.pe.DIRECTORY_ENTRY_RESOURCE.entries:
            type_key = str(rtype.name) if rtype.name is not None else rtype.id
            for rid in rtype.directory.entries:
                id_key = str(rid.name) if rid.name is not None else rid.id
                for lang in rid.directory.entries:
                    data = self.pe.get_data(lang.data.struct.OffsetToData, lang.data.struct.Size)
                    found.setdefault((type_key, id_key), []).append((lang.id, data))
        return found

    def test_is_a_dll_for_its_architecture(self):
        machine, magic = {
            "wx86": (pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"], pefile.OPTIONAL_HEADER_MAGIC_PE),
            "8664": (pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"],
                     pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS),
        }[ENTRY_KEY]
        self.assertEqual(self.pe.FILE_HEADER.Machine, machine)
        self.assertEqual(self.pe.OPTIONAL_HEADER.Magic, magic)
        self.assertTrue(self.pe.is_dll())

    def test_only_export_is_the_undecorated_entry_point_at_ordinal_1(self):
        exports = self.pe.DIRECTORY_ENTRY_EXPORT
        self.assertEqual(exports.name, b"Thimbleroute.aex")
        self.assertEqual([(s.name, s.ordinal) for s in exports.symbols], [(b"EntryPointFunc", 1)])
        self.assertIsNone(exports.symbols[0].forwarder)

    def test_imports_system_dlls_only(self):
        dlls = [entry.dll.decode().lower() for entry in self.pe.DIRECTORY_ENTRY_IMPORT]
        self.assertIn("kernel32.dll", dlls)
        others = [d for d in dlls if d not in SYSTEM_DLLS and not d.startswith(UCRT_PREFIX)]
        self.assertEqual(others, [], "imports DLLs that are not part of Windows")
        self.assertFalse(hasattr(self.pe, "DIRECTORY_ENTRY_DELAY_IMPORT"))

    def test_carries_the_property_list_and_the_manifest_and_nothing_else(self):
        found = self.resources()
        self.assertEqual(sorted(found, key=str), sorted([(PIPL_TYPE, PIPL_ID), (RT_MANIFEST, MANIFEST_ID)], key=str))
        self.assertEqual([(lang, len(data)) for lang, data in found[(PIPL_TYPE, PIPL_ID)]],
                         [(LANGUAGE_EN_US, 302)])
        self.assertEqual([(lang, len(data)) for lang, data in found[(RT_MANIFEST, MANIFEST_ID)]],
                         [(LANGUAGE_EN_US, 346)])

    def test_property_list_walks_to_its_end_through_the_documented_records(self):
        pipl = self.resources()[(PIPL_TYPE, PIPL_ID)][0][1]
        self.assertEqual(pipl[:10], HEADER)
        expected = documented_records(ENTRY_KEY)
        at = 10
        padded = []
        # Walk by the header's count and each record's length, as the host does.
        for index in range(u32(pipl, 6)):
            offset, key, length, data = expected[index]
            stated = u32(pipl, at + 12)
            padding = -stated % 4
            with self.subTest(key=key):
                self.assertEqual(at, offset)
                self.assertEqual(four_char_code(pipl[at:at + 4]), "8BIM")
                self.assertEqual(four_char_code(pipl[at + 4:at + 8]), key)
                self.assertEqual(u32(pipl, at + 8), 0)
                self.assertEqual(stated, length)
                self.assertEqual(pipl[at + 16:at + 16 + stated], data)
                self.assertEqual(pipl[at + 16 + stated:at + 16 + stated + padding], b"\0" * padding)
            if padding:
                padded.append(key)
            at += 16 + stated + padding
        self.assertEqual(at, 302)
        self.assertEqual(len(pipl), 302)
        self.assertEqual(padded, ["eINF"])

    def test_manifest_asks_only_to_run_as_invoker(self):
        manifest = self.resources()[(RT_MANIFEST, MANIFEST_ID)][0][1]
        root = ET.fromstring(manifest)
        v1 = "{urn:schemas-microsoft-com:asm.v1}"
        v3 = "{urn:schemas-microsoft-com:asm.v3}"
        self.assertEqual(root.tag, v1 + "assembly")
        self.assertEqual([child.tag for child in root], [v3 + "trustInfo"])
        levels = root.findall(f"{v3}trustInfo/{v3}security/{v3}requestedPrivileges/"
                              f"{v3}requestedExecutionLevel")
        self.assertEqual([level.attrib for level in levels],
                         [{"level": "asInvoker", "uiAccess": "false"}])
        self.assertEqual(len(list(root.iter())), 5)  # nothing beside the trust section


if __name__ == "__main__":
    if len(sys.argv) < 3 or sys.argv[2] not in ("wx86", "8664"):
        sys.exit("usage: check_module_file.py MODULE wx86|8664 [unittest options]")
    MODULE, ENTRY_KEY = sys.argv[1], sys.argv[2]
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:], verbosity=2)
