"""Scripted headless sessions of co2calc and readers for what they leave behind.

A session feeds bytes to the program's standard input (one byte per key; LF is Enter), lets it
run in an empty directory and collects the exit code, the error boxes written to standard error,
the output file CO2out.txt and the transcript of the screen (--transcript): every row as it
scrolls off the top, then the 25 rows of the final screen.
"""

import os
import re
import subprocess
import tempfile
from dataclasses import dataclass, field

PROGRAM = os.environ.get("CO2CALC", "")
OUTPUT_FILE = "CO2out.txt"

# One file report: its lines in order, each a label followed by a number through its picture
# template (None: a line of text only). The curve label and the molality line are special.
REPORT_LAYOUT = [
    (" Temperature (in C) = ", " ###.###"),
    ("<curve>", None),
    (" Total Pressure (in MPa) = ", " ###.###### "),
    ("                     Properties of pure H2O ", None),
    ("    d(H2O) = ", " ##.#########"),
    ("    V(H2O) =", " #######.####"),
    ("    S(H2O) = ", " ######.##### "),
    ("   Cp(H2O) = ", " #####.###### "),
    ("    g(H2O) = ", " ########.### "),
    ("    h(H2O) = ", " ########.### "),
    ("    f(H2O) = ", " #######.#### "),
    ("    fugacity Coeff. =", " ####.######## "),
    (" Mole fraction of CO2 in vapour phase (rough estimate) = ", " ##.#### "),
    ("                     Properties of pure CO2 ", None),
    ("    d(CO2) = ", " ##.#########"),
    ("    V(CO2) =", " #######.####"),
    ("    S(CO2) = ", " ######.##### "),
    ("   Cp(CO2) = ", " #####.###### "),
    ("    g(CO2) = ", " ########.### "),
    ("    h(CO2) = ", " ########.### "),
    ("    f(CO2) = ", " #######.#### "),
    ("    fugacity Coeff. =", " ####.######## "),
    ("             Partial molar properties of CO2 in solution", None),
    (" At infinite dilution ", None),
    ("    Henry = ", "#######.#"),
    ("    ln(kH, MPa) = ", "###.####"),
    ("    Gaq = ", "#######.#"),
    ("    S2 = ", "#####.###"),
    ("    V2 = ", " #####.##"),
    ("    Cp2 = ", "#####.###"),
    ("  CO2 solubility  in mol%        =  ", "  ###.##### "),
    ("  CO2 solubility  in mol/kg H2O  =  ", " ###.##### "),
    ("  CO2 solubility  in g/kg H2O    =  ", " #####.### "),
    (" At finite concentration =  ", "  ##.#####  "),
    ("      Activity coefficient of CO2 (molal scale)      ", "     ##.###"),
    ("      Osmotic coefficient of H2O                     ", "     ##.###"),
    ("      Activity of H2O                                ", "     ##.#####"),
    ("      Activity coefficient of H2O (mol. frac. scale) ", "     ##.#####"),
    ("      Excess H2O entropy                             ", "   ####.####"),
    ("      Excess H2O heat capacity                       ", "   ####.####"),
    ("      Excess CO2 entropy                             ", "   ####.####"),
    ("      Excess CO2 heat capacity                       ", "   ####.####"),
    ("      Excess solution volume                         ", "  #####.####"),
    ("      Bulk solution volume                           ", "    ###.#####"),
    ("      Density of solution                            ", "     ##.######"),
]
assert len(REPORT_LAYOUT) == 45

# Short names of the numeric lines, for the tests.
VALUE_NAMES = [
    "T_C", None, "P", None, "rhoH2O", "VH2O", "SH2O", "CpH2O", "gH2O", "hH2O", "fH2O", "phiH2O",
    "yCO2Vap", None, "rhoCO2", "VCO2", "SCO2", "CpCO2", "gCO2", "hCO2", "fCO2", "phiCO2", None, None,
    "Henry", "lnKH_MPa", "Gaq", "S2", "V2", "Cp2", "molPercent", "mSat", "gPerKg", "m", "gammaCO2",
    "phiOsm", "aH2O", "gammaH2O", "SexH2O", "CpexH2O", "SexCO2", "CpexCO2", "Vex", "Vsol", "rhoSol",
]
assert len(VALUE_NAMES) == 45

DATE_LINE = re.compile(rb"^ {45}  Date \d\d-\d\d-\d{4}  Time  \d\d:\d\d:\d\d$")
CURVE_LABELS = {
    0: " Pressure is independent variable ",
    1: " Pressure along the H2O(l)-CO2(l)-CO2(v) curve ",
    2: " Pressure along the Clathrate-H2O(l)-CO2(l) curve ",
    3: " Pressure along the Clathrate-H2O(l)-CO2(v) curve ",
    4: " Pressure along the H2O(l)-H2O(ice)-CO2(v) curve ",
}


def fits_picture(picture, text):
    """Whether `text` has the shape that `picture` gives a number of normal width: digits,
    spaces or a minus where "#" stands, the point where "." stands, the literal text elsewhere."""
    if len(text) != len(picture):
        return False
    for p, t in zip(picture, text):
        if p == "#":
            if t not in "0123456789 -":
                return False
        elif p != t:
            return False
    return True


@dataclass
class Report:
    lines: list  # 45 texts (bytes decoded as latin-1)
    values: dict = field(default_factory=dict)

    @property
    def curve_label(self):
        return self.lines[1]


@dataclass
class Session:
    returncode: int
    stderr: str
    file_bytes: bytes  # None when the file was not created
    transcript: list  # screen rows as text

    def file_lines(self):
        """Lines of the output file without their CR LF; the last item is the unfinished tail."""
        return self.file_bytes.split(b"\r\n")

    def boxes(self):
        """Error boxes written to standard error, as (caption, text) pairs. The box text's line
        breaks may come through as LF or as the code page 437 glyph of LF (U+25D9)."""
        found = []
        pattern = r"(Unhandled Error #\d+|Critical Error #\d+)\n(Line:\d+[\n\u25d9][^\n\u25d9]*(?:[\n\u25d9]Continue\?)?)"
        for match in re.finditer(pattern, self.stderr):
            found.append((match.group(1), match.group(2).replace("\u25d9", "\n")))
        return found

    def rows_containing(self, text):
        return [row for row in self.transcript if text in row]


def parse_reports(lines):
    """Splits the file's complete lines (date lines and reports) into dates and reports."""
    dates, reports = [], []
    i = 0
    while i < len(lines):
        if DATE_LINE.match(lines[i]):
            dates.append(lines[i])
            i += 1
            continue
        block = [b.decode("latin-1") for b in lines[i:i + 45]]
        if len(block) < 45:
            raise AssertionError(f"incomplete report at line {i + 1}: {block!r}")
        report = Report(block)
        for (label, picture), name, text in zip(REPORT_LAYOUT, VALUE_NAMES, block):
            if name is None:
                continue
            report.values[name] = float(text[len(label):].replace("%", ""))
        reports.append(report)
        i += 45
    return dates, reports


def whole_line(line):
    """Whether `line` (bytes without its CR LF) is one whole line of the file: a date line, a text
    line of the report or a label with its number in the shape of its template."""
    if DATE_LINE.match(line):
        return True
    text = line.decode("latin-1")
    if text in CURVE_LABELS.values():
        return True
    for label, picture in REPORT_LAYOUT:
        if picture is None and text == label:
            return True
        if picture is not None and text.startswith(label) and fits_picture(picture, text[len(label):]):
            return True
    return False


def run(keys, setup=None, timeout=120, program=None, env=None, directory=None, args=()):
    """Runs one headless session with `keys` (bytes) as standard input, in a fresh directory (or
    in `directory`). `setup(directory)` may prepare the directory first; `args` are further options
    (such as --on-error)."""
    if directory is None:
        with tempfile.TemporaryDirectory(prefix="co2e2e-") as fresh:
            return run(keys, setup, timeout, program, env, fresh, args)
    program = program or PROGRAM
    if not program:
        raise RuntimeError("CO2CALC is not set")
    if setup:
        setup(directory)
    transcript_path = os.path.join(directory, "transcript.txt")
    completed = subprocess.run(
        [program, "--headless", "--transcript", transcript_path, *args],
        input=keys, cwd=directory, capture_output=True, timeout=timeout, env=env)
    output_path = os.path.join(directory, OUTPUT_FILE)
    file_bytes = None
    if os.path.isfile(output_path):
        with open(output_path, "rb") as f:
            file_bytes = f.read()
    transcript = []
    if os.path.exists(transcript_path):
        with open(transcript_path, "rb") as f:
            transcript = f.read().decode("utf-8").split("\n")
        if transcript and transcript[-1] == "":
            transcript.pop()
    return Session(completed.returncode, completed.stderr.decode("utf-8", "replace"), file_bytes,
                   [row.rstrip("\r").ljust(80) for row in transcript])
