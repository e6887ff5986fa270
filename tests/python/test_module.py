"""The Python module velmora against velmora-headless and against the machine it drives.

Run by ctest with PYTHONPATH set to the module's folder and VELMORA_BUILD to the build folder.
"""

import ast
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import velmora

BUILD = os.environ["VELMORA_BUILD"]
HEADLESS = os.path.join(BUILD, "velmora-headless")
ASSEMBLER = os.path.join(BUILD, "velmora-asm")
CALCULATOR = os.path.join(BUILD, "calculator")
STUBS = os.path.join(BUILD, "python", "velmora.pyi")


def assemble(line, page=None):
    """The bytes of one instruction, from velmora-asm."""
    args = [ASSEMBLER, "--line", line] + (["--page", page] if page else [])
    out = subprocess.run(args, capture_output=True, text=True, check=True).stdout.split()
    return bytes(int(b, 16) for b in out)


class Folder:
    """A scratch folder, optionally holding the default calculator's files."""

    def __init__(self, calculator=False):
        self.path = tempfile.mkdtemp(prefix="velmora-py-")
        if calculator:
            for name in ("rom0.bin", "rom1.bin", "keymap.dat"):
                shutil.copy(os.path.join(CALCULATOR, name), self.path)

    def headless(self, *args):
        out = subprocess.run([HEADLESS, *args], cwd=self.path, capture_output=True, text=True,
                             check=True).stdout
        return out

    def remove(self):
        shutil.rmtree(self.path, ignore_errors=True)


def needs_calculator(test):
    return unittest.skipUnless(os.path.isfile(os.path.join(CALCULATOR, "rom0.bin")),
                               "no default calculator in the build (VELMORA_GUI off)")(test)


class SameRunAsHeadless(unittest.TestCase):
    """The module runs the machine exactly as velmora-headless does: the same commands end in
    the same dump and the same LCD."""

    # (headless options, what the script does)
    RUNS = [
        (["--ms", "2000", "--type", "12+34="],
         lambda: (velmora.type("12+34="), velmora.run_ms(300))),
        (["--ms", "1700", "--type", r"2*3.5\n"], lambda: velmora.type("2*3.5\n")),
        (["--ms", "1500", "--key", "500:53:100", "--key", "900:55:150"],
         lambda: (velmora.run_ms(500), velmora.tap(53), velmora.run_ms(200),
                  velmora.tap(55, hold_ms=150), velmora.run_ms(350))),
        (["--ms", "995"], lambda: (velmora.run_ms(333), velmora.run_ms(333), velmora.run_ms(329))),
        (["--steps", "25000"], lambda: velmora.run_steps(25000)),
        # A release at the time of a press goes first, so a hold of 0 leaves the key down.
        (["--ms", "800", "--key", "500:46:0"],
         lambda: (velmora.run_ms(500), velmora.release(), velmora.press(46), velmora.run_ms(300))),
    ]

    @needs_calculator
    def test_dump_and_lcd_agree_with_headless(self):
        folder = Folder(calculator=True)
        try:
            for args, script in self.RUNS:
                with self.subTest(args=" ".join(args)):
                    lines = folder.headless(*args, "--dump", "--lcd-text").split("\n")
                    self.assertEqual(velmora.start(folder.path), [])
                    script()
                    self.assertEqual(velmora.dump(), json.loads(lines[0]))
                    self.assertEqual(velmora.lcd_text(), "\n".join(lines[1:65]) + "\n")
        finally:
            folder.remove()

    @needs_calculator
    def test_typed_sum_reads_46_from_ram_and_lcd(self):
        velmora.start(CALCULATOR)
        velmora.type("12+34=")
        result_line = bytes(velmora.ram[0x100 + 7 * 16: 0x100 + 8 * 16])
        self.assertEqual(result_line, b"              46")
        # The LCD rows of the result line, decoded with the firmware's own font (cells of 6
        # dots: a glyph's 5 dots in bits 6..2 and the empty column on their left).
        font = bytes(velmora.ext[0x2000: 0x2000 + 111 * 8])
        rows = velmora.lcd_rows()
        text = ""
        for column in range(16):
            cell = bytes(sum(rows[56 + k][6 * column + b] << (7 - b) for b in range(6))
                         for k in range(7))
            glyph = next(g for g in range(111)
                         if bytes(r & 0xFC for r in font[8 * g: 8 * g + 7]) == cell)
            text += chr(32 + glyph)
        self.assertEqual(text, "              46")


class Registers(unittest.TestCase):
    def setUp(self):
        velmora.start_from()

    def test_writes_keep_the_bits_of_each_register_mask(self):
        cases = [  # name, value written, value read, dump field
            ("PC", 0x12345, 0x2345, "PC"), ("pc", 0x1800, 0x1800, "PC"), ("LA", -1, 0xFFFF, "LA"),
            ("AS", 0xFF, 0x7F, "AS"), ("KC", 0xFF, 0xFF, "KC"), ("s6", 0x89, 0x09, "S6"),
            ("TM", 2**70 + 5, 5, "TM"), ("F", 0x1FF, 0xFF, "F"), ("ie", 0x88, 0x88, "IE"),
        ]
        for name, written, read, field in cases:
            with self.subTest(name=name, value=written):
                velmora.reg[name] = written
                self.assertEqual(velmora.reg[name], read)
                self.assertEqual(velmora.dump()[field], read)

    def test_pointer_registers_live_in_the_register_file(self):
        velmora.reg["sp"] = 0x1234
        self.assertEqual((velmora.R[0x7F], velmora.R[0x3F]), (0x12, 0x34))
        velmora.R[0x78], velmora.R[0x38] = 0xAB, 0xCD
        self.assertEqual(velmora.reg["IX"], 0xABCD)
        self.assertEqual(velmora.dump()["R"][0x78], 0xAB)

    def test_flags_are_the_bits_of_F(self):
        velmora.reg["F"] = 0
        for name, mask in [("C", 0x80), ("H", 0x40), ("V", 0x20), ("Z", 0x10), ("UZ", 0x08),
                           ("LZ", 0x04)]:
            with self.subTest(flag=name):
                velmora.flags[name] = True
                self.assertEqual(velmora.reg["F"], mask)
                self.assertTrue(velmora.flags[name.lower()])
                velmora.flags[name] = False
                self.assertEqual(velmora.reg["F"], 0)

    def test_names_are_listed_and_unknown_names_refused(self):
        self.assertEqual(list(velmora.reg)[:3], ["PC", "LA", "KC"])
        self.assertIn("sp", velmora.reg)
        self.assertNotIn("XY", velmora.reg)
        self.assertEqual(len(velmora.reg), len(velmora.reg.keys()))
        with self.assertRaises(KeyError):
            velmora.reg["XY"]
        with self.assertRaises(KeyError):
            velmora.flags["Q"] = True
        with self.assertRaises(TypeError):
            velmora.reg["PC"] = "12"


class MemoriesAndCode(unittest.TestCase):
    def test_a_rom_patch_through_the_module_runs(self):
        # Internal ROM word 0, then external memory at 0x1800 reached by a jump from word 1.
        velmora.start_from()
        velmora.rom[0:3] = assemble("ld r5,&h42")
        velmora.patch(1, assemble("jmp &h1800"))
        velmora.ext[0x1800: 0x1803] = assemble("ld r6,&h17")
        velmora.run_steps(3)
        self.assertEqual((velmora.R[5], velmora.R[6]), (0x42, 0x17))
        self.assertEqual(velmora.dump()["R"][5], 0x42)

    def test_ram_writes_reach_the_display_transfer(self):
        velmora.start_from()
        velmora.ram[0x1001] = 0x81  # LA 0x1000 upward: frame-buffer byte 0
        for name, value in [("S6", 1), ("S7", 11), ("S5", 127), ("PE", 0x40), ("LA", 0x1000)]:
            velmora.reg[name] = value
        velmora.run_steps(1)
        self.assertEqual(velmora.frame_buffer[0], 0x81)
        self.assertEqual(velmora.lcd_rows()[63][88:96], bytes([1, 0, 0, 0, 0, 0, 0, 1]))

    def test_views_have_the_memory_sizes_and_frame_buffer_is_read_only(self):
        sizes = {"R": 128, "ram": 8192, "ext": 32768, "rom": 18432, "keymap": 128,
                 "frame_buffer": 768}
        for name, size in sizes.items():
            self.assertEqual(len(getattr(velmora, name)), size, name)
        with self.assertRaises(TypeError):
            velmora.frame_buffer[0] = 1

    def test_patch_refuses_what_is_not_one_instruction(self):
        for address, data in [(-1, b"\x00"), (0x10000, b"\x00"), (0, b""), (0, b"\x00" * 4)]:
            with self.assertRaises(ValueError):
                velmora.patch(address, data)


class StartUpAndRuns(unittest.TestCase):
    def setUp(self):
        self.folder = Folder()

    def tearDown(self):
        self.folder.remove()

    def write(self, name, data):
        with open(os.path.join(self.folder.path, name), "wb") as f:
            f.write(data)

    def test_start_reads_the_folder_and_returns_the_warnings(self):
        self.assertEqual(velmora.start(self.folder.path),
                         ["Failed to load the file rom0.bin", "Failed to load the file rom1.bin"])
        self.write("rom0.bin", b"")
        self.write("rom1.bin", b"\x11\x22")
        self.write("ram.bin", b"\x33" * 10)
        self.write("velmora.ini", b"[Settings]\nOscFreq=1000\n")
        self.assertEqual(velmora.start(self.folder.path), [])
        self.assertEqual(bytes(velmora.ext[0:3]), b"\x11\x22\x00")
        self.assertEqual(bytes(velmora.ram[9:11]), b"\x33\x00")
        velmora.run_ms(10)  # one tick of 10 x 1000 cycles, ended by the step that spends them
        self.assertGreaterEqual(velmora.dump()["CYCLES"], 10000)
        self.assertLess(velmora.dump()["CYCLES"], 10100)

    def test_start_from_copies_what_is_given_and_zeroes_the_rest(self):
        velmora.start_from(rom1=b"\x01\x02", ram=bytearray(b"\x05" * 9000), register=b"\x07",
                           keymap=memoryview(b"\x00" * 49 + b"\x34"), osc_freq=500)
        self.assertEqual(bytes(velmora.ext[0:3]), b"\x01\x02\x00")
        self.assertEqual(velmora.ram[8191], 5)
        self.assertEqual((velmora.R[0], velmora.R[1]), (7, 0))
        self.assertEqual(velmora.keymap[49], 0x34)
        velmora.run_ms(10)
        self.assertLess(velmora.dump()["CYCLES"], 5100)

    def test_time_left_over_counts_towards_the_next_run(self):
        velmora.start_from(rom1=b"\x00" * 100)
        velmora.run_ms(15)
        velmora.run_ms(15)
        self.assertEqual(velmora.elapsed_ms(), 30)
        split = velmora.dump()
        velmora.start_from(rom1=b"\x00" * 100)
        velmora.run_ms(30)
        self.assertEqual(velmora.dump(), split)
        self.assertGreater(split["STEPS"], 0)

    def test_typing_nothing_takes_no_time(self):
        velmora.start_from()
        velmora.type("")
        self.assertEqual(velmora.elapsed_ms(), 0)
        velmora.type("1\n")
        self.assertEqual(velmora.elapsed_ms(), 900)

    def test_counts_and_key_codes_out_of_range_are_refused(self):
        velmora.start_from()
        for call in [lambda: velmora.run_ms(-1), lambda: velmora.run_steps(2**53),
                     lambda: velmora.tap(256), lambda: velmora.press(-1),
                     lambda: velmora.tap(3, hold_ms=-5)]:
            with self.assertRaises(ValueError):
                call()

    def test_save_images_writes_to_the_start_folder_or_the_one_given(self):
        velmora.start(self.folder.path)
        velmora.ram[0] = 0x5A
        velmora.save_images()
        with open(os.path.join(self.folder.path, "ram.bin"), "rb") as f:
            self.assertEqual(f.read(1), b"\x5A")
        other = Folder()
        try:
            velmora.save_images(other.path)
            self.assertEqual(os.path.getsize(os.path.join(other.path, "register.bin")), 128)
        finally:
            other.remove()
        # A folder given relative is the same folder after a change of directory.
        previous = os.getcwd()
        os.chdir(os.path.dirname(self.folder.path))
        try:
            velmora.start(os.path.basename(self.folder.path))
            os.remove(os.path.join(self.folder.path, "ram.bin"))
            os.chdir("/")
            velmora.save_images()
        finally:
            os.chdir(previous)
        self.assertTrue(os.path.isfile(os.path.join(self.folder.path, "ram.bin")))
        with self.assertRaises(OSError) as caught:
            velmora.save_images(os.path.join(self.folder.path, "missing", "folder"))
        self.assertIn("Failed to save the file ram.bin", str(caught.exception))


class Pictures(unittest.TestCase):
    def test_png_written_reads_back_as_the_lcd_picture(self):
        velmora.start_from()
        velmora.reg["S6"] = 1
        folder = Folder()
        try:
            path = os.path.join(folder.path, "lcd.png")
            velmora.lcd_png(path)
            self.assertEqual(velmora.read_png(path), (192, 128, velmora.lcd_rgb()))
            with open(path, "wb") as f:
                f.write(b"\x89PNG\r\n\x1a\n" + b"\x00" * 40)
            with self.assertRaises(ValueError):
                velmora.read_png(path)
            with self.assertRaises(OSError):
                velmora.lcd_png(os.path.join(folder.path, "no", "such.png"))
        finally:
            folder.remove()

    def test_lcd_text_and_rows_agree(self):
        velmora.start_from()
        velmora.ram[0x1001: 0x1001 + 768] = bytes(range(256)) * 3
        for name, value in [("S6", 1), ("S7", 11), ("S5", 127), ("PE", 0x40), ("LA", 0x1000)]:
            velmora.reg[name] = value
        velmora.run_steps(5000)
        rows = ["".join("#" if d else "." for d in row) for row in velmora.lcd_rows()]
        self.assertEqual("\n".join(rows) + "\n", velmora.lcd_text())
        self.assertIn("#", velmora.lcd_text())


class Stubs(unittest.TestCase):
    def test_stubs_name_exactly_the_module_public_names(self):
        with open(STUBS) as f:
            tree = ast.parse(f.read())
        stubbed = set()
        for node in tree.body:
            if isinstance(node, (ast.FunctionDef, ast.ClassDef)):
                stubbed.add(node.name)
            elif isinstance(node, ast.AnnAssign):
                stubbed.add(node.target.id)
        public = {n for n in dir(velmora) if not n.startswith("_")}
        self.assertEqual(public, {n for n in stubbed if not n.startswith("_")})
        for name in public:
            self.assertTrue(getattr(velmora, name).__doc__, name)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"] + sys.argv[1:])
