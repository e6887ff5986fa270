#!/usr/bin/env python3
"""Writes a variant of src/core/Dispatch.cpp whose ExecuteInstruction dispatches with a switch
over the opcode index (one case per entry of the table, each a direct call), for measuring
switch against table dispatch: cmake -DVELMORA_SWITCH_DISPATCH=ON."""
import re
import sys

source, target = sys.argv[1], sys.argv[2]
text = open(source).read()
table = text[text.index('constexpr DispatchEntry kDispatch[] = {'):text.index('};\n// clang-format on')]
entries = []
for line in table.splitlines()[1:]:
    body = line.split('*/', 1)[1].strip().rstrip(',')
    # split top-level {...} groups
    depth, start = 0, None
    for i, ch in enumerate(body):
        if ch == '{':
            if depth == 0:
                start = i
            depth += 1
        elif ch == '}':
            depth -= 1
            if depth == 0:
                entries.append(body[start + 1:i])
assert len(entries) == 736, len(entries)
cases = []
for index, entry in enumerate(entries):
    m = re.match(r'^([^,{]+(?:<[^>]*>)?)\s*(?:,\s*(\{.*\}))?$', entry.strip())
    handler, arg = m.group(1).strip(), m.group(2) or '{}'
    cases.append('    case %d: %s(OpArg%s); return;' % (index, handler, arg))
head, tail = text.split('void ExecuteInstruction() {', 1)
out = head + '''void ExecuteInstruction() {
    const int index = FetchInstruction();
    g_cpu.StepDir = 1;
    switch (index) {
''' + '\n'.join(cases) + '''
    default: return;
    }
}
'''
out = out.replace('} // namespace\n\n', '} // namespace\n\n[[maybe_unused]] static const auto* kTableKeptForTheSizeCheck = kDispatch;\n\n', 1)
open(target, 'w').write(out)
