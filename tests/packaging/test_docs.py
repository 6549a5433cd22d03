"""The man pages against the programs they describe, the desktop entry, and its icons."""

import os
import re
import subprocess
import zlib

import pytest

CO2TABLE = os.environ["CO2TABLE"]
BUILD = os.environ["CO2_PACKAGING_BUILD"]
SOURCE = os.environ["CO2_PACKAGING_SOURCE"]


def render(page):
    """The page as man shows it, wide and without hyphenation, so option names stay whole."""
    env = dict(os.environ, MANWIDTH="250", MANPAGER="cat", PAGER="cat")
    run = subprocess.run(["man", "--nh", "--nj", "-l", os.path.join(BUILD, "man", page + ".1.gz")],
                         env=env, capture_output=True, text=True, check=True)
    assert run.stderr == "", run.stderr  # groff's warnings
    return run.stdout


def options(text):
    return set(re.findall(r"(?<![\w-])--[a-z][a-z-]*[a-z]", text))


def test_co2table_page_has_every_option_and_column_of_the_program():
    help_text = subprocess.run([CO2TABLE, "--help"], capture_output=True, text=True, check=True).stdout
    page = render("co2table")
    assert options(help_text) == options(page)
    header = subprocess.run([CO2TABLE, "--temperature", "25", "--pressure", "10"], capture_output=True,
                            text=True, check=True).stdout.splitlines()[0]
    columns = [cell.split(" [")[0] for cell in header.split(",")]
    assert len(columns) > 40
    missing = [c for c in columns if not re.search(r"(?m)^\s+" + re.escape(c) + r"( \[|$)", page)]
    assert missing == []


def test_co2calc_page_names_options_keys_files_and_exit_statuses():
    page = render("co2calc")
    assert options(page) == {"--window", "--terminal", "--headless", "--transcript", "--scale", "--on-error",
                             "--help", "--version"}
    # Once the program explains its options itself, the page must name the same ones.
    run = subprocess.run([os.environ["CO2CALC"], "--help"], capture_output=True, text=True, stdin=subprocess.DEVNULL,
                         timeout=30)
    if run.returncode == 0:
        assert options(run.stdout) == options(page)
    for words in ["Shift+PgUp", "Alt+Enter", "Pause", "Ctrl+C", "CO2out.txt", "CR LF", "128 + signal",
                  "EXIT STATUS", "co2table(1)"]:
        assert words in page, words


def test_co2calc_page_and_help_give_the_same_exit_statuses():
    help_text = subprocess.run([os.environ["CO2CALC"], "--help"], capture_output=True, text=True,
                               stdin=subprocess.DEVNULL, timeout=30, check=True).stdout
    paragraph = re.search(r"Exit status:(.*?)\n\n", help_text, re.S).group(1)
    clauses = {int(m.group(1)): m.group(2) for m in re.finditer(r"(\d+)(?: \+ the signal's number)? ([^;]*)",
                                                                  paragraph)}
    page = render("co2calc")
    section = page.split("EXIT STATUS", 1)[1].split("EXAMPLES", 1)[0]
    entries = dict(re.findall(r"(?ms)^\s{5,}(\d+)(?: \+ signal)?\n(.*?)(?=\n\s*\n)", section + "\n\n"))
    entries = {int(k): " ".join(v.split()) for k, v in entries.items()}
    assert sorted(clauses) == sorted(entries) == [0, 1, 2, 3, 100, 128], (clauses, entries)
    # Each status names the same front ends in both texts.
    for status, words in {1: ["headless", "terminal"], 3: ["headless", "error box"], 100: ["window"]}.items():
        for word in words:
            assert word in clauses[status].lower() and word in entries[status].lower(), (status, word)


def png_size_and_pixels(path):
    """(width, height, RGBA rows) of an 8-bit RGBA PNG without filtering, as make_icon writes it."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    pos, idat, width, height = 8, b"", 0, 0
    while pos < len(data):
        length = int.from_bytes(data[pos:pos + 4], "big")
        kind, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + length]
        assert zlib.crc32(kind + body) == int.from_bytes(data[pos + 8 + length:pos + 12 + length], "big")
        if kind == b"IHDR":
            width, height = int.from_bytes(body[0:4], "big"), int.from_bytes(body[4:8], "big")
            assert body[8:10] == bytes([8, 6])
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = 1 + 4 * width
    assert len(raw) == stride * height
    return width, height, [raw[y * stride + 1:(y + 1) * stride] for y in range(height)]


@pytest.mark.parametrize("size", [16, 32, 48, 128])
def test_icons_are_the_window_icon_at_each_size(size):
    path = os.path.join(BUILD, "share", "icons", "hicolor", f"{size}x{size}", "apps", "co2calc.png")
    width, height, rows = png_size_and_pixels(path)
    assert (width, height) == (size, size)

    def at(x, y):  # the pixel over the design's point (x, y) of 32 x 32
        row = rows[int(y * size / 32)]
        i = 4 * int(x * size / 32)
        return row[i:i + 4]

    assert at(0.2, 0.2)[3] == 0  # transparent corner
    assert at(16, 12) == bytes([0x90, 0x90, 0x90, 0xFF])  # carbon
    assert at(6.5, 12) == bytes([0xD2, 0x3C, 0x3C, 0xFF])  # oxygen
    assert at(16, 22.5) == bytes([0x1E, 0x64, 0xC8, 0xFF])  # water


def test_desktop_entry_is_valid():
    entry = os.path.join(SOURCE, "co2calc.desktop")
    run = subprocess.run(["desktop-file-validate", entry], capture_output=True, text=True)
    assert run.returncode == 0 and "error" not in run.stdout, run.stdout
    text = open(entry, encoding="utf-8").read()
    for line in ["Exec=co2calc", "Icon=co2calc", "Terminal=false", "Categories=Science;Chemistry;"]:
        assert line in text.splitlines(), line
