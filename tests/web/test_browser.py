#!/usr/bin/python3
"""The built page in headless Chromium, served from 127.0.0.1: a point, a curve point and a
hydrate point against native co2table, a bad value's message, a 10 x 10 grid's downloaded CSV
against co2table's, the plot's curves; screenshots into the output folder.

Usage: test_browser.py CO2TABLE SITE OUTPUT_DIR (exits 77 with the reason when Chromium,
chromedriver or selenium is missing)."""
import csv
import functools
import http.server
import io
import os
import shutil
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from compare_grid import REL_LIMIT, compare_tables  # noqa: E402


def skip(reason):
    print(f"SKIPPED: {reason}")
    sys.exit(77)


try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import Select, WebDriverWait
except ImportError:
    skip("python3-selenium is not installed (apt-get install python3-selenium)")
CHROMIUM = shutil.which("chromium")
DRIVER = shutil.which("chromedriver")
if not CHROMIUM or not DRIVER:
    skip("Chromium or its driver is missing (apt-get install chromium chromium-driver)")

CO2TABLE, SITE, OUT = sys.argv[1:4]
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL", message)


def native_row(*args):
    """co2table's one row for these arguments, as {column name: text}."""
    text = subprocess.run([CO2TABLE, *args, "--header", "names"], check=True,
                          capture_output=True).stdout.decode()
    return next(csv.DictReader(io.StringIO(text)))


def close(a, b):
    try:
        x, y = float(a), float(b)
    except ValueError:
        return a == b
    return x == y or abs(x - y) <= REL_LIMIT * abs(x)


class Quiet(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm", ".js": "text/javascript"}

    def log_message(self, *args):
        pass


def main():
    os.makedirs(OUT, exist_ok=True)
    downloads = os.path.join(OUT, "downloads")
    shutil.rmtree(downloads, ignore_errors=True)
    os.makedirs(downloads)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Quiet, directory=SITE))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = f"http://127.0.0.1:{server.server_address[1]}/index.html"

    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for arg in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--window-size=1200,1600"):
        options.add_argument(arg)
    options.add_experimental_option("prefs", {"download.default_directory": downloads,
                                              "download.prompt_for_download": False})
    driver = webdriver.Chrome(service=Service(executable_path=DRIVER), options=options)
    try:
        driver.execute_cdp_cmd("Page.setDownloadBehavior", {"behavior": "allow", "downloadPath": downloads})
        wait = WebDriverWait(driver, 60)
        started = time.monotonic()
        driver.get(base)
        wait.until(lambda d: d.find_element(By.TAG_NAME, "body").get_attribute("data-ready") == "1")
        print(f"page ready in {time.monotonic() - started:.2f} s")

        def report():
            rows = driver.find_elements(By.CSS_SELECTOR, "#report tbody tr")
            return {r.get_attribute("data-name"): r.find_element(By.CSS_SELECTOR, "td.num").text for r in rows}

        def type_into(field, text):
            e = driver.find_element(By.ID, field)
            e.clear()
            e.send_keys(text)

        def compare_point(what, native):
            shown = report()
            check(len(shown) > 30, f"{what}: the report has {len(shown)} rows")
            exact = 0
            # A pure-water table leaves the brine's columns out; the page shows them all.
            shown = {name: value for name, value in shown.items() if name in native}
            for name, value in shown.items():
                expected = native[name]
                value = "" if value == "—" else value
                exact += value == expected
                check(close(expected, value), f"{what}: {name}: page {value!r}, co2table {expected!r}")
            print(f"{what}: {exact} of {len(shown)} values as co2table prints them, the rest within {REL_LIMIT}")
            check(driver.find_element(By.ID, "phase").text == native["phase_CO2"], f"{what}: CO2 phase")
            check(driver.find_element(By.ID, "hydrate").text.startswith("yes" if native["hydrate"] == "1" else "no"),
                  f"{what}: hydrate label")
            return shown

        # 25 C, 10 MPa: the defaults.
        type_into("t", "25")
        type_into("p", "10")
        shown = compare_point("25 C, 10 MPa", native_row("--temperature", "25", "--pressure", "10"))
        check(shown.get("sol_m") == "1.4527788439279832", f"sol_m at 25 C, 10 MPa: {shown.get('sol_m')}")
        driver.find_element(By.ID, "point").screenshot(os.path.join(OUT, "report.png"))

        # A point on the first phase-boundary curve.
        Select(driver.find_element(By.ID, "mode")).select_by_value("1")
        type_into("t", "10")
        compare_point("curve 1 at 10 C", native_row("--temperature", "10", "--curve", "1"))
        check("mode=1" in driver.current_url and "t=10" in driver.current_url, "the address keeps the inputs")

        # Outside the curve's range, then not a number: messages naming the value.
        type_into("t", "50")
        message = driver.find_element(By.ID, "t-msg").text
        check("50" in message and "-1.6 .. 31.48" in message, f"curve range message: {message!r}")
        type_into("t", "2x5")
        message = driver.find_element(By.ID, "t-msg").text
        check(message == 'temperature: "2x5" is not a number', f"bad number message: {message!r}")
        check(not driver.find_elements(By.CSS_SELECTOR, "#report tbody tr"), "no report for a bad value")

        # The hydrate field: 5 C, 5 MPa, reached through the address.
        driver.get(base + "?t=5&mode=0&p=5")
        wait.until(lambda d: d.find_element(By.TAG_NAME, "body").get_attribute("data-ready") == "1")
        native = native_row("--temperature", "5", "--pressure", "5")
        compare_point("5 C, 5 MPa", native)
        check(native["hydrate"] == "1", "co2table: 5 C, 5 MPa is in the hydrate field")

        # A brine: its solubility from the salt layer, as co2table's --nacl gives it.
        type_into("nacl", "1")
        native = native_row("--temperature", "5", "--pressure", "5", "--nacl", "1")
        sol = report()["sol_m"]
        check(close(native["sol_m"], sol) and native["sol_m"] != "", f"brine sol_m: page {sol}, co2table {native['sol_m']}")

        # A 10 x 10 grid, its CSV download and plot.
        driver.find_element(By.ID, "tab-grid").click()
        type_into("gt", "0:90:10")
        type_into("gp", "10:100:10")
        driver.find_element(By.ID, "grid-run").click()
        wait.until(lambda d: d.find_element(By.ID, "dl-csv").is_enabled())
        driver.find_element(By.ID, "dl-csv").click()
        target = os.path.join(downloads, "co2table.csv")
        deadline = time.monotonic() + 30
        while not os.path.exists(target) and time.monotonic() < deadline:
            time.sleep(0.1)
        check(os.path.exists(target), "the CSV was downloaded")
        if os.path.exists(target):
            with open(target, encoding="utf-8") as f:
                page_csv = f.read()
            native_csv = subprocess.run([CO2TABLE, "--temperature", "0:90:10", "--pressure", "10:100:10"],
                                        check=True, capture_output=True).stdout.decode()
            lines, faults = compare_tables(native_csv, page_csv)
            print("10 x 10 grid: " + "\n".join(lines))
            for fault in faults:
                check(False, "grid: " + fault)
        labels = [g.get_attribute("data-label") for g in driver.find_elements(By.CSS_SELECTOR, "#plot g.curve")]
        check(labels == [f"{t} °C" for t in range(0, 100, 10)], f"one curve per temperature: {labels}")
        check(driver.find_elements(By.CSS_SELECTOR, "#plot g.curve path.hydrate"), "hydrate parts dashed")
        check(driver.find_elements(By.CSS_SELECTOR, "#plot g.measured circle"), "measured points drawn")
        figure = driver.find_element(By.ID, "plot")
        driver.execute_script("arguments[0].scrollIntoView()", figure)
        figure.screenshot(os.path.join(OUT, "plot.png"))
    finally:
        driver.quit()
        server.shutdown()
    print(f"screenshots in {OUT}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
