#!/usr/bin/python3
"""The WebAssembly build's shortest number text (JavaScript's digits inside co2table's format)
against Python's repr, which is David Gay's shortest round-trip conversion: the same significant
digits and exponent for random bit patterns, powers of two and typed decimals (a whole number
in fixed form: the double's exact value), and every text reads back as its double. (The format around the digits is the same code natively, where
web_tests compares it with std::to_chars.)

Usage: number_text.py NODE SITE"""
import math
import random
import re
import struct
import subprocess
import sys


def digits(text):
    """Significant digits and decimal exponent of a number text: ("14527788439279832", 0)."""
    m = re.fullmatch(r"-?(\d+)(?:\.(\d*))?(?:e([+-]?\d+))?", text)
    whole, frac, exp = m.group(1), m.group(2) or "", int(m.group(3) or 0)
    all_digits = (whole + frac).lstrip("0")
    exponent = exp + len(whole) - 1 - ((len(whole + frac) - len((whole + frac).lstrip("0"))))
    return all_digits.rstrip("0") or "0", exponent


def main():
    node, site = sys.argv[1:3]
    rng = random.Random(20261208)
    xs = [math.ldexp(1.0, e) for e in range(-1074, 1024)] + [i / 100 for i in range(-3000, 3001)]
    while len(xs) < 100000:
        x = struct.unpack("<d", struct.pack("<Q", rng.getrandbits(64)))[0]
        if math.isfinite(x) and x != 0:
            xs.append(x)
    xs = [x for x in xs if x != 0]
    script = """
const fs = require('fs'), path = require('path'), site = process.argv[1];
require(path.resolve(site, 'co2.js'))({wasmBinary: fs.readFileSync(path.join(site, 'co2.wasm'))}).then((co2) => {
  const out = [];
  for (const line of fs.readFileSync(0, 'utf8').split('\\n')) if (line) out.push(co2.ccall('web_number_text', 'string', ['number'], [Number(line)]));
  process.stdout.write(out.join('\\n') + '\\n');
});"""
    texts = subprocess.run([node, "-e", script, site], input="\n".join(repr(x) for x in xs).encode(),
                           check=True, capture_output=True).stdout.decode().splitlines()
    wrong = 0
    for x, text in zip(xs, texts):
        # A whole number in fixed form is the double's exact value, as libstdc++ writes it.
        exact = re.fullmatch(r"-?\d+", text) and int(text) == int(x)
        if float(text) != x or not (exact or digits(text) == digits(repr(x))):
            wrong += 1
            if wrong <= 10:
                print(f"{x!r}: wasm {text}")
    print(f"{len(xs)} doubles, {len(texts)} texts, {wrong} wrong")
    return 1 if wrong or len(texts) != len(xs) else 0


if __name__ == "__main__":
    sys.exit(main())
