"""The module's debugger over the break engine: breakpoints and watchpoints with conditions,
ignore counts, logs and Python callables, stepping, the stop reason, the call stack, the step
history and symbols.

Run by ctest with PYTHONPATH set to the module's folder and VELMORA_BUILD to the build folder.
"""

import os
import shutil
import sys
import tempfile
import unittest

import velmora

BUILD = os.environ["VELMORA_BUILD"]
CALCULATOR = os.path.join(BUILD, "calculator")

# A counter in r5 that calls a routine copying it to r70 on every round.
PROGRAM = velmora.assemble_program("""\
        org   &h0000
        ld    r5,&h00
        ldw   sp,&h2000
        jmp   start
        org   &h1800
start:  ad    r5,1
        cal   sub
        sjmp  start
sub:    ld    r70,r5
        rtn
""")
START, CALL, LOOP_BACK, SUB, RETURN = 0x1800, 0x1803, 0x1806, 0x1808, 0x180B


def start():
    velmora.start_from(rom0=PROGRAM.rom, rom1=PROGRAM.ext)
    velmora.clear_symbols()


class Breakpoints(unittest.TestCase):
    def setUp(self):
        start()

    def test_the_listing_is_as_the_addresses_say(self):
        texts = [i.text for i in velmora.disassemble(START, 5)]
        self.assertEqual(texts, ["ad r5,&H01", "cal &H1808", "sjmp &H1800", "ld r70,r5", "rtn"])

    def test_a_hit_ends_the_run_at_the_address(self):
        bp = velmora.set_breakpoint(SUB)
        velmora.run_ms(1000)
        stop = velmora.last_stop()
        self.assertEqual((stop.kind, stop.id, stop.pc), ("breakpoint", bp, SUB))
        self.assertEqual(velmora.reg["PC"], SUB)
        self.assertEqual(velmora.R[5], 1)
        self.assertEqual(velmora.elapsed_ms(), 10)  # the run ends with the tick of the stop
        self.assertEqual(velmora.dump()["STOP"], stop.text)
        self.assertIn("1808", stop.text)
        # The next run goes on from the stop, to the next hit.
        velmora.run_ms(1000)
        self.assertEqual(velmora.R[5], 2)
        self.assertEqual(velmora.breakpoints()[0].hits, 2)
        velmora.remove_breakpoint(bp)
        velmora.run_ms(20)
        self.assertIsNone(velmora.last_stop())
        self.assertNotIn("STOP", velmora.dump())
        self.assertEqual(velmora.elapsed_ms(), 40)

    def test_run_steps_stops_too(self):
        velmora.set_breakpoint(SUB)
        velmora.run_steps(1000)
        self.assertEqual(velmora.reg["PC"], SUB)
        self.assertEqual(velmora.dump()["STEPS"], 5)  # ld, ldw, jmp, ad, cal

    def test_conditions_ignore_counts_and_disabling(self):
        cases = [  # (condition, ignore, r5 at the stop)
            ("", 0, 1), ("R[5] == 7", 0, 7), ("", 3, 4), ("R[5] > 2", 2, 5), ("R[70] == R[5]", 0, None),
        ]
        for condition, ignore, r5 in cases:
            with self.subTest(condition=condition, ignore=ignore):
                start()
                velmora.set_breakpoint(SUB, condition, ignore=ignore)
                velmora.run_ms(50)
                if r5 is None:
                    self.assertIsNone(velmora.last_stop())
                else:
                    self.assertEqual(velmora.last_stop().kind, "breakpoint")
                    self.assertEqual(velmora.R[5], r5)
        start()
        bp = velmora.set_breakpoint(SUB, enabled=False)
        velmora.run_ms(20)
        self.assertIsNone(velmora.last_stop())
        velmora.enable_breakpoint(bp)
        velmora.run_ms(20)
        self.assertEqual(velmora.last_stop().id, bp)

    def test_a_logging_breakpoint_goes_on(self):
        velmora.set_breakpoint(SUB, "R[5] < 4", log="r5={R[5]:d} pc={PC}")
        velmora.run_ms(20)
        self.assertIsNone(velmora.last_stop())
        log = velmora.break_log()
        # r5 goes round from 255 to 0.
        self.assertEqual(log[:5], ["r5=1 pc=1808", "r5=2 pc=1808", "r5=3 pc=1808", "r5=0 pc=1808",
                                   "r5=1 pc=1808"])
        self.assertEqual(len(log), velmora.breakpoints()[0].hits)
        self.assertEqual(velmora.breakpoints()[0].log, "r5={R[5]:d} pc={PC}")
        velmora.clear_break_log()
        self.assertEqual(velmora.break_log(), [])

    def test_mistakes_are_refused_and_add_nothing(self):
        for call, error in [
            (lambda: velmora.set_breakpoint(SUB, "R[5] ==="), ValueError),
            (lambda: velmora.set_breakpoint(SUB, log="{R[5]"), ValueError),
            (lambda: velmora.set_breakpoint(0x10000), ValueError),
            (lambda: velmora.set_breakpoint("nowhere"), ValueError),
            (lambda: velmora.set_breakpoint(SUB, ignore=-1), ValueError),
            (lambda: velmora.remove_breakpoint(99), KeyError),
            (lambda: velmora.enable_breakpoint(99), KeyError),
            (lambda: velmora.set_watchpoint("ram:2000"), ValueError),
            (lambda: velmora.set_watchpoint("PC"), ValueError),
            (lambda: velmora.set_watchpoint("disk:1"), ValueError),
            (lambda: velmora.remove_watchpoint(99), KeyError),
        ]:
            with self.assertRaises(error):
                call()
        self.assertEqual((velmora.breakpoints(), velmora.watchpoints()), ([], []))


class Callbacks(unittest.TestCase):
    def setUp(self):
        start()

    def test_the_callable_decides_whether_to_stop(self):
        seen = []

        def on_hit(bp):
            seen.append((bp.id, bp.hits, velmora.R[5], velmora.reg["PC"]))
            return velmora.R[5] == 3

        bp = velmora.set_breakpoint(SUB, callback=on_hit)
        self.assertTrue(velmora.breakpoints()[0].has_callback)
        velmora.run_ms(1000)
        self.assertEqual(seen, [(bp, 1, 1, SUB), (bp, 2, 2, SUB), (bp, 3, 3, SUB)])
        self.assertEqual(velmora.last_stop().kind, "breakpoint")

    def test_a_callable_that_never_stops_leaves_the_run_as_it_was(self):
        velmora.run_ms(300)
        plain = velmora.dump()
        start()
        calls = []
        velmora.set_breakpoint(SUB, callback=lambda bp: calls.append(bp.hits))
        velmora.run_ms(300)
        self.assertEqual(velmora.dump(), plain)
        self.assertEqual(len(calls), velmora.breakpoints()[0].hits)
        self.assertGreater(len(calls), 1000)

    def test_an_exception_stops_the_run_and_is_raised(self):
        def broken(bp):
            if bp.hits == 2:
                raise ZeroDivisionError("in the callable")
            return False

        velmora.set_breakpoint(SUB, callback=broken)
        with self.assertRaises(ZeroDivisionError):
            velmora.run_ms(1000)
        self.assertEqual((velmora.reg["PC"], velmora.R[5]), (SUB, 2))
        velmora.clear_breakpoints()
        velmora.run_ms(20)  # nothing is left pending
        self.assertIsNone(velmora.last_stop())

    def test_the_machine_cannot_be_run_from_a_callable(self):
        for inner in [lambda: velmora.run_ms(10), lambda: velmora.run_steps(1),
                      lambda: velmora.start_from(), lambda: velmora.tap(5),
                      lambda: velmora.load_state(velmora.save_state()),
                      lambda: velmora.step_out(), lambda: velmora.run_to(START)]:
            with self.subTest():
                start()
                velmora.set_breakpoint(SUB, callback=lambda bp, inner=inner: inner())
                with self.assertRaises(ValueError):
                    velmora.run_ms(100)
                self.assertEqual(velmora.reg["PC"], SUB)
                velmora.clear_breakpoints()
                velmora.run_ms(20)  # no step was left armed
                self.assertIsNone(velmora.last_stop())

    def test_watchpoints_hand_the_values_to_the_callable(self):
        seen = []

        def on_write(wp, stop):
            seen.append((wp.area, stop.address, stop.old, stop.new, stop.access_pc))
            return stop.new == 3

        wp = velmora.set_watchpoint("reg:r70", callback=on_write)
        velmora.run_ms(1000)
        self.assertEqual(seen, [("reg", 70, 0, 1, SUB), ("reg", 70, 1, 2, SUB),
                                ("reg", 70, 2, 3, SUB)])
        stop = velmora.last_stop()
        self.assertEqual((stop.kind, stop.id, stop.old, stop.new), ("watchpoint", wp, 2, 3))
        self.assertEqual(velmora.watchpoints()[0].hits, 3)


class Watchpoints(unittest.TestCase):
    def setUp(self):
        start()

    def test_a_write_stops_the_run(self):
        wp = velmora.set_watchpoint("reg:r70")
        velmora.run_ms(1000)
        stop = velmora.last_stop()
        self.assertEqual((stop.kind, stop.id, stop.area, stop.address, stop.old, stop.new,
                          stop.access_pc, stop.read), ("watchpoint", wp, "reg", 70, 0, 1, SUB,
                                                       False))
        self.assertEqual(velmora.reg["PC"], RETURN)
        listed = velmora.watchpoints()[0]
        self.assertEqual((listed.area, listed.first, listed.last, listed.access),
                         ("reg", 70, 70, "w"))
        velmora.remove_watchpoint(wp)
        velmora.run_ms(20)
        self.assertIsNone(velmora.last_stop())

    @unittest.skipUnless(os.path.isfile(os.path.join(CALCULATOR, "rom0.bin")),
                         "no default calculator in the build")
    def test_a_ram_write_of_the_firmware(self):
        velmora.start(CALCULATOR)
        velmora.run_ms(1000)
        writes = []

        def on_write(wp, stop):
            writes.append(stop.new)
            return stop.new == ord("7")

        velmora.set_watchpoint("ram:0110", callback=on_write)  # the expression line's first character
        velmora.type("7")
        stop = velmora.last_stop()
        self.assertEqual((stop.kind, stop.area, stop.address), ("watchpoint", "ram", 0x110))
        self.assertEqual((velmora.ram[0x110], writes[-1]), (ord("7"), ord("7")))
        self.assertEqual(velmora.watchpoints()[0].hits, len(writes))


class Stepping(unittest.TestCase):
    def setUp(self):
        start()
        velmora.set_breakpoint(CALL)
        velmora.run_ms(100)
        velmora.clear_breakpoints()
        self.assertEqual(velmora.reg["PC"], CALL)

    def test_step_over_a_call_and_a_plain_instruction(self):
        self.assertTrue(velmora.step_over())
        self.assertEqual(velmora.last_stop().kind, "step_over")
        self.assertEqual((velmora.reg["PC"], velmora.R[70]), (LOOP_BACK, 1))
        self.assertTrue(velmora.step_over())  # sjmp: one step
        self.assertEqual(velmora.reg["PC"], START)

    def test_step_out_and_the_call_stack(self):
        velmora.run_steps(1)  # into the call
        frames = velmora.call_stack()
        self.assertEqual([(f.call_site, f.return_address) for f in frames], [(CALL, LOOP_BACK)])
        self.assertEqual(frames[0].stack_address, 0x1FFE)
        self.assertTrue(velmora.step_out())
        self.assertEqual(velmora.last_stop().kind, "step_out")
        self.assertEqual(velmora.reg["PC"], LOOP_BACK)
        self.assertEqual(velmora.call_stack(), [])

    def test_run_to_and_its_timeout(self):
        self.assertTrue(velmora.run_to(RETURN))
        self.assertEqual((velmora.last_stop().kind, velmora.reg["PC"]), ("run_to", RETURN))
        self.assertFalse(velmora.run_to(0x3000, timeout_ms=50))
        self.assertIsNone(velmora.last_stop())
        velmora.run_ms(20)  # the run to is dropped
        self.assertIsNone(velmora.last_stop())
        with self.assertRaises(ValueError):
            velmora.run_to(RETURN, timeout_ms=-1)

    def test_a_breakpoint_on_the_way_ends_a_step(self):
        velmora.set_breakpoint(RETURN)
        self.assertTrue(velmora.step_over())
        self.assertEqual((velmora.last_stop().kind, velmora.reg["PC"]), ("breakpoint", RETURN))

    def test_the_history_holds_the_last_steps_when_kept(self):
        velmora.clear_history()
        velmora.run_steps(5)
        self.assertEqual(velmora.history(), [])  # not kept unless asked for
        velmora.keep_history()
        start()  # the choice holds across start-ups
        velmora.run_steps(4)  # to the call
        velmora.clear_history()
        velmora.run_steps(5)
        self.assertEqual([h.pc for h in velmora.history()], [CALL, SUB, RETURN, LOOP_BACK, START])
        self.assertEqual([h.pc for h in velmora.history(2)], [LOOP_BACK, START])
        self.assertTrue(all(h.cycles > 0 for h in velmora.history()))
        velmora.keep_history(False)
        velmora.clear_history()
        velmora.run_steps(5)
        self.assertEqual(velmora.history(), [])


class Symbols(unittest.TestCase):
    def setUp(self):
        start()

    def test_the_program_labels_name_the_addresses(self):
        self.assertEqual(PROGRAM.labels, {"start": START, "sub": SUB})
        for name, address in PROGRAM.labels.items():
            velmora.add_symbol(name, address)
        self.assertEqual(velmora.describe(RETURN), "sub+3")

    def test_names_for_addresses_everywhere(self):
        folder = tempfile.mkdtemp(prefix="velmora-py-")
        try:
            path = os.path.join(folder, "p.sym")
            with open(path, "w") as f:
                f.write("; the test program\n1800 start\n1808 sub\n")
            self.assertEqual(velmora.load_symbols(path), 2)
            self.assertEqual(velmora.symbols(), {"start": START, "sub": SUB})
            self.assertEqual((velmora.describe(SUB + 3), velmora.describe(0x100)), ("sub+3", ""))
            bp = velmora.set_breakpoint("sub+3")
            velmora.run_ms(100)
            self.assertEqual((velmora.last_stop().id, velmora.reg["PC"]), (bp, RETURN))
            self.assertIn("sub+3", velmora.last_stop().text)
            self.assertTrue(velmora.run_to("start"))
            self.assertEqual(velmora.evaluate("sub - start + R[5]"), 8 + 1)
            with open(path, "w") as f:
                f.write("1800 start\nbroken line\n")
            with self.assertRaises(ValueError):
                velmora.load_symbols(path)
            self.assertEqual(velmora.symbols(), {})
            with self.assertRaises(OSError):
                velmora.load_symbols(os.path.join(folder, "missing.sym"))
        finally:
            shutil.rmtree(folder, ignore_errors=True)
        velmora.add_symbol("loop", START)
        self.assertEqual(velmora.symbols(), {"loop": START})
        with self.assertRaises(ValueError):
            velmora.evaluate("R[5] +")


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"] + sys.argv[1:])
