"""velmora-test on test files written here: verdicts, exit statuses, messages, --update, --junit.

The cases run a small program of their own (assembled with velmora-asm) that shows RAM from
0x1000 on the LCD (frame-buffer byte i is RAM 0x1000 + i) and strobes every key line, so the
tests do not depend on the default firmware. Run by ctest with VELMORA_BUILD set.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import textwrap
import unittest
import xml.etree.ElementTree as ElementTree

BUILD = os.environ["VELMORA_BUILD"]
RUNNER = os.path.join(BUILD, "velmora-test")

PROGRAM = """
        org 0
        pst s5, 32
        pst s7, 11
        pst pe, &h40
        ldw ix, &h0fff
        pla ix
        pst s6, &h09
        pst ky, &hff
loop:   jmp loop
"""

# Glyphs of 'A' and 'B', 8 rows each, bit 7 the leftmost dot.
FONT = bytes([0x18, 0x24, 0x42, 0x7E, 0x42, 0x42, 0x42, 0x00,
              0x7C, 0x42, 0x7C, 0x42, 0x42, 0x42, 0x7C, 0x00])


def display_writes(picture, x0, y0):
    """RAM writes (as write steps) that make the program show PICTURE, rows of '#' and '.',
    with its top-left dot at (x0, y0)."""
    ram = {}
    for dy, row in enumerate(picture):
        for dx, dot in enumerate(row):
            x, y = x0 + dx, y0 + dy
            index = 12 * (63 - y) + (95 - x) // 8
            ram.setdefault(index, 0)
            if dot == "#":
                ram[index] |= 1 << ((95 - x) % 8)
    return ", ".join(f'{{ write = "ram", at = {0x1000 + i:#06x}, bytes = [{v}] }}'
                     for i, v in sorted(ram.items()))


def glyph_picture(text):
    rows = []
    for k in range(8):
        rows.append("".join(
            format(FONT[8 * (ord(c) - 65) + k], "08b").replace("1", "#").replace("0", ".")
            for c in text))
    return rows


class RunnerTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="velmora-runner-")
        self.calc = os.path.join(self.dir, "calc")
        os.mkdir(self.calc)
        with open(os.path.join(self.calc, "prog.asm"), "w") as f:
            f.write(PROGRAM)
        subprocess.run([os.path.join(BUILD, "velmora-asm"), "prog.asm", "-o", "."],
                       cwd=self.calc, check=True, capture_output=True)
        keymap = bytearray(128)
        keymap[ord("A")] = 0x10  # key 16 (strobe 0x81, input 0x04)
        with open(os.path.join(self.calc, "keymap.dat"), "wb") as f:
            f.write(keymap)
        with open(os.path.join(self.dir, "font.bin"), "wb") as f:
            f.write(FONT)

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def write(self, name, text):
        path = os.path.join(self.dir, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write(textwrap.dedent(text).lstrip("\n"))
        return path

    def run_tool(self, *args):
        done = subprocess.run([RUNNER, "--folder", self.calc, *args], cwd=self.dir,
                              capture_output=True, text=True)
        return done.returncode, done.stdout, done.stderr


class Verdicts(RunnerTest):
    def passing_file(self):
        return self.write("pass.toml", f"""
            [font]
            file = "font.bin"
            first = 65
            count = 2

            [[case]]
            name = "every check kind holds"
            steps = [{display_writes(glyph_picture("AB"), 8, 16)},
                     {{ wait_ms = 100 }},
                     {{ write = "ram", at = 0x0100, text = "46" }},
                     {{ set = {{ PD = 0x12, sp = 0x2000, C = true }} }},
                     {{ run_steps = 3 }}]
            expect = [{{ memory = "ram", at = 0x0100, text = "46" }},
                      {{ memory = "ram", at = 0x0100, bytes = [0x34, 0x36] }},
                      {{ memory = "R", at = 0x7F, hex = "20" }},
                      {{ reg = {{ PD = 0x12, S6 = 9, C = true, Z = false }} }},
                      {{ dump = {{ WAIT = 0, OFF = 0, TM = 0 }} }},
                      {{ text = "AB", x = 8, y = 16 }},
                      {{ text = ["AB"], x = 8, y = 16 }},
                      {{ dots = ["##..", "..#?"], x = 11, y = 16 }},
                      {{ dots = '''
                                  ..##.
                                  .#..#
                                  ''', x = 9, y = 16 }}]

            [[case]]
            name = "keys reach the matrix"
            steps = [{{ press = 16 }}, {{ wait_until = {{ reg = {{ KI = 0x04 }} }}, timeout_ms = 100 }},
                     {{ release = 16 }}, {{ wait_ms = 20 }}]
            expect = [{{ reg = {{ KI = 0 }} }}]

            [[case]]
            name = "typing goes through the key map"
            steps = [{{ type = "A" }}]
            expect = [{{ dump = {{ KI = 0 }} }}, {{ reg = {{ PC = 7 }} }}]
            """)

    def test_a_passing_file_passes_every_case(self):
        path = self.passing_file()
        status, out, err = self.run_tool(path)
        self.assertEqual((status, err), (0, ""), out)
        self.assertEqual(out.count("PASS"), 3, out)
        self.assertIn("3 cases: 3 passed, 0 failed", out)

    def test_failing_checks_say_where_and_what(self):
        path = self.write("fail.toml", """
            [[case]]
            name = "good"
            steps = [{ wait_ms = 20 }]
            expect = [{ reg = { S6 = 9 } }]

            [[case]]
            name = "wrong"
            steps = [{ wait_ms = 50 }]
            expect = [
                { memory = "ram", at = 0x0100, text = "46" },
                { reg = { S7 = 12, Z = true } },
                { dump = { TM = 3 } },
                { dots = ["#"], x = 0, y = 0 },
            ]

            [[case]]
            name = "never"
            steps = [{ wait_until = { memory = "ram", at = 0, bytes = [1] }, timeout_ms = 50 },
                     { wait_ms = 10 }]
            expect = [{ reg = { S6 = 9 } }]
            """)
        status, out, err = self.run_tool(path)
        self.assertEqual(status, 1, out + err)
        self.assertIn("PASS   fail.toml: good", out.replace(self.dir + "/", ""))
        expected = [
            "fail.toml:10: expect 1: ram at 0x0100: expected 34 36, found 00 00",
            "fail.toml:11: expect 2: S7 is 0xb, expected 0xc; Z is false, expected true",
            "fail.toml:12: expect 3: TM is 0, expected 3",
            "fail.toml:13: expect 4: dots at (0, 0): expected #, found .",
            "fail.toml:18: step 1: wait_until still not met after 50 ms: ram at 0x0000: "
            "expected 01, found 00",
        ]
        for line in expected:
            self.assertIn(line, out.replace(self.dir + "/", ""))
        self.assertIn("3 cases: 1 passed, 2 failed", out)

    def test_only_runs_the_named_cases(self):
        path = self.passing_file()
        status, out, _ = self.run_tool("-k", "keys", path)
        self.assertEqual(status, 0)
        self.assertIn("1 cases: 1 passed", out)


class Goldens(RunnerTest):
    def test_update_writes_missing_and_differing_goldens_then_they_pass(self):
        path = self.write("screens.toml", f"""
            goldens = "shots"

            [[case]]
            name = "text golden"
            steps = [{display_writes(["#.#", ".#."], 0, 0)}, {{ wait_ms = 50 }}]
            expect = [{{ screen = "a.txt" }}, {{ screen = "a.png" }}]

            [[case]]
            name = "same screen again"
            steps = [{display_writes(["#.#", ".#."], 0, 0)}, {{ wait_ms = 50 }}]
            expect = [{{ screen = "a.txt" }}]
            """)
        status, out, err = self.run_tool(path)
        self.assertEqual(status, 2)
        self.assertIn("screens.toml:6: case 'text golden', expect 1: the golden", err)
        self.assertIn("does not exist (velmora-test --update writes it)", err)

        status, out, err = self.run_tool("--update", path)
        self.assertEqual(status, 0, out + err)
        with open(os.path.join(self.dir, "shots", "a.txt")) as f:
            rows = f.read().split("\n")
        self.assertEqual(rows[:2], ["#.#" + "." * 93, ".#." + "." * 93])
        self.assertEqual(len(rows), 65)

        status, out, err = self.run_tool(path)
        self.assertEqual((status, err), (0, ""), out)

        # A differing golden fails with the rows that differ; --update rewrites only it.
        rows[1] = "#" * 96
        with open(os.path.join(self.dir, "shots", "a.txt"), "w") as f:
            f.write("\n".join(rows))
        png_time = os.stat(os.path.join(self.dir, "shots", "a.png")).st_mtime_ns
        status, out, err = self.run_tool(path)
        self.assertEqual(status, 1)
        self.assertIn("screen differs from", out)
        self.assertIn("in 1 of 64 rows", out)
        self.assertIn("row  1 expected " + "#" * 96, out)
        status, out, err = self.run_tool("--update", path)
        self.assertEqual(status, 0)
        self.assertEqual(out.count("(updated"), 1, out)
        self.assertEqual(os.stat(os.path.join(self.dir, "shots", "a.png")).st_mtime_ns, png_time)

    def test_a_png_golden_that_differs_names_the_dots(self):
        path = self.write("png.toml", f"""
            [[case]]
            name = "picture"
            steps = [{display_writes(["#"], 5, 7)}, {{ wait_ms = 50 }}]
            expect = [{{ screen = "p.png" }}]
            """)
        self.assertEqual(self.run_tool("--update", path)[0], 0)
        with open(path) as f:
            text = f.read()
        with open(path, "w") as f:
            f.write(text.replace("bytes = [4]", "bytes = [2]"))
        status, out, _ = self.run_tool(path)
        self.assertEqual(status, 1, out)
        self.assertIn("in 8 pixels (dots x 5-6, y 7-7)", out)


class BrokenFiles(RunnerTest):
    GOOD_CASE = '[[case]]\nname = "n"\nexpect = [{ reg = { PC = 0 } }]\n'
    # (file text, line, what the message says)
    CASES = [
        ('[[case]\nname = "n"\n', 1, "not valid TOML"),
        ('title = "x"\n' + GOOD_CASE, 1, "the file: unknown key 'title'"),
        ("folder = 3\n" + GOOD_CASE, 1, "folder must be a string, not 3"),
        ('folder = "nowhere"\n' + GOOD_CASE, 1, "folder 'nowhere' is not a folder"),
        ("", 1, "needs one or more [[case]] tables"),
        ('[[case]]\nname = "n"\nsteps = [{ wait_ms = 1 }]\n', 1, "expect must be an array of one"),
        ('[[case]]\nexpect = [{ reg = { PC = 0 } }]\n', 1, "case: a name is missing"),
        (GOOD_CASE + GOOD_CASE, 5, "a second case named 'n'"),
        ('[[case]]\nname = "n"\nstep = []\nexpect = [{ reg = { PC = 0 } }]\n', 3,
         "case: unknown key 'step'"),
        ('[[case]]\nname = "n"\nsteps = [\n  { wait_ms = 1 },\n  { wiat_ms = 5 },\n]\n'
         'expect = [{ reg = { PC = 0 } }]\n', 5, "step 2: unknown key 'wiat_ms' (did you mean 'wait_ms'?); a step is one of type, tap"),
        ('[[case]]\nname = "n"\nsteps = [{ wait_ms = "300" }]\nexpect = [{ reg = { PC = 0 } }]\n',
         3, "wait_ms must be a whole number from 0 to 2**52, not '300'"),
        ('[[case]]\nname = "n"\nsteps = [{ tap = 300 }]\nexpect = [{ reg = { PC = 0 } }]\n', 3,
         "tap must be a whole number from 0 to 255, not 300"),
        ('[[case]]\nname = "n"\nsteps = [{ type = "1", tap = 5 }]\nexpect = [{ reg = { PC = 0 } }]\n',
         3, "this one has type, tap"),
        ('[[case]]\nname = "n"\nsteps = [{ tap = 5, hold = 9 }]\nexpect = [{ reg = { PC = 0 } }]\n',
         3, "step 1 (tap): unknown key 'hold' (did you mean 'hold_ms'?); known: tap, hold_ms"),
        ('[[case]]\nname = "n"\nexpect = [{ reg = { XY = 1 } }]\n', 3,
         "no register or flag named 'XY'"),
        ('[[case]]\nname = "n"\nexpect = [{ reg = { Z = 1 } }]\n', 3,
         "flag Z must be true or false, not 1"),
        ('[[case]]\nname = "n"\nexpect = [\n  { memory = "ram", at = 0x1FFF, bytes = [1, 2] },\n]\n',
         4, "2 bytes from 0x1fff go past the end of ram"),
        ('[[case]]\nname = "n"\nexpect = [{ memory = "vram", at = 0, bytes = [1] }]\n', 3,
         "no memory named 'vram'"),
        ('[[case]]\nname = "n"\nexpect = [{ memory = "ram", at = 0, bytes = [256] }]\n', 3,
         "bytes must be an array of whole numbers from 0 to 255"),
        ('[[case]]\nname = "n"\nexpect = [{ memory = "ram", at = 0 }]\n', 3,
         "give the bytes as exactly one of bytes, text or hex"),
        ('[[case]]\nname = "n"\nexpect = [{ text = "AB" }]\n', 3, "a text check needs a [font]"),
        ('[[case]]\nname = "n"\nexpect = [{ dots = ["#x"] }]\n', 3, "dots rows are made of '#'"),
        ('[[case]]\nname = "n"\nexpect = [{ dots = ["#"], x = 96 }]\n', 3,
         "x must be a whole number from 0 to 95, not 96"),
        ('[[case]]\nname = "n"\nexpect = [{ screen = "a.bmp" }]\n', 3,
         "a screen golden is a .png or a .txt file"),
        ('[[case]]\nname = "n"\nexpect = [{ dump = { R = 1 } }]\n', 3, "no number field 'R'"),
        ('[[case]]\nname = "n"\nsteps = [{ wait_until = { screen = "a.txt" } }]\n'
         'expect = [{ reg = { PC = 0 } }]\n', 3, "screen is not allowed here; a check here is one of memory, reg"),
        ('[font]\nmemory = "ext"\n' + GOOD_CASE, 1,
         "font at is missing"),
    ]

    def test_each_mistake_is_reported_with_its_line(self):
        for text, line, message in self.CASES:
            with self.subTest(message=message):
                path = os.path.join(self.dir, "broken.toml")
                with open(path, "w") as f:
                    f.write(text)
                status, out, err = self.run_tool(path)
                self.assertEqual(status, 2, out + err)
                self.assertIn("BROKEN", out)
                self.assertIn(f"broken.toml:{line}: ", err)
                self.assertIn(message, err)

    def test_a_malformed_golden_is_reported_in_the_golden(self):
        path = self.write("g.toml", '[[case]]\nname = "n"\nexpect = [{ screen = "g.txt" }]\n')
        with open(os.path.join(self.dir, "g.txt"), "w") as f:
            f.write(("." * 96 + "\n") * 3 + "..#\n")
        status, _, err = self.run_tool(path)
        self.assertEqual(status, 2)
        self.assertIn("g.txt:4: a golden row is 96 of '#' and '.'", err)

    def test_broken_files_do_not_stop_the_others_but_decide_the_status(self):
        good = self.write("good.toml", '[[case]]\nname = "n"\nsteps = [{ wait_ms = 20 }]\n'
                                       'expect = [{ reg = { S6 = 8 } }]\n')
        broken = self.write("bad.toml", "x = 1\n")
        junit = os.path.join(self.dir, "results.xml")
        status, out, _ = self.run_tool("--junit", junit, broken, good)
        self.assertEqual(status, 2)
        self.assertIn("FAIL   " + good, out)
        self.assertIn("1 cases: 0 passed, 1 failed; 1 broken test file", out)
        root = ElementTree.parse(junit).getroot()
        self.assertEqual((root.get("tests"), root.get("failures"), root.get("errors")),
                         ("2", "1", "1"))
        failure = root.find("./testsuite/testcase[@name='n']/failure")
        self.assertIn("S6 is 0x9, expected 0x8", failure.get("message"))

    def test_command_line_mistakes_exit_2(self):
        self.assertEqual(subprocess.run([RUNNER], capture_output=True).returncode, 2)
        done = subprocess.run([RUNNER, "--folder", "/no/such/folder", "x.toml"],
                              capture_output=True, text=True)
        self.assertEqual(done.returncode, 2)
        self.assertIn("not a folder", done.stderr)
        status, out, err = self.run_tool(os.path.join(self.dir, "missing.toml"))
        self.assertEqual(status, 2)
        self.assertIn("missing.toml:1: cannot be read", err)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]] + sys.argv[1:])
