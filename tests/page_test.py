#!/usr/bin/python3
"""The web page, driven in headless Chromium as a user drives it: pick a
chip list, convert it, read the report, save it. For each list, what the
page shows must be what a terminal shows for the command line (both
streams in one, each diagnostic at its place and marked as one), with the
exit status, and "Save report" must give the command line's standard
output byte for byte. The command line is the native chipid, run here.
The lists are the sample list, one of every kind of line, and the lists of
the command-line cases (tests/cli_cases.cpp), as CASES, the native
build's chipid_cli_cases, writes them. Nothing the page needs may come
from anywhere but the page itself. Every failure names its list and check.

    page_test.py PAGE CHIPID SOURCE_DIR CASES

Needs Debian's chromium, chromium-driver and python3-selenium.
"""
import os
import re
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from selenium import webdriver
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

page, chipid, source, export_cases = (Path(arg).resolve() for arg in sys.argv[1:5])
failures = []


def fail(case, what):
    failures.append(f"{case}: {what}")
    print(f"page: {case}: {what}", file=sys.stderr)


def command_line(folder):
    """The native chipid on folder/examples.txt: stdout, stderr, both
    streams in one (as a terminal shows them) and the status."""
    apart = subprocess.run([chipid], cwd=folder, capture_output=True)
    both = subprocess.run([chipid], cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    return apart.stdout, apart.stderr, both.stdout, apart.returncode


# The page holds no reference that could load anything from elsewhere.
html = page.read_text(encoding="utf-8")
for pattern in (r"https?://", r"<[a-zA-Z][^<>]*\s(?:src|href|action)\s*=", r"<link\b", r"@import", r"url\("):
    if re.search(pattern, html):
        fail("the page", f"has a reference that loads from elsewhere: {pattern}")

every_kind = subprocess.run(["bash", source / "bench/every-kind.sh", "40"], capture_output=True,
                            check=True).stdout
cases = {
    "the sample list": (source / "examples/examples.txt").read_bytes(),
    "every kind of line": every_kind,
}
with tempfile.TemporaryDirectory() as exported:
    subprocess.run([export_cases, exported], check=True)
    for case in sorted(Path(exported).iterdir()):
        cases[f"case '{case.name}'"] = (case / "examples.txt").read_bytes()

options = webdriver.ChromeOptions()
for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"):
    options.add_argument(argument)
driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
try:
    driver.set_window_size(390, 844)  # a phone's width
    for name, list_bytes in cases.items():
        with tempfile.TemporaryDirectory() as scratch:
            scratch = Path(scratch)
            (scratch / "examples.txt").write_bytes(list_bytes)
            out, err, both, status = command_line(scratch)
            # The list is the file the user picks, whatever its name.
            picked = scratch / "my chips.txt"
            picked.write_bytes(list_bytes)
            downloads = scratch / "downloads"
            downloads.mkdir()
            driver.get(page.as_uri())
            driver.execute_cdp_cmd("Page.setDownloadBehavior",
                                   {"behavior": "allow", "downloadPath": str(downloads)})
            driver.find_element(By.ID, "list").send_keys(str(picked))
            driver.find_element(By.ID, "convert").click()
            try:
                WebDriverWait(driver, 30).until(
                    lambda d: d.find_element(By.ID, "status").get_attribute("textContent"))
            except TimeoutException:
                fail(name, "Convert gave no exit status within 30 s")
                continue
            shown = driver.find_element(By.ID, "report").get_attribute("textContent")
            if shown != both.decode():
                fail(name, f"the page shows {shown!r}, a terminal {both.decode()!r}")
            marked = "".join(span.get_attribute("textContent") for span in
                             driver.find_elements(By.CSS_SELECTOR, "#report .diagnostic"))
            if marked != err.decode():
                fail(name, f"the page marks {marked!r} as diagnostics, standard error has {err.decode()!r}")
            said = driver.find_element(By.ID, "status").get_attribute("textContent")
            if not said.startswith(f"Exit status {status}: "):
                fail(name, f"the page says {said!r}, the status is {status}")
            driver.find_element(By.ID, "save").click()
            saved = downloads / "report.txt"
            for _ in range(100):
                if saved.exists():
                    break
                time.sleep(0.1)
            if not saved.exists():
                fail(name, f"Save report saved nothing: {os.listdir(downloads)}")
            elif saved.read_bytes() != out:
                fail(name, f"Save report gave {saved.read_bytes()!r}, standard output is {out!r}")
            else:
                print(f"page: {name}: shown as a terminal shows it, status {status}, saved byte for byte")
finally:
    driver.quit()
sys.exit(1 if failures else 0)
