"""The Velmora calculator emulator, driven from Python.

There is one emulated machine per process: every function and attribute here acts on it.
Start it with start(folder) or start_from(...), run it with run_ms/run_steps, press keys with
tap/type/press/release, and read or change registers, flags and memories at any time.
"""

import os
from collections.abc import Iterator
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
    """Run N steps, unpaced (as velmora-headless --steps). No emulated time passes."""

def run_ms(ms: int) -> None:
    """Run MS milliseconds of emulated time as velmora-headless --ms runs them: a run tick
    every 10 ms, a refresh tick after every 5th. A rest below 10 ms counts towards the next
    run, so run_ms(15) twice is run_ms(30)."""

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
