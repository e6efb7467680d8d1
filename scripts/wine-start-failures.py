#!/usr/bin/env python3
"""Tells whether every failed case of the last ctest run in BUILD_DIR failed before its test
program ran at all: no GoogleTest output, only what Wine or the wrapper printed. Under Wine a
program start can, rarely, fail that way (seen once in many runs, in 0.02 s, with nothing
printed); such cases may be run once more. A case whose program ran and failed is a real
failure and is never run again.

Usage: wine-start-failures.py BUILD_DIR
Exit 0 and the names on standard output when all failures are start failures; exit 1 otherwise.
"""
import os
import re
import sys

temporary = os.path.join(sys.argv[1], "Testing", "Temporary")
try:
    with open(os.path.join(temporary, "LastTestsFailed.log"), encoding="utf-8", errors="replace") as f:
        failed = [line.split(":", 1)[1].strip() for line in f if ":" in line]
    with open(os.path.join(temporary, "LastTest.log"), encoding="utf-8", errors="replace") as f:
        log = f.read()
except OSError as e:
    print(f"wine-start-failures: {e}", file=sys.stderr)
    sys.exit(1)

# Each case's block: "N/M Test: NAME", ..., "Output:", a rule, the output, "<end of output>".
outputs = {}
name, lines = None, None
for line in log.splitlines():
    test = re.match(r"\d+/\d+ Test: (.*)$", line)
    if test:
        name, lines = test.group(1), None
    elif name is not None and lines is None and line == "Output:":
        lines = []
    elif lines is not None:
        if line == "<end of output>":
            outputs[name] = "\n".join(lines[1:])  # after the rule
            name, lines = None, None
        else:
            lines.append(line)

if not failed:
    sys.exit(1)
for name in failed:
    output = outputs.get(name)
    if output is None or "[==========]" in output or "Running main()" in output:
        sys.exit(1)
print("\n".join(failed))
