"""The module's code tools and save states: disassemble, assemble, assemble_program,
save_state and load_state, against velmora-asm, velmora-headless and the machine.

Run by ctest with PYTHONPATH set to the module's folder and VELMORA_BUILD to the build folder.
"""

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

# A program that touches many operand formats, in both code memories.
SOURCE = """\
        org     &h0000
        ld      r5,&h42
        jmp     far
        org     &h1800
far:    ld      r6,r70
        ld      r5,(ix)+
        st      (iy+&h10),r7
        adm     r8..r11,r72..r75
        sbm     r8..r11,5
        pst     ie,&h80
        gst     r9,ky
        ldw     sp,&h1234
        sjmp    nz,far
        cal     c,far
        stlm    -(sp),r8..r15
        rtn     z
        nop
        db      1,2
"""


class Disassembly(unittest.TestCase):
    def setUp(self):
        program = velmora.assemble_program(SOURCE)
        velmora.start_from(rom0=program.rom, rom1=program.ext)

    def test_records_follow_the_code_and_assemble_back(self):
        records = velmora.disassemble(0x1800, 13)
        self.assertEqual([r.address for r in records[1:]], [r.next for r in records[:-1]])
        first = records[0]
        self.assertEqual((first.address, first.length, first.bytes, first.next),
                         (0x1800, 3, bytes([0x21, 0x86, 0xC0]), 0x1803))
        self.assertEqual((first.mnemonic, first.operands, first.text),
                         ("ld", "r6,r70", "ld r6,r70"))
        self.assertEqual(first.row, "1800: ld    r6,r70")
        self.assertEqual(records[10].mnemonic, "stlm")
        self.assertEqual(records[12].text, "nop")
        self.assertEqual(records[12].operands, "")
        for r in records:
            with self.subTest(row=r.row):
                self.assertEqual(len(r.bytes), r.length)
                self.assertEqual(bytes(velmora.ext[r.address:r.address + r.length]), r.bytes)
                self.assertEqual(velmora.assemble(r.text, r.address), r.bytes)
                self.assertTrue(0 <= r.index < 736)

    def test_internal_words_and_the_wrap(self):
        word0, word1 = velmora.disassemble(0, 2)
        self.assertEqual((word0.text, word0.next), ("ld r5,&H42", 1))
        self.assertEqual((word1.text, word1.next), ("jmp &H1800", 2))
        # The walk ends after the instruction at which the address wraps past 0xFFFF.
        self.assertEqual(len(velmora.disassemble(0xFFFE, 10)), 1)
        self.assertEqual(velmora.disassemble(0x1800, 0), [])
        tail = velmora.disassemble(0x8000, 10**9)
        self.assertLess(tail[-1].next, tail[-1].address)
        self.assertTrue(all(r.next > r.address for r in tail[:-1]))

    def test_disassembling_changes_nothing(self):
        velmora.reg["PC"] = 0x1803
        before = velmora.dump()
        velmora.disassemble(0x1800, 50)
        self.assertEqual(velmora.dump(), before)

    def test_bad_arguments_are_refused(self):
        for address, count in [(-1, 1), (0x10000, 1), (0x1800, -1)]:
            with self.assertRaises(ValueError):
                velmora.disassemble(address, count)


class OneLine(unittest.TestCase):
    def test_bytes_and_errors_agree_with_velmora_asm(self):
        cases = [  # line, page
            ("ld r5,&h12", 0), ("LD R5,&H12", 0), ("st (ix+&h100),r5", 0),
            ("sjmp &h1234", 0x1200), ("db 1,2,3", 0), ("db", 0), ("; a comment", 0),
            ("swp r70", 0), ("jmp 99999", 0), ("rtn nz", 0), ("jmp 70000", 0), ("xc r5", 0),
        ]
        for line, page in cases:
            with self.subTest(line=line):
                out = subprocess.run([ASSEMBLER, "--line", line, "--page", f"{page:X}"],
                                     capture_output=True, text=True).stdout.split()
                if out[:2] == ["error", "at"]:
                    with self.assertRaises(velmora.AssemblyError) as caught:
                        velmora.assemble(line, page)
                    self.assertEqual(caught.exception.errors[0].column, int(out[2]))
                else:
                    self.assertEqual(velmora.assemble(line, page), bytes(int(b, 16) for b in out))

    def test_errors_carry_the_column_and_point_at_it(self):
        cases = [  # line, page, column, words in the message
            ("ld r5,(ix )", 0, 11, "stopped at ')'"),
            ("st (ix+0),r5", 0, 9, "cannot assemble 'st'"),
            ("frob r5", 0, 1, "unknown instruction"),
            ("sjmp &h1334", 0x1200, 12, "stopped at the end of the line"),
            ("db 1,2,3,4", 0, 10, "cannot assemble 'db'"),
            ("ld", 0, 3, "at the end of the line"),
        ]
        for line, page, column, words in cases:
            with self.subTest(line=line):
                with self.assertRaises(velmora.AssemblyError) as caught:
                    velmora.assemble(line, page)
                error = caught.exception
                self.assertIsInstance(error, ValueError)
                self.assertEqual([(e.line, e.column) for e in error.errors], [(1, column)])
                self.assertIn(words, error.errors[0].message)
                # The source line, then a caret under the column.
                text = str(error).split("\n")
                self.assertEqual(text[-2].strip(), line)
                self.assertEqual(text[-1].index("^") - text[-2].index(line), column - 1)

    def test_a_long_line_is_read_whole(self):
        self.assertEqual(velmora.assemble(" " * 70 + "nop"), b"\xEF")
        with self.assertRaises(velmora.AssemblyError) as caught:
            velmora.assemble("nop" + " " * 70 + "x")
        self.assertEqual(caught.exception.errors[0].column, 74)
        with self.assertRaises(ValueError):
            velmora.assemble("nop", 0x10000)


class WholePrograms(unittest.TestCase):
    def test_images_agree_with_velmora_asm_and_run(self):
        program = velmora.assemble_program(SOURCE)
        folder = tempfile.mkdtemp(prefix="velmora-py-")
        try:
            source = os.path.join(folder, "p.asm")
            with open(source, "w") as f:
                f.write(SOURCE)
            listing = os.path.join(folder, "p.lst")
            subprocess.run([ASSEMBLER, source, "-o", folder, "-l", listing], check=True)
            for name, image in [("rom0.bin", program.rom), ("rom1.bin", program.ext)]:
                with open(os.path.join(folder, name), "rb") as f:
                    self.assertEqual(f.read(), image, name)
            with open(listing) as f:
                self.assertEqual(f.read(), program.listing)
        finally:
            shutil.rmtree(folder, ignore_errors=True)
        velmora.start_from(rom0=program.rom, rom1=program.ext)
        velmora.reg["IX"] = 0x0100
        velmora.R[70] = 0x17
        velmora.run_steps(4)  # ld, jmp, ld r6,r70, ld r5,(ix)+
        self.assertEqual(velmora.reg["PC"], 0x1805)
        self.assertEqual(velmora.R[6], 0x17)
        self.assertEqual(velmora.reg["ix"], 0x0101)

    def test_every_error_with_its_line(self):
        source = "        org &h1800\n  ld r5,300\n  frob\nok: nop\n  jmp nowhere\n"
        with self.assertRaises(velmora.AssemblyError) as caught:
            velmora.assemble_program(source)
        errors = caught.exception.errors
        lines = [e.line for e in errors]
        self.assertEqual(lines, sorted(lines))
        self.assertIn(3, lines)
        self.assertTrue(all(e.column >= 1 and e.message for e in errors))
        text = str(caught.exception)
        self.assertTrue(text.startswith(f"{len(errors)} error"))
        self.assertIn("line 3, column 3: unknown instruction", text)
        self.assertIn("\n      frob\n      ^", text)


class SaveStates(unittest.TestCase):
    def setUp(self):
        program = velmora.assemble_program(
            "        org &h1800\nloop:   adm r8..r11,r72..r75\n        pst ie,&h80\n"
            "        sjmp loop\n")
        self.rom0, self.rom1 = program.rom, program.ext
        velmora.start_from(rom0=self.rom0, rom1=self.rom1)
        velmora.reg["PC"] = 0x1800
        velmora.R[72] = 3

    def test_a_loaded_state_runs_on_as_the_saved_machine(self):
        velmora.run_ms(200)
        state = velmora.save_state()
        velmora.run_ms(300)
        after, lcd = velmora.dump(), velmora.lcd_text()
        velmora.ram[5] = 0x99
        velmora.reg["PC"] = 0
        self.assertEqual(velmora.load_state(state), [])
        self.assertEqual(velmora.ram[5], 0)
        velmora.run_ms(300)
        self.assertEqual(velmora.dump(), after)
        self.assertEqual(velmora.lcd_text(), lcd)
        self.assertEqual(velmora.save_state()[:4], state[:4])

    def test_a_refused_state_changes_nothing(self):
        velmora.run_ms(100)
        state = bytearray(velmora.save_state())
        velmora.run_ms(100)
        before, ram = velmora.dump(), bytes(velmora.ram)
        damaged = [b"", b"junk", bytes(state[:len(state) // 2]),
                   bytes(state[:40]) + bytes([state[40] ^ 1]) + bytes(state[41:])]
        for data in damaged:
            with self.subTest(size=len(data)):
                with self.assertRaises(ValueError) as caught:
                    velmora.load_state(data)
                self.assertTrue(str(caught.exception).startswith("cannot load the state: "))
                self.assertEqual(velmora.dump(), before)
                self.assertEqual(bytes(velmora.ram), ram)

    def test_other_code_images_load_with_a_warning(self):
        state = velmora.save_state()
        velmora.start_from(rom0=self.rom0, rom1=self.rom1[:-1] + b"\x01")
        warnings = velmora.load_state(memoryview(state))
        self.assertEqual(len(warnings), 1)
        self.assertIn("rom1.bin", warnings[0])
        self.assertEqual(velmora.ext[0x7FFF], 1)  # the code images stay

    def test_states_pass_between_the_module_and_velmora_headless(self):
        folder = tempfile.mkdtemp(prefix="velmora-py-")
        try:
            for name, image in [("rom0.bin", self.rom0), ("rom1.bin", self.rom1)]:
                with open(os.path.join(folder, name), "wb") as f:
                    f.write(image)
            path = os.path.join(folder, "s.vst")
            velmora.run_ms(250)
            with open(path, "wb") as f:
                f.write(velmora.save_state())
            out = subprocess.run([HEADLESS, "--load-state", path, "--ms", "500", "--dump",
                                  "--save-state", path], cwd=folder, capture_output=True,
                                 text=True, check=True).stdout
            velmora.run_ms(500)
            self.assertEqual(velmora.dump(), json.loads(out))
            velmora.reg["PC"] = 0
            with open(path, "rb") as f:
                self.assertEqual(velmora.load_state(f.read()), [])
            self.assertEqual(velmora.dump(), json.loads(out))
        finally:
            shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"] + sys.argv[1:])
