"""The Velmora calculator emulator, driven from Python.

There is one emulated machine per process: every function and attribute here acts on it.
Start it with start(folder) or start_from(...), run it with run_ms/run_steps, press keys with
tap/type/press/release, and read or change registers, flags and memories at any time.
"""

import os
from collections.abc import Callable, Iterator
from typing import Any, Optional, Union

_Path = Union[str, os.PathLike[str]]
_Bytes = Union[bytes, bytearray, memoryview]

# --- Start-up -----------------------------------------------------------------------------------

def start(folder: _Path = ".") -> list[str]:
    """Start the machine as the programs do in FOLDER: velmora.ini, then keymap.dat, rom0.bin,
    rom1.bin, ram.bin and register.bin from that folder, then the power reset. Resets
    everything first, the emulated clock included. Returns the warnings (such as
    "Failed to load the file rom0.bin") as a list of strings."""

def start_from(
    *,
    rom0: _Bytes = b"",
    rom1: _Bytes = b"",
    ram: Optional[_Bytes] = None,
    register: Optional[_Bytes] = None,
    keymap: Optional[_Bytes] = None,
    osc_freq: int = 2000,
    self_test: int = 0,
) -> None:
    """Start the machine from images in memory, each copied as its file would be read: its
    first bytes, up to the size of the memory; what is missing stays zero. No file is read.
    osc_freq is in kHz; self_test the refresh ticks of the self-test hold."""

def power_reset() -> None:
    """The power switch's reset: LCD controller, self-test hold, processor. Memories stay."""

# --- Runs and keys --------------------------------------------------------------------------------

def run_steps(n: int) -> None:
    """Run N steps, unpaced (as velmora-headless --steps). No emulated time passes. A
    breakpoint or watchpoint that stops ends the run there (see last_stop())."""

def run_ms(ms: int) -> None:
    """Run MS milliseconds of emulated time as velmora-headless --ms runs them: a run tick
    every 10 ms, a refresh tick after every 5th. A rest below 10 ms counts towards the next
    run, so run_ms(15) twice is run_ms(30). A breakpoint or watchpoint that stops ends the
    run with the tick of the stop (see last_stop())."""

def press(code: int) -> None:
    """Press the key with that key code (held, as a PC key, until released)."""

def release(code: Optional[int] = None) -> None:
    """Release the held key (only if it is CODE, when a code is given)."""

def tap(code: int, hold_ms: int = 100) -> None:
    """Press key CODE, run HOLD_MS milliseconds, release it and run 100 ms more, so the
    firmware sees the key go up before whatever comes next."""

def type(text: str) -> None:
    """Type TEXT through the key map, paced as velmora-headless --type: character i is pressed
    500 + 200 i ms from now and held 100 ms. A newline (or backslash and n) is Enter. Runs
    until 100 ms after the last release, that is 500 + 200 * len ms (nothing for an empty
    text)."""

def elapsed_ms() -> int:
    """Emulated milliseconds run since the start-up."""

# --- Registers, flags, memories -------------------------------------------------------------------

class Registers:
    """The registers by name (any case): PC LA KC KI IE DS AS PD PE S4 S5 S6 S7 S8 TM, the
    flag register F and the pointer registers ix iy iz v3 v2 v1 v0 sp. A write keeps the bits
    of the register's mask, as the debug window does (7-bit registers keep 7 bits)."""

    def __getitem__(self, name: str) -> int: ...
    def __setitem__(self, name: str, value: int) -> None: ...
    def __contains__(self, name: object) -> bool: ...
    def __len__(self) -> int: ...
    def __iter__(self) -> Iterator[str]: ...
    def keys(self) -> list[str]: ...
    def items(self) -> list[tuple[str, int]]: ...

class Flags:
    """The flags of F by name (C H V Z UZ LZ), as booleans."""

    def __getitem__(self, name: str) -> bool: ...
    def __setitem__(self, name: str, value: bool) -> None: ...
    def __len__(self) -> int: ...
    def __iter__(self) -> Iterator[str]: ...

reg: Registers
"""The registers: reg["PC"], reg["sp"] = 0x2000."""
flags: Flags
"""The flags: flags["Z"], flags["C"] = True."""
R: memoryview
"""The main register file, 128 bytes, writable: R[0x38] is the low byte of ix."""
ram: memoryview
"""The RAM (area 3), 8192 bytes, writable."""
ext: memoryview
"""The external memory (area 0, code from 0x1800), 32768 bytes, writable (a code patch)."""
rom: memoryview
"""The internal ROM, 6144 words of 3 bytes (word w at 3w), writable (a code patch)."""
keymap: memoryview
"""The key map, 128 bytes: byte c is the key code of character c."""
frame_buffer: memoryview
"""The LCD controller's frame buffer, 768 bytes, read-only: row r at 12r, row 0 the bottom."""

def patch(address: int, data: _Bytes) -> None:
    """Write the bytes of one instruction (1 to 3) at a code address as the debug window's
    listing does: below 0x1800 over the start of that internal-ROM word, above into
    consecutive external-memory bytes."""

# --- Display, dump, files -------------------------------------------------------------------------

def lcd_rows() -> list[bytes]:
    """The LCD as 64 rows (top first) of 96 dots (left first): bytes of 1 (dark) and 0."""

def lcd_text() -> str:
    """The LCD as velmora-headless --lcd-text prints it: 64 lines of 96 '#' and '.'."""

def lcd_rgb() -> bytes:
    """One more redraw, then the 192 x 128 LCD picture as RGB bytes (3 a pixel, rows top
    first)."""

def lcd_png(path: _Path) -> None:
    """One more redraw, then the LCD picture as a 192 x 128 PNG file. OSError if it cannot be
    written."""

def read_png(path: _Path) -> tuple[int, int, bytes]:
    """A PNG file as (width, height, RGB bytes): for comparing with lcd_rgb()."""

def dump() -> dict[str, Any]:
    """The machine state with the fields of velmora-headless --dump, as a dict: the special
    registers, IRQ ISR OFF WAIT, STEPS CYCLES BALANCE, the LCD counters, R (a list of 128
    ints) and FB (the frame buffer as hex digits)."""

def save_images(folder: Optional[_Path] = None) -> None:
    """Write ram.bin and register.bin as the program does at close, into FOLDER or the folder
    of start() (the current directory after start_from()). Raises OSError if one could not
    be written."""

# --- Disassembler and assemblers ----------------------------------------------------------------

class Instruction:
    """One instruction as the disassembler reads it (see disassemble)."""

    @property
    def address(self) -> int:
        """Its code address: below 0x1800 an internal-ROM word, above an external byte."""
    @property
    def next(self) -> int:
        """Where PC stands once the instruction's bytes are read: the next instruction."""
    @property
    def length(self) -> int:
        """Its bytes, 1 to 3 (an internal-ROM word holds 3 whatever the length)."""
    @property
    def bytes(self) -> bytes:
        """Its bytes in storage order (length of them)."""
    @property
    def index(self) -> int:
        """The opcode index, 0 to 735, that selects its handler."""
    @property
    def mnemonic(self) -> str:
        """The mnemonic as the listing writes it ("stlm" included)."""
    @property
    def operands(self) -> str:
        """The operand text as the listing writes it (empty for none)."""
    @property
    def text(self) -> str:
        """Mnemonic and operands, one blank between: a line assemble() takes."""
    @property
    def row(self) -> str:
        """The listing row: address, mnemonic from column 6, operands from column 12."""

def disassemble(address: int, count: int = 1) -> list[Instruction]:
    """Up to COUNT instructions from ADDRESS on, each where the one before ended, as
    Instruction records; the walk stops after the instruction at which the address wraps past
    0xFFFF. Reads the code memories only: PC and the rest of the machine stay as they are."""

class ProgramError:
    """One error of the assembler: where and what."""

    @property
    def line(self) -> int:
        """The 1-based source line."""
    @property
    def column(self) -> int:
        """The 1-based column at which the assembler stopped (one past the end of the line
        when the line ended too early)."""
    @property
    def message(self) -> str:
        """What is wrong."""

class AssemblyError(ValueError):
    """A line or a program the assembler refused. str() shows each error with its source line
    and a caret under the column; .errors lists them as ProgramError records."""

    errors: list[ProgramError]

def assemble(line: str, page: int = 0) -> bytes:
    """The bytes of one line of the listing's notation (an instruction, or db with up to three
    bytes; an empty line or a comment gives b""). PAGE is the address the bytes will be stored
    at: the short jumps (sjmp, scal) must stay in its 256-address page. Raises AssemblyError
    with the column at which the assembler stopped."""

class Program:
    """An assembled program (see assemble_program)."""

    @property
    def rom(self) -> bytes:
        """The internal ROM image (rom0.bin): 6144 words of 3 bytes, unused bytes 0."""
    @property
    def ext(self) -> bytes:
        """The external memory image (rom1.bin): 32768 bytes, unused bytes 0."""
    @property
    def labels(self) -> dict[str, int]:
        """The program's labels (not equ names) as a dict of name to address, by address: for
        add_symbol."""
    @property
    def listing(self) -> str:
        """The listing as velmora-asm -l writes it: address, bytes, source line."""

def assemble_program(source: str) -> Program:
    """Assemble a whole program as velmora-asm does (labels, equ, org, db/dw, expressions).
    Returns a Program whose rom and ext go to start_from(rom0=..., rom1=...). Raises
    AssemblyError listing every error (up to a few dozen) with its line and column."""

# --- Save states ----------------------------------------------------------------------------------

def save_state() -> bytes:
    """The whole machine as the bytes of a state file (the format of velmora-headless
    --save-state and the desktop program's slots), with the STEPS and CYCLES counts of the
    dump."""

def load_state(state: _Bytes) -> list[str]:
    """Replace the machine with a state from save_state() or a state file's bytes. Every part
    is checked first: a damaged or foreign state raises ValueError and changes nothing. The
    code images stay those of the machine; returns the warnings (a state saved with other code
    images, or at another oscillator frequency) as a list of strings. The emulated clock of
    elapsed_ms() goes on; STEPS and CYCLES continue from the state's."""

# --- Breakpoints, watchpoints, stepping, symbols ------------------------------------------------

class Breakpoint:
    """A breakpoint (see set_breakpoint)."""

    @property
    def id(self) -> int:
        """Its number, given when it was set."""
    @property
    def address(self) -> int:
        """The code address it watches."""
    @property
    def enabled(self) -> bool:
        """Whether it is checked."""
    @property
    def condition(self) -> str:
        """The condition as given (empty: always)."""
    @property
    def ignore(self) -> int:
        """Hits still to pass over."""
    @property
    def hits(self) -> int:
        """Times reached with the condition holding (this hit included)."""
    @property
    def log(self) -> Optional[str]:
        """The log line's format of a logging breakpoint, else None."""
    @property
    def has_callback(self) -> bool:
        """Whether a callable decides on its hits."""

class Watchpoint:
    """A watchpoint (see set_watchpoint)."""

    @property
    def id(self) -> int:
        """Its number, given when it was set (one counter with the breakpoints)."""
    @property
    def area(self) -> str:
        """'ram', 'reg' (the register file) or 'special' (a special register)."""
    @property
    def first(self) -> int:
        """First address or register number (for 'special', the register's index)."""
    @property
    def last(self) -> int:
        """Last address or register number, inclusive."""
    @property
    def access(self) -> str:
        """'w' (a write that changes a byte), 'r' (a read, RAM only) or 'rw'."""
    @property
    def enabled(self) -> bool:
        """Whether it is checked."""
    @property
    def hits(self) -> int:
        """Times it was hit."""
    @property
    def has_callback(self) -> bool:
        """Whether a callable decides on its hits."""
    @property
    def text(self) -> str:
        """As the debugger lists it: 'RAM 0180-0189 w', 'R05 rw', 'KC w'."""

class Stop:
    """Why the processor stopped (see last_stop)."""

    @property
    def kind(self) -> str:
        """'breakpoint', 'watchpoint', 'step_over', 'step_out', 'run_to', 'step', 'pause',
        'step_count' or 'break_address'."""
    @property
    def id(self) -> int:
        """The breakpoint's or watchpoint's id."""
    @property
    def pc(self) -> int:
        """PC at the stop."""
    @property
    def area(self) -> str:
        """Watchpoints: 'ram', 'reg' or 'special'."""
    @property
    def address(self) -> int:
        """Watchpoints: the byte address, register number or special register's index."""
    @property
    def old(self) -> int:
        """Watchpoints: the value before the step."""
    @property
    def new(self) -> int:
        """Watchpoints: the value after it."""
    @property
    def access_pc(self) -> int:
        """Watchpoints: the address of the instruction that wrote or read."""
    @property
    def read(self) -> bool:
        """Watchpoints: a read rather than a write."""
    @property
    def text(self) -> str:
        """The reason as the dump's STOP says it: 'breakpoint 2 at loop+3 (1A2B)'."""

class Frame:
    """One return address on the stack (see call_stack)."""

    @property
    def stack_address(self) -> int:
        """Where the return address lies in RAM (its high byte)."""
    @property
    def return_address(self) -> int:
        """Where the routine returns."""
    @property
    def call_site(self) -> int:
        """The call (or trp) that pushed it."""

class HistoryEntry:
    """One executed step (see history)."""

    @property
    def pc(self) -> int:
        """The address of the step's instruction."""
    @property
    def f(self) -> int:
        """The flags after it."""
    @property
    def cycles(self) -> int:
        """Its cycles."""

def set_breakpoint(
    address: Union[int, str],
    condition: str = "",
    *,
    ignore: int = 0,
    log: Optional[str] = None,
    callback: Optional[Callable[[Breakpoint], object]] = None,
    enabled: bool = True,
) -> int:
    """Set a breakpoint at a code ADDRESS (a number, or a text: a symbol, name+N, or a
    hexadecimal number) and return its id. It is hit when PC reaches the address after a step,
    CONDITION (an expression: "R[5] == 3 && Z") holds and IGNORE earlier hits have passed. A
    hit stops the run (run_ms and the rest return early; last_stop() says why), or with LOG (a
    line with {expression} fields) appends a line to break_log() and goes on. With CALLBACK,
    the callable decides: callback(bp: Breakpoint) is called on each hit and a true value
    stops, anything else goes on. An exception in it stops the run and is raised by the run
    function."""

def remove_breakpoint(id: int) -> None:
    """Remove a breakpoint (KeyError if there is none with that id)."""

def enable_breakpoint(id: int, enabled: bool = True) -> None:
    """Enable or disable a breakpoint (KeyError if there is none with that id)."""

def breakpoints() -> list[Breakpoint]:
    """The breakpoints, in the order set."""

def clear_breakpoints() -> None:
    """Remove every breakpoint."""

def break_log() -> list[str]:
    """The lines of logging breakpoints, oldest first (the last 1000)."""

def clear_break_log() -> None:
    """Forget the lines of break_log()."""

def set_watchpoint(
    where: str,
    *,
    callback: Optional[Callable[[Watchpoint, Stop], object]] = None,
    enabled: bool = True,
) -> int:
    """Set a watchpoint and return its id. WHERE as the debugger takes it: "ram:0180",
    "ram:0180-0189:rw" (RAM, hexadecimal or symbols; :r, :w or :rw, w by default), "reg:r5" or
    "reg:05-07" (the register file), or a special register's name ("KC", "IE:w"). A write is
    seen when it changes the byte; reads are watched in RAM only. A hit stops the run, or with
    CALLBACK the callable decides: callback(wp: Watchpoint, stop: Stop) gets the old and new
    values in stop; a true value stops."""

def remove_watchpoint(id: int) -> None:
    """Remove a watchpoint (KeyError if there is none with that id)."""

def enable_watchpoint(id: int, enabled: bool = True) -> None:
    """Enable or disable a watchpoint (KeyError if there is none with that id)."""

def watchpoints() -> list[Watchpoint]:
    """The watchpoints, in the order set."""

def clear_watchpoints() -> None:
    """Remove every watchpoint."""

def step_over(timeout_ms: int = 10000) -> bool:
    """Step over the instruction at PC: a call (cal, scal) or trp runs until it has returned,
    any other instruction is one step. Runs paced, as run_ms, for at most TIMEOUT_MS of
    emulated time. True when it stopped (done, or at a breakpoint or watchpoint on the way:
    see last_stop()); False when the time ran out."""

def step_out(timeout_ms: int = 10000) -> bool:
    """Run until a return takes the processor out of the routine it is in (or a breakpoint or
    watchpoint stops it), for at most TIMEOUT_MS of emulated time. True when it stopped."""

def run_to(address: Union[int, str], timeout_ms: int = 10000) -> bool:
    """Run until PC reaches ADDRESS (a number or a text as set_breakpoint takes) after at
    least one step, or a breakpoint or watchpoint stops it, for at most TIMEOUT_MS of emulated
    time. True when it stopped."""

def last_stop() -> Optional[Stop]:
    """Why the last run stopped, as a Stop, or None when it ran to its end. Every run (run_ms,
    run_steps, tap, type, step_over, step_out, run_to) forgets the stop before it."""

def call_stack(max_depth: int = 64) -> list[Frame]:
    """The return addresses on the stack, innermost first, as Frame records."""

def history(count: int = 4096) -> list[HistoryEntry]:
    """The last COUNT executed steps (at most 4096), oldest first, as HistoryEntry records;
    the steps run since keep_history() (none before it)."""

def clear_history() -> None:
    """Forget the step history."""

def keep_history(on: bool = True) -> None:
    """Keep (or stop keeping) the history of the last 4096 steps for history(), from now on
    and after every start-up. Off until asked for, as in velmora-headless without --history:
    keeping it makes every step a little slower."""

def load_symbols(path: _Path) -> int:
    """Load a symbol file ("ADDRESS NAME" a line, the address as four hexadecimal digits),
    replacing the symbols; returns how many. OSError if it cannot be read, ValueError for a
    malformed line (the symbols are then empty)."""

def add_symbol(name: str, address: int) -> None:
    """Name a code address."""

def clear_symbols() -> None:
    """Forget every symbol."""

def symbols() -> dict[str, int]:
    """The symbols as a dict of name to address, by address."""

def describe(address: int) -> str:
    """An address through the symbols: 'name', 'name+1A', or '' with no symbol near below."""

def evaluate(expression: str) -> int:
    """The value of a debugger expression on the machine as it stands: registers, flags, R[n],
    M[addr] or M[area:addr], numbers, symbols, and C's operators ("SP - 2", "R[5] & 0x0F")."""
