#!@Python3_EXECUTABLE@
"""velmora-test: golden-screen tests for calculator firmware.

Runs the cases of TOML test files on the emulated calculator (the Python module velmora):
each case starts the machine afresh in its folder, runs its steps (keys typed and tapped,
waits, stores) and then checks its expectations (the screen against a golden PNG or dot
text, RAM and other memory bytes, registers and flags, dump fields, text on the screen read
with a font, dot patterns). One line a case, then a summary.

Exit status: 0 when every case passed, 1 when a case failed, 2 when a test file is broken
(it is reported with its file, line and what is wrong) or the command line is wrong.
The format is described in docs/scripting.md.
"""

import argparse
import difflib
import os
import re
import sys
import time
import tomllib
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, "@VELMORA_PYTHON_DIR@")  # the module built beside this program

import velmora  # noqa: E402

LCD_COLUMNS, LCD_ROWS = 96, 64
LARGEST = 2**52  # the largest time or count, as velmora-headless takes them
MEMORIES = {"ram": "ram", "ext": "ext", "rom": "rom", "R": "R"}
FLAG_NAMES = ("C", "H", "V", "Z", "UZ", "LZ")
DEFAULT_TIMEOUT_MS = 2000
GOLDENS = {}  # golden screen path -> its rows (.txt) or pixels (.png), as read or as updated


# --- Where things are in a TOML file -------------------------------------------------------------


class Locator:
    """Line numbers of the keys, tables and array elements of a TOML text, by path: a tuple
    of keys and array indices, as tomllib's result is addressed ("case", 2, "steps", 0, "tap").
    The text has already been read by tomllib, so it is well-formed."""

    _TOKEN = re.compile(
        r'(?P<nl>\r?\n)|(?P<ws>[ \t]+)|(?P<comment>#[^\n]*)'
        r'|(?P<mlb>"""(?:[^\\]|\\.)*?"""(?!"))|(?P<mll>\'\'\'.*?\'\'\'(?!\'))'
        r'|(?P<basic>"(?:[^"\\\n]|\\.)*")|(?P<literal>\'[^\'\n]*\')'
        r'|(?P<punct>[\[\]{}=,])|(?P<bare>[^\s\[\]{}=,#"\']+)',
        re.S,
    )

    def __init__(self, text):
        self.lines = {}
        self.tokens = []
        line = 1
        for m in self._TOKEN.finditer(text):
            kind = m.lastgroup
            if kind not in ("ws", "comment"):
                self.tokens.append((kind, m.group(), line, m.start()))
            line += m.group().count("\n")
        self.pos = 0
        self.prefix = ()  # the table the next key-value pair belongs to
        self.arrays = {}  # path of an array of tables -> number of its tables so far
        try:
            self._document()
        except (IndexError, ValueError):
            pass  # a construct this reader does not know: the lines found so far stay

    def line(self, path):
        """The line of PATH, or of the nearest enclosing item that has one."""
        path = tuple(path)
        while path:
            if path in self.lines:
                return self.lines[path]
            path = path[:-1]
        return 1

    def _peek(self):
        return self.tokens[self.pos] if self.pos < len(self.tokens) else ("end", "", 0, 0)

    def _next(self):
        token = self._peek()
        self.pos += 1
        return token

    def _skip_newlines(self):
        while self._peek()[0] == "nl":
            self.pos += 1

    def _record(self, path, line):
        self.lines.setdefault(tuple(path), line)

    @staticmethod
    def _key_parts(token):
        kind, text = token[0], token[1]
        if kind == "basic":
            return [text[1:-1].encode().decode("unicode_escape")]
        if kind == "literal":
            return [text[1:-1]]
        return text.split(".")

    def _key(self):
        """A possibly dotted key, up to '=' or ']'."""
        parts = []
        while self._peek()[1] not in ("=", "]"):
            token = self._next()
            if token[1] != ".":
                parts.extend(p for p in self._key_parts(token) if p != "")
        return parts

    def _resolve(self, parts):
        path = ()
        for part in parts:
            path += (part,)
            if path in self.arrays:
                path += (self.arrays[path] - 1,)
        return path

    def _document(self):
        while True:
            self._skip_newlines()
            token = self._peek()
            if token[0] == "end":
                return
            if token[1] == "[":
                following = self.tokens[self.pos + 1]
                double = following[1] == "[" and following[3] == token[3] + 1
                self.pos += 2 if double else 1
                parts = self._key()
                self.pos += 2 if double else 1
                if double:
                    base = self._resolve(parts[:-1]) + (parts[-1],)
                    index = self.arrays.get(base, 0)
                    self.arrays[base] = index + 1
                    self._record(base, token[2])
                    self.prefix = base + (index,)
                else:
                    self.prefix = self._resolve(parts)
                self._record(self.prefix, token[2])
            else:
                self._key_value(self.prefix)

    def _key_value(self, base):
        line = self._peek()[2]
        path = base + tuple(self._key())
        self._record(path, line)
        self._next()  # '='
        self._value(path)

    def _value(self, path):
        token = self._next()
        if token[1] == "[":
            index = 0
            while True:
                self._skip_newlines()
                if self._peek()[1] == "]":
                    self._next()
                    return
                self._record(path + (index,), self._peek()[2])
                self._value(path + (index,))
                self._skip_newlines()
                if self._peek()[1] == ",":
                    self._next()
                index += 1
        elif token[1] == "{":
            while self._peek()[1] != "}":
                self._key_value(path)
                if self._peek()[1] == ",":
                    self._next()
            self._next()
        elif token[0] == "bare" and re.fullmatch(r"\d{4}-\d\d-\d\d", token[1]):
            following = self._peek()
            if following[0] == "bare" and re.match(r"\d\d:", following[1]):
                self._next()  # the time of a date and time written with a blank


# --- Test files -------------------------------------------------------------------------------


class Broken(Exception):
    """A mistake in a test file or a golden: where it is and what is wrong."""

    def __init__(self, file, line, message):
        super().__init__(f"{file}:{line}: {message}")
        self.file, self.line, self.message = file, line, message


def describe(value):
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, str):
        return repr(value)
    if isinstance(value, dict):
        return "a table"
    if isinstance(value, list):
        return "an array"
    return str(value)


class FileReader:
    """Checks one parsed test file against the format, item by item, and builds its cases.
    Every mistake found is kept (with its line); a file with any is broken."""

    def __init__(self, path, text, data, default_folder, update):
        self.path = path
        self.where = Locator(text)
        self.data = data
        self.base = os.path.dirname(path) or "."
        self.update = update
        self.errors = []
        self.default_folder = default_folder

    def error(self, at, message):
        self.errors.append(Broken(self.path, self.where.line(at), message))

    @staticmethod
    def unknown(key, allowed):
        close = difflib.get_close_matches(key, allowed, n=1)
        return f"unknown key {key!r}" + (f" (did you mean {close[0]!r}?)" if close else "")

    def known_keys(self, table, at, allowed, what):
        for key in table:
            if key not in allowed:
                self.error(at + (key,), f"{what}: {self.unknown(key, allowed)}; "
                                        f"known: {', '.join(allowed)}")

    def one_of(self, table, at, label, what, found, allowed):
        """A step or check that has not exactly one of its allowed kinds."""
        if len(found) > 1:
            self.error(at, f"{label}: {what} is exactly one of {', '.join(allowed)}; "
                           f"this one has {', '.join(found)}")
        elif found:
            self.error(at + (found[0],), f"{label}: {found[0]} is not allowed here; "
                                         f"{what} here is one of {', '.join(allowed)}")
        elif table:
            for key in table:
                self.error(at + (key,), f"{label}: {self.unknown(key, allowed)}; "
                                        f"{what} is one of {', '.join(allowed)}")
        else:
            self.error(at, f"{label}: an empty table; {what} is one of {', '.join(allowed)}")

    # Typed values; each returns None (and notes the mistake) when the value is wrong.
    def integer(self, value, at, what, low=0, high=LARGEST):
        if value is None:
            self.error(at, f"{what} is missing")
            return None
        if isinstance(value, bool) or not isinstance(value, int) or not low <= value <= high:
            top = "2**52" if high == LARGEST else f"{high:#x}" if high > 255 else str(high)
            self.error(at, f"{what} must be a whole number from {low} to {top}, not {describe(value)}")
            return None
        return value

    def string(self, value, at, what):
        if not isinstance(value, str):
            self.error(at, f"{what} must be a string, not {describe(value)}")
            return None
        return value

    def table(self, value, at, what):
        if not isinstance(value, dict):
            self.error(at, f"{what} must be a table, not {describe(value)}")
            return None
        return value

    def read(self):
        data, top = self.data, ()
        self.known_keys(data, top, ("folder", "goldens", "font", "case"), "the file")
        folder = self.default_folder
        if "folder" in data:
            given = self.string(data["folder"], ("folder",), "folder")
            if given is not None:
                folder = os.path.join(self.base, given)
                if not os.path.isdir(folder):
                    self.error(("folder",), f"folder {given!r} is not a folder (looked for {folder})")
        self.folder = folder
        self.goldens = self.base
        if "goldens" in data:
            given = self.string(data["goldens"], ("goldens",), "goldens")
            if given is not None:
                self.goldens = os.path.join(self.base, given)
        self.font = self.read_font(data["font"]) if "font" in data else None
        cases = data.get("case")
        if not isinstance(cases, list) or not cases or not all(isinstance(c, dict) for c in cases):
            self.error(("case",), "the file needs one or more [[case]] tables")
            cases = []
        names = set()
        result = []
        for i, case in enumerate(cases):
            built = self.read_case(case, ("case", i))
            if built is None:
                continue
            if built.name in names:
                self.error(("case", i, "name"), f"a second case named {built.name!r}")
            names.add(built.name)
            result.append(built)
        if self.errors:
            raise BrokenFile(self.errors)
        return result

    def read_font(self, font):
        at = ("font",)
        if self.table(font, at, "font") is None:
            return None
        self.known_keys(font, at, ("memory", "at", "file", "first", "count", "width", "height", "rows"),
                        "font")
        glyphs = {
            "first": self.integer(font.get("first", 32), at + ("first",), "font first", 0, 255),
            "count": self.integer(font.get("count", 96), at + ("count",), "font count", 1, 256),
            "width": self.integer(font.get("width", 8), at + ("width",), "font width", 1, 8),
            "height": self.integer(font.get("height", 8), at + ("height",), "font height", 1, 64),
        }
        if glyphs["height"] is not None:
            glyphs["rows"] = self.integer(font.get("rows", glyphs["height"]), at + ("rows",),
                                        "font rows", 1, glyphs["height"])
        if ("memory" in font) == ("file" in font):
            self.error(at, "font: give either memory (with at) or file")
            return None
        if "file" in font:
            name = self.string(font["file"], at + ("file",), "font file")
            if name is None:
                return None
            path = os.path.join(self.base, name)
            try:
                with open(path, "rb") as f:
                    glyphs["bytes"] = f.read()
            except OSError as e:
                self.error(at + ("file",), f"font file {path}: {e.strerror}")
                return None
        else:
            glyphs["memory"] = self.memory_name(font["memory"], at + ("memory",))
            glyphs["at"] = self.integer(font.get("at"), at + ("at",), "font at", 0, 0xFFFF)
        if None in glyphs.values():
            return None
        size = glyphs["count"] * glyphs["height"]
        if "bytes" in glyphs and len(glyphs["bytes"]) < size:
            self.error(at + ("file",), f"font file: {len(glyphs['bytes'])} bytes, "
                                       f"{glyphs['count']} glyphs of {glyphs['height']} need {size}")
            return None
        if "memory" in glyphs and glyphs["at"] + size > len(getattr(velmora, glyphs["memory"])):
            self.error(at + ("at",), f"font: {size} bytes from {glyphs['at']:#x} go past the end "
                                     f"of {glyphs['memory']}")
            return None
        return glyphs

    def memory_name(self, value, at):
        name = self.string(value, at, "memory")
        if name is not None and name not in MEMORIES:
            self.error(at, f"no memory named {name!r}; the memories are ram, ext, rom and R")
            return None
        return name

    def read_case(self, case, at):
        self.known_keys(case, at, ("name", "steps", "expect"), "case")
        name = self.string(case.get("name"), at + ("name",), "case name") if "name" in case else None
        if name is None:
            if "name" not in case:
                self.error(at, "case: a name is missing")
            name = f"#{at[1] + 1}"
        label = f"case {name!r}"
        steps = case.get("steps", [])
        if not isinstance(steps, list):
            self.error(at + ("steps",), f"{label}: steps must be an array of tables")
            steps = []
        expects = case.get("expect")
        if not isinstance(expects, list) or not expects:
            self.error(at + ("expect",) if "expect" in case else at,
                       f"{label}: expect must be an array of one or more checks")
            expects = []
        built = Case(name, self.path, self.where.line(at))
        for j, step in enumerate(steps):
            built.steps.append(self.read_step(step, at + ("steps", j), f"{label}, step {j + 1}"))
        for j, check in enumerate(expects):
            built.expects.append(self.read_check(check, at + ("expect", j),
                                                 f"{label}, expect {j + 1}", allow_screen=True))
        return built

    # --- Steps ------------------------------------------------------------------------------

    STEPS = ("type", "tap", "press", "release", "wait_ms", "run_steps", "wait_until", "set",
             "write", "power_reset")

    def read_step(self, step, at, label):
        if self.table(step, at, label) is None:
            return None
        actions = [k for k in step if k in self.STEPS]
        if len(actions) != 1:
            self.one_of(step, at, label, "a step", actions, self.STEPS)
            return None
        action = actions[0]
        value = step[action]
        options = {"tap": ("hold_ms",), "wait_until": ("timeout_ms",), "write": ("at", "bytes", "text", "hex")}
        self.known_keys(step, at, (action,) + options.get(action, ()), f"{label} ({action})")
        where = at + (action,)
        if action == "type":
            text = self.string(value, where, f"{label}: type")
            return None if text is None else Step(action, at, text=text)
        if action in ("tap", "press"):
            code = self.integer(value, where, f"{label}: {action}", 0, 255)
            hold = self.integer(step.get("hold_ms", 100), at + ("hold_ms",), f"{label}: hold_ms")
            return Step(action, at, code=code, hold=hold)
        if action == "release":
            if value is True:
                return Step(action, at, code=None)
            code = self.integer(value, where, f"{label}: release (a key code, or true for any key)",
                                0, 255)
            return Step(action, at, code=code)
        if action in ("wait_ms", "run_steps"):
            count = self.integer(value, where, f"{label}: {action}")
            return Step(action, at, count=count)
        if action == "power_reset":
            if value is not True:
                self.error(where, f"{label}: power_reset must be true, not {describe(value)}")
            return Step(action, at)
        if action == "wait_until":
            timeout = self.integer(step.get("timeout_ms", DEFAULT_TIMEOUT_MS),
                                   at + ("timeout_ms",), f"{label}: timeout_ms")
            check = self.read_check(value, where, f"{label}: wait_until", allow_screen=False)
            return Step(action, at, check=check, count=timeout)
        if action == "set":
            if self.table(value, where, f"{label}: set") is None:
                return None
            return Step(action, at, values=self.register_values(value, where, f"{label}: set"))
        # write
        memory = self.memory_name(value, where)
        data = self.memory_bytes(step, at, label, memory)
        return Step(action, at, memory=memory, address=data[0], data=data[1])

    def register_values(self, table, at, label):
        values = {}
        for name, value in table.items():
            here = at + (name,)
            if name.upper() in FLAG_NAMES:
                if not isinstance(value, bool):
                    self.error(here, f"{label}: flag {name} must be true or false, not {describe(value)}")
                    continue
                values[name.upper()] = value
            elif name in velmora.reg:
                if self.integer(value, here, f"{label}: register {name}", 0, 0xFFFF) is not None:
                    values[name] = value
            else:
                self.error(here, f"{label}: no register or flag named {name!r}; registers: "
                                 f"{' '.join(velmora.reg.keys())}; flags: {' '.join(FLAG_NAMES)}")
        return values

    def memory_bytes(self, table, at, label, memory):
        """The address and bytes of a write or a memory check: at, then bytes, text or hex."""
        address = self.integer(table.get("at"), at + ("at",), f"{label}: at", 0, 0xFFFF) \
            if "at" in table else None
        if "at" not in table:
            self.error(at, f"{label}: the address (at) is missing")
        forms = [k for k in ("bytes", "text", "hex") if k in table]
        if len(forms) != 1:
            self.error(at, f"{label}: give the bytes as exactly one of bytes, text or hex")
            return None, None
        form = forms[0]
        value, here = table[form], at + (form,)
        data = None
        if form == "bytes":
            if not isinstance(value, list) or not value or not all(
                    isinstance(b, int) and not isinstance(b, bool) and 0 <= b <= 255 for b in value):
                self.error(here, f"{label}: bytes must be an array of whole numbers from 0 to 255")
            else:
                data = bytes(value)
        elif form == "text":
            if not isinstance(value, str) or not value or any(ord(c) > 255 for c in value):
                self.error(here, f"{label}: text must be a string of characters 1 to 255")
            else:
                data = value.encode("latin-1")
        else:
            digits = value.replace(" ", "") if isinstance(value, str) else None
            if not digits or len(digits) % 2 or not re.fullmatch(r"[0-9A-Fa-f]*", digits):
                self.error(here, f"{label}: hex must be pairs of hex digits, not {describe(value)}")
            else:
                data = bytes.fromhex(digits)
        if memory is not None and address is not None and data is not None:
            size = len(getattr(velmora, MEMORIES[memory]))
            if address + len(data) > size:
                self.error(at + ("at",), f"{label}: {len(data)} bytes from {address:#x} go past the "
                                         f"end of {memory} ({size} bytes)")
        return address, data

    # --- Checks -----------------------------------------------------------------------------

    CHECKS = ("screen", "memory", "reg", "dump", "text", "dots")

    def read_check(self, check, at, label, allow_screen):
        if self.table(check, at, label) is None:
            return None
        kinds = [k for k in check if k in self.CHECKS]
        if "memory" in kinds and "text" in kinds:
            kinds.remove("text")  # the memory check's text
        allowed = self.CHECKS if allow_screen else self.CHECKS[1:]
        if len(kinds) != 1 or kinds[0] not in allowed:
            self.one_of(check, at, label, "a check", kinds, allowed)
            return None
        kind = kinds[0]
        value, where = check[kind], at + (kind,)
        options = {"memory": ("at", "bytes", "text", "hex"), "text": ("x", "y"), "dots": ("x", "y")}
        self.known_keys(check, at, (kind,) + options.get(kind, ()), f"{label} ({kind})")
        if kind == "screen":
            return self.read_screen(value, where, label)
        if kind == "memory":
            memory = self.memory_name(value, where)
            address, data = self.memory_bytes(check, at, label, memory)
            return Check(kind, at, label, memory=memory, address=address, data=data)
        if kind == "reg":
            if self.table(value, where, f"{label}: reg") is None:
                return None
            return Check(kind, at, label, values=self.register_values(value, where, f"{label}: reg"))
        if kind == "dump":
            if self.table(value, where, f"{label}: dump") is None:
                return None
            fields = {k: v for k, v in velmora.dump().items() if isinstance(v, int)}
            values = {}
            for name, expected in value.items():
                if name not in fields:
                    self.error(where + (name,), f"{label}: no number field {name!r} in the dump; "
                                                f"fields: {' '.join(fields)}")
                elif isinstance(expected, bool) or not isinstance(expected, int):
                    self.error(where + (name,), f"{label}: dump {name} must be a whole number, "
                                                f"not {describe(expected)}")
                else:
                    values[name] = expected
            return Check(kind, at, label, values=values)
        x = self.integer(check.get("x", 0), at + ("x",), f"{label}: x", 0, LCD_COLUMNS - 1)
        y = self.integer(check.get("y", 0), at + ("y",), f"{label}: y", 0, LCD_ROWS - 1)
        rows = value
        if isinstance(value, str):
            # text: one row; dots: the rows of a multi-line string, blank lines around dropped
            rows = [value] if kind == "text" else [r.strip() for r in value.strip().split("\n")]
        if not isinstance(rows, list) or not rows or not all(isinstance(r, str) and r for r in rows):
            self.error(where, f"{label}: {kind} must be a string or an array of non-empty strings")
            return None
        if x is None or y is None:
            return None
        if kind == "dots":
            bad = [r for r in rows if not re.fullmatch(r"[#.?]+", r)]
            if bad:
                self.error(where, f"{label}: dots rows are made of '#' (dark), '.' (light) and '?' "
                                  f"(either), not {bad[0]!r}")
                return None
            width, height = max(len(r) for r in rows), len(rows)
        else:
            if self.font is None:
                self.error(where, f"{label}: a text check needs a [font] table in the file")
                return None
            width = max(len(r) for r in rows) * self.font["width"]
            height = len(rows) * self.font["height"]
        if x + width > LCD_COLUMNS or y + height > LCD_ROWS:
            self.error(where, f"{label}: {width} x {height} dots from ({x}, {y}) go past the "
                              f"screen's {LCD_COLUMNS} x {LCD_ROWS}")
            return None
        return Check(kind, at, label, rows=rows, x=x, y=y, font=self.font)

    def read_screen(self, value, at, label):
        name = self.string(value, at, f"{label}: screen")
        if name is None:
            return None
        if not name.endswith((".png", ".txt")):
            self.error(at, f"{label}: a screen golden is a .png or a .txt file, not {name!r}")
            return None
        path = os.path.normpath(os.path.join(self.goldens, name))
        check = Check("screen", at, label, golden=path)
        if not os.path.exists(path):
            if not self.update:
                self.error(at, f"{label}: the golden {path} does not exist "
                               f"(velmora-test --update writes it)")
            return check
        try:
            GOLDENS[path] = read_golden(path)
        except Broken as e:
            if not self.update:
                self.errors.append(e)
        return check


class BrokenFile(Exception):
    def __init__(self, errors):
        super().__init__("\n".join(str(e) for e in errors))
        self.errors = errors


def read_golden(path):
    """A golden screen: the 64 dot rows of a .txt file, or the RGB pixels of a .png file."""
    if path.endswith(".txt"):
        try:
            with open(path, encoding="ascii") as f:
                lines = f.read().split("\n")
        except (OSError, UnicodeDecodeError) as e:
            raise Broken(path, 1, f"cannot be read: {e}")
        if lines and lines[-1] == "":
            lines.pop()
        for n, row in enumerate(lines[:LCD_ROWS], start=1):
            if len(row) != LCD_COLUMNS or not re.fullmatch(r"[#.]*", row):
                raise Broken(path, n, f"a golden row is {LCD_COLUMNS} of '#' and '.', "
                                      f"not {len(row)} characters {row[:20]!r}...")
        if len(lines) != LCD_ROWS:
            raise Broken(path, min(len(lines), LCD_ROWS) + 1,
                         f"a golden screen has {LCD_ROWS} rows, this one {len(lines)}")
        return lines
    try:
        width, height, pixels = velmora.read_png(path)
    except ValueError as e:
        raise Broken(path, 1, f"not a PNG picture velmora can read ({e})")
    if (width, height) != (192, 128):
        raise Broken(path, 1, f"a golden picture is 192 x 128 pixels, this one {width} x {height}")
    return pixels


# --- Cases ------------------------------------------------------------------------------------


class Step:
    def __init__(self, action, at, **fields):
        self.action, self.at = action, at
        self.__dict__.update(fields)


class Check:
    def __init__(self, kind, at, label, **fields):
        self.kind, self.at, self.label = kind, at, label
        self.__dict__.update(fields)


class Case:
    def __init__(self, name, file, line):
        self.name, self.file, self.line = name, file, line
        self.steps, self.expects = [], []


class CaseFailed(Exception):
    pass


def glyph_table(font):
    """Bit patterns of the glyphs (the first ROWS rows of each) -> character."""
    data = font.get("bytes")
    if data is None:
        memory = getattr(velmora, font["memory"])
        data = bytes(memory[font["at"]: font["at"] + font["count"] * font["height"]])
    table = {}
    for g in range(font["count"]):
        rows = data[g * font["height"]: g * font["height"] + font["rows"]]
        mask = (0xFF << (8 - font["width"])) & 0xFF
        key = bytes(r & mask for r in rows)
        table.setdefault(key, chr(font["first"] + g))
    return table


def read_text(check, lcd):
    """The characters the font finds in the cells of each row of the check ('\\0' for a cell
    that matches no glyph)."""
    font = check.font
    glyphs = glyph_table(font)
    found = []
    for r, row in enumerate(check.rows):
        chars = []
        for c in range(len(row)):
            x0, y0 = check.x + c * font["width"], check.y + r * font["height"]
            key = bytes(
                sum(lcd[y0 + k][x0 + b] << (7 - b) for b in range(font["width"]))
                for k in range(font["rows"]))
            chars.append(glyphs.get(key, "\0"))
        found.append("".join(chars))
    return found


def shown(text):
    return text.replace("\0", "?")


def evaluate(check):
    """None when the check holds, else what differs."""
    if check.kind == "memory":
        memory = getattr(velmora, MEMORIES[check.memory])
        actual = bytes(memory[check.address: check.address + len(check.data)])
        if actual == check.data:
            return None
        return (f"{check.memory} at {check.address:#06x}: expected {format_bytes(check.data)}, "
                f"found {format_bytes(actual)}")
    if check.kind == "reg":
        wrong = []
        for name, expected in check.values.items():
            actual = velmora.flags[name] if name in FLAG_NAMES else velmora.reg[name]
            if actual != expected:
                wrong.append(f"{name} is {describe(actual) if isinstance(actual, bool) else hex(actual)}"
                             f", expected {describe(expected) if isinstance(expected, bool) else hex(expected)}")
        return "; ".join(wrong) or None
    if check.kind == "dump":
        fields = velmora.dump()
        wrong = [f"{name} is {fields[name]}, expected {expected}"
                 for name, expected in check.values.items() if fields[name] != expected]
        return "; ".join(wrong) or None
    lcd = velmora.lcd_rows()
    if check.kind == "dots":
        for r, row in enumerate(check.rows):
            actual = "".join("#" if lcd[check.y + r][check.x + i] else "." for i in range(len(row)))
            if any(e != "?" and e != a for e, a in zip(row, actual)):
                return (f"dots at ({check.x}, {check.y + r}): expected {row}, found {actual}")
        return None
    found = read_text(check, lcd)
    if found == check.rows:
        return None
    for r, (expected, actual) in enumerate(zip(check.rows, found)):
        if expected != actual:
            return (f"text at ({check.x}, {check.y + r * check.font['height']}): expected "
                    f"{expected!r}, found {shown(actual)!r}" + (" (? matches no glyph)" if "\0" in actual else ""))
    return None


def format_bytes(data):
    return " ".join(f"{b:02X}" for b in data)


def compare_screen(check):
    """None when the screen equals its golden, else what differs."""
    expected = GOLDENS.get(check.golden)
    if check.golden.endswith(".txt"):
        actual = velmora.lcd_text().split("\n")[:LCD_ROWS]
        if expected == actual:
            return None
        if expected is None:
            return f"no golden {check.golden}"
        rows = [y for y in range(LCD_ROWS) if expected[y] != actual[y]]
        lines = [f"screen differs from {check.golden} in {len(rows)} of {LCD_ROWS} rows:"]
        for y in rows[:4]:
            lines.append(f"  row {y:2} expected {expected[y]}")
            lines.append(f"         found    {actual[y]}")
        if len(rows) > 4:
            lines.append(f"  and {len(rows) - 4} rows more")
        return "\n".join(lines)
    actual = velmora.lcd_rgb()
    if expected == actual:
        return None
    if expected is None:
        return f"no golden {check.golden}"
    differing = [i // 3 for i in range(0, len(actual), 3) if actual[i:i + 3] != expected[i:i + 3]]
    xs = [p % 192 // 2 for p in differing]
    ys = [p // 192 // 2 for p in differing]
    return (f"screen differs from {check.golden} in {len(differing)} pixels "
            f"(dots x {min(xs)}-{max(xs)}, y {min(ys)}-{max(ys)})")


def write_golden(check):
    os.makedirs(os.path.dirname(check.golden) or ".", exist_ok=True)
    if check.golden.endswith(".txt"):
        with open(check.golden, "w", encoding="ascii") as f:
            f.write(velmora.lcd_text())
        GOLDENS[check.golden] = velmora.lcd_text().split("\n")[:LCD_ROWS]
    else:
        velmora.lcd_png(check.golden)
        GOLDENS[check.golden] = velmora.lcd_rgb()


def run_step(step):
    a = step.action
    if a == "type":
        velmora.type(step.text)
    elif a == "tap":
        velmora.tap(step.code, step.hold)
    elif a == "press":
        velmora.press(step.code)
    elif a == "release":
        velmora.release(step.code)
    elif a == "wait_ms":
        velmora.run_ms(step.count)
    elif a == "run_steps":
        velmora.run_steps(step.count)
    elif a == "power_reset":
        velmora.power_reset()
    elif a == "set":
        for name, value in step.values.items():
            if name in FLAG_NAMES:
                velmora.flags[name] = value
            else:
                velmora.reg[name] = value
    elif a == "write":
        memory = getattr(velmora, MEMORIES[step.memory])
        memory[step.address: step.address + len(step.data)] = step.data
    elif a == "wait_until":
        waited = 0
        while True:
            problem = evaluate(step.check)
            if problem is None:
                return
            if waited >= step.count:
                raise CaseFailed(f"wait_until still not met after {step.count} ms: {problem}")
            velmora.run_ms(10)
            waited += 10


class Result:
    def __init__(self, case):
        self.case = case
        self.failures = []  # (line, text)
        self.updated = []
        self.seconds = 0.0


def run_case(case, folder, where, update):
    result = Result(case)
    started = time.perf_counter()
    warnings = velmora.start(folder)
    if warnings:
        result.failures.append((case.line, "start-up in " + folder + ": " + "; ".join(warnings)))
    else:
        try:
            for step in case.steps:
                try:
                    run_step(step)
                except CaseFailed as e:
                    result.failures.append((where.line(step.at), f"step {step.at[3] + 1}: {e}"))
                    raise
            for check in case.expects:
                if check.kind == "screen":
                    problem = compare_screen(check)
                    if problem and update:
                        write_golden(check)
                        result.updated.append(check.golden)
                        problem = None
                else:
                    problem = evaluate(check)
                if problem:
                    result.failures.append((where.line(check.at), f"expect {check.at[3] + 1}: {problem}"))
        except CaseFailed:
            pass
    result.seconds = time.perf_counter() - started
    return result


# --- Command line -------------------------------------------------------------------------------


def load(path, default_folder, update):
    """The cases of one test file, or BrokenFile."""
    try:
        with open(path, "rb") as f:
            raw = f.read()
    except OSError as e:
        raise BrokenFile([Broken(path, 1, f"cannot be read: {e.strerror}")])
    try:
        text = raw.decode("utf-8")
        data = tomllib.loads(text)
    except UnicodeDecodeError as e:
        line = raw[: e.start].count(b"\n") + 1
        raise BrokenFile([Broken(path, line, "not UTF-8 text")])
    except tomllib.TOMLDecodeError as e:
        m = re.search(r"\(at line (\d+), column \d+\)|\(at end of document\)", str(e))
        line = int(m.group(1)) if m and m.group(1) else text.count("\n") + 1
        message = re.sub(r"\s*\(at (line \d+, column \d+|end of document)\)", "", str(e))
        raise BrokenFile([Broken(path, line, f"not valid TOML: {message}")])
    reader = FileReader(path, text, data, default_folder, update)
    cases = reader.read()
    return cases, reader


def write_junit(path, suites):
    root = ElementTree.Element("testsuites")
    totals = {"tests": 0, "failures": 0, "errors": 0}
    for file, results, broken in suites:
        suite = ElementTree.SubElement(root, "testsuite", name=file)
        counts = {"tests": len(results) or 1, "failures": 0, "errors": 0}
        seconds = 0.0
        if broken is not None:
            counts["errors"] = 1
            case = ElementTree.SubElement(suite, "testcase", classname=file, name="(test file)")
            error = ElementTree.SubElement(case, "error", message=str(broken.errors[0]))
            error.text = str(broken)
        for r in results:
            case = ElementTree.SubElement(suite, "testcase", classname=file, name=r.case.name,
                                          time=f"{r.seconds:.3f}")
            seconds += r.seconds
            if r.failures:
                counts["failures"] += 1
                failure = ElementTree.SubElement(
                    case, "failure", message=r.failures[0][1].split("\n")[0])
                failure.text = "\n".join(f"{file}:{line}: {text}" for line, text in r.failures)
        for k, v in counts.items():
            suite.set(k, str(v))
            totals[k] += v
        suite.set("time", f"{seconds:.3f}")
    for k, v in totals.items():
        root.set(k, str(v))
    ElementTree.indent(root)
    ElementTree.ElementTree(root).write(path, encoding="utf-8", xml_declaration=True)


def main(argv):
    parser = argparse.ArgumentParser(
        prog="velmora-test",
        description="Runs golden-screen test files (TOML) on the emulated calculator. "
                    "Exit status 0: all passed; 1: a case failed; 2: a broken test file.")
    parser.add_argument("files", nargs="+", metavar="FILE", help="test files (TOML)")
    parser.add_argument("--folder", default=".",
                        help="start-up folder (rom0.bin, rom1.bin, keymap.dat, ...) for the files "
                             "that name none; default: the current directory")
    parser.add_argument("--update", action="store_true",
                        help="write the golden screens that are missing or differ")
    parser.add_argument("--junit", metavar="FILE", help="also write the results as JUnit XML")
    parser.add_argument("-k", metavar="TEXT", dest="only",
                        help="run only the cases whose name contains TEXT")
    args = parser.parse_args(argv)
    sys.stdout.reconfigure(line_buffering=True)  # results and errors in the order they come
    if not os.path.isdir(args.folder):
        parser.error(f"--folder {args.folder}: not a folder")

    suites = []
    passed = failed = broken_files = 0
    for path in args.files:
        try:
            cases, reader = load(path, args.folder, args.update)
        except BrokenFile as e:
            broken_files += 1
            print(f"BROKEN {path}")
            for error in e.errors:
                print(f"{error.file}:{error.line}: {error.message}", file=sys.stderr)
            suites.append((path, [], e))
            continue
        results = []
        for case in cases:
            if args.only and args.only not in case.name:
                continue
            result = run_case(case, reader.folder, reader.where, args.update)
            results.append(result)
            note = f" (updated {', '.join(result.updated)})" if result.updated else ""
            if result.failures:
                failed += 1
                print(f"FAIL   {path}: {case.name}{note}")
                for line, text in result.failures:
                    print(f"  {path}:{line}: {text}")
            else:
                passed += 1
                print(f"PASS   {path}: {case.name}{note}")
        suites.append((path, results, None))

    summary = f"{passed + failed} cases: {passed} passed, {failed} failed"
    if broken_files:
        summary += f"; {broken_files} broken test file{'s' if broken_files > 1 else ''}"
    print(summary)
    if args.junit:
        try:
            write_junit(args.junit, suites)
        except OSError as e:
            print(f"velmora-test: cannot write {args.junit}: {e.strerror}", file=sys.stderr)
            return 2
    if broken_files:
        return 2
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
