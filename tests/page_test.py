#!/usr/bin/python3
"""The web page, driven in headless Chromium as a user drives it: pick, drop
or paste a chip list, convert it, read the report, save it. For each list,
what the page shows must be what a terminal shows for the command line (both
streams in one, each diagnostic at its place and marked as one), with the
exit status, and "Save report" and "Save diagnostics" must give the command
line's standard output and standard error byte for byte. The command line
is the native chipid, run here. The lists are the sample list, one of every
kind of line, and the lists of the command-line cases (tests/cli_cases.cpp),
as CASES, the native build's chipid_cli_cases, writes them. Then the page's
behaviours, each a check of its own: a list that can no longer be read, a
report that always belongs to the list named, one run at a time, a long
report cut at a line's end, a drop anywhere, a phone's width, a half UTF-8
character before a diagnostic, an empty list, the dark scheme, focus and
announcements; an edited list picked again, converted again without a
pick, and read anew through a file handle; a stray drop of text; a pasted
list's CRs; focus during and after a run; 320 px with the help open and a
long name; saved names; print; the diagnostics-only view's words; a
display stopped by another list; the help's table headings. Nothing the
page needs may come from anywhere but the page itself, and the browser's
console must stay free of errors. Every failure names its list or
behaviour and its check.

    page_test.py [--lists-only] PAGE CHIPID SOURCE_DIR CASES

--lists-only leaves the behaviours out: the release check runs it on the
released page, whose behaviours CI's wasm step has checked on the same
sources.

Needs Debian's chromium, chromium-driver and python3-selenium.
"""
import base64
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
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

arguments = sys.argv[1:]
lists_only = arguments[:1] == ["--lists-only"]
page, chipid, source, export_cases = (Path(arg).resolve() for arg in arguments[lists_only:][:4])
failures = []


def fail(case, what):
    failures.append(f"{case}: {what}")
    print(f"page: {case}: {what}", file=sys.stderr)


def command_line(list_bytes):
    """The native chipid on a list: stdout, stderr, both streams in one (as
    a terminal shows them) and the status."""
    with tempfile.TemporaryDirectory() as folder:
        (Path(folder) / "examples.txt").write_bytes(list_bytes)
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
options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
scratch = Path(tempfile.mkdtemp())
downloads = scratch / "downloads"


def text_of(element_id):
    """An element's text; "" where the page has no such element."""
    found = driver.find_elements(By.ID, element_id)
    return found[0].get_attribute("textContent") if found else ""


last_case = "the page"


def open_page(case):
    """A fresh page for CASE, downloads into an empty folder; the console's
    errors so far are the case before's."""
    global last_case
    console_errors(last_case)
    last_case = case
    for old in downloads.glob("*"):
        old.unlink()
    downloads.mkdir(exist_ok=True)
    driver.get(page.as_uri())
    driver.execute_cdp_cmd("Page.setDownloadBehavior", {"behavior": "allow", "downloadPath": str(downloads)})


def console_errors(case):
    for entry in driver.get_log("browser"):
        if entry["level"] == "SEVERE":
            fail(case, f"the console has an error: {entry['message']}")


def pick(name, list_bytes):
    path = scratch / name
    path.write_bytes(list_bytes)
    driver.find_element(By.ID, "list").send_keys(str(path))
    return path


def converted(case, name, seconds=60):
    """Waits for the run of the list NAME to end; False, and a failure, if
    it does not within SECONDS."""
    try:
        WebDriverWait(driver, seconds).until(
            lambda d: text_of("status") and (not d.find_elements(By.ID, "source") or
                                             f"Report of {name} (" in text_of("source") and
                                             d.execute_script("return performance.getEntriesByName('chipid-ready')"
                                                              ".length")))
        return True
    except TimeoutException:
        fail(case, f"the run of {name} did not end within {seconds} s ({text_of('progress')!r})")
        return False


def convert(case, name, list_bytes, seconds=60):
    """Picks LIST_BYTES as the list NAME, converts it and waits for the end."""
    pick(name, list_bytes)
    driver.find_element(By.ID, "convert").click()
    return converted(case, name, seconds)


def saved(case, button, file_name):
    driver.find_element(By.ID, button).click()
    path = downloads / file_name
    for _ in range(100):
        if path.exists() and not list(downloads.glob("*.crdownload")):
            return path.read_bytes()
        time.sleep(0.1)
    fail(case, f"{button} saved no {file_name}: {os.listdir(downloads)}")
    return None


def attempt(behaviour, check):
    """Runs one behaviour's check, which returns what it found where it
    passed; whatever it raises fails that behaviour alone."""
    before = len(failures)
    try:
        passed = check()
    except Exception as error:  # noqa: BLE001 - any error is this behaviour's failure
        fail(behaviour, f"{type(error).__name__}: {str(error).splitlines()[0] if str(error) else ''}")
        return
    if len(failures) == before:
        print(f"page: {behaviour}: {passed}")


def marked():
    """The text marked as diagnostics, read in one step while the page may
    still be adding to the report."""
    return driver.execute_script(
        "return Array.from(document.querySelectorAll('#report .diagnostic'), (span) => span.textContent).join('')")


try:
    driver.set_window_size(390, 844)  # a phone's width
    # One page for every list, as a user converts one after another; each
    # list under a name of its own.
    def compare(index, name, list_bytes):
        out, err, both, status = command_line(list_bytes)
        list_name = f"my chips {index}.txt"
        driver.execute_script("performance.clearMarks()")
        pick(list_name, list_bytes)
        driver.find_element(By.ID, "convert").click()
        if not converted(name, list_name):
            return
        shown = text_of("report")
        if shown != both.decode(errors="replace"):
            fail(name, f"the page shows {shown!r}, a terminal {both.decode(errors='replace')!r}")
        if marked() != err.decode():
            fail(name, f"the page marks {marked()!r} as diagnostics, standard error has {err.decode()!r}")
        said = text_of("status")
        if not said.startswith(f"Exit status {status}: "):
            fail(name, f"the page says {said!r}, the status is {status}")
        if saved(name, "save", f"my chips {index}-report.txt") not in (out, None):
            fail(name, "Save report gave another file than standard output")
        if saved(name, "save-diagnostics", f"my chips {index}-diagnostics.txt") not in (err, None):
            fail(name, "Save diagnostics gave another file than standard error")
        console_errors(name)
        return f"shown as a terminal shows it, status {status}, both streams saved byte for byte"

    open_page("the lists")
    for index, (name, list_bytes) in enumerate(cases.items()):
        attempt(name, lambda: compare(index, name, list_bytes))

    if lists_only:
        sys.exit(1 if failures else 0)

    sample = cases["the sample list"]
    sample_out, sample_err, sample_both, _ = command_line(sample)
    long_list = (cases["every kind of line"] + b"\n") * 3000

    behaviour = "a list deleted after it was picked"

    def behaviour_1():
        open_page(behaviour)
        pick("gone.txt", sample).unlink()
        driver.find_element(By.ID, "convert").click()
        with tempfile.TemporaryDirectory() as folder:
            os.mkdir(Path(folder) / "examples.txt")
            cant_read = subprocess.run([chipid], cwd=folder, capture_output=True)
        if converted(behaviour, "gone.txt", 10):
            if text_of("report") != cant_read.stderr.decode() or not text_of("status").startswith(
                    f"Exit status {cant_read.returncode}: "):
                fail(behaviour, f"the page says {text_of('report')!r}, {text_of('status')!r}; the command "
                     f"{cant_read.stderr!r}, status {cant_read.returncode}")
            if not driver.find_element(By.ID, "convert").is_enabled():
                fail(behaviour, "Convert stays disabled")
            if "Pick it again" not in text_of("summary"):
                fail(behaviour, f"the page does not say to pick the list again: {text_of('summary')!r}")
        return "the command's message and status, and the words to pick it again"

    attempt(behaviour, behaviour_1)

    behaviour = "another list picked after a conversion"

    def behaviour_2():
        open_page(behaviour)
        convert(behaviour, "first.txt", sample)
        pick("second.txt", cases["every kind of line"])
        if driver.find_element(By.ID, "result").is_displayed():
            fail(behaviour, "the first list's report, status and Save stay in reach")
        if "second.txt" not in text_of("picked"):
            fail(behaviour, f"the page names {text_of('picked')!r}")
        return "the first list's report is gone"

    attempt(behaviour, behaviour_2)

    behaviour = "two runs, one after the other at once"

    def behaviour_3():
        open_page(behaviour)
        pick("long.txt", long_list)
        driver.find_element(By.ID, "convert").click()
        if convert(behaviour, "short.txt", sample):
            time.sleep(2)
            if "short.txt" not in text_of("source") or text_of("report") != sample_both.decode():
                fail(behaviour, f"the report shown is not short.txt's: {text_of('source')!r}")
            if saved(behaviour, "save", "short-report.txt") not in (sample_out, None):
                fail(behaviour, "Save report saves another list's report")
        return "only the last run's report"

    attempt(behaviour, behaviour_3)

    behaviour = "Cancel"

    def behaviour_4():
        open_page(behaviour)
        pick("long.txt", long_list)
        driver.find_element(By.ID, "convert").click()
        driver.find_element(By.ID, "cancel").click()
        time.sleep(1)
        if text_of("progress") != "Cancelled." or driver.find_element(By.ID, "result").is_displayed():
            fail(behaviour, f"the page says {text_of('progress')!r} and shows a result")
        return "the run ends, no result"

    attempt(behaviour, behaviour_4)

    behaviour = "a report longer than the display"

    def behaviour_5():
        huge = sample * 5000
        huge_out, huge_err, _, _ = command_line(huge)
        open_page(behaviour)
        if convert(behaviour, "huge.txt", huge, 120):
            WebDriverWait(driver, 30).until(lambda d: d.find_elements(By.CSS_SELECTOR, "#report .cut"))
            note, shown = driver.execute_script(
                "return [document.querySelector('#report .cut').textContent,"
                " document.getElementById('report').textContent]")
            body = shown[:-len(note)]
            if not body.endswith("\n") or "left out" not in note:
                fail(behaviour, f"the display is cut at {body[-40:]!r}, saying {note!r}")
            if saved(behaviour, "save", "huge-report.txt") not in (huge_out, None):
                fail(behaviour, "the saved report is not the whole standard output")
            driver.execute_script("performance.clearMarks()")
            driver.find_element(By.ID, "view").click()
            WebDriverWait(driver, 10).until(
                lambda d: d.execute_script("return performance.getEntriesByName('chipid-ready').length"))
            if marked() != huge_err.decode():
                fail(behaviour, "the diagnostics-only view does not show every diagnostic")
        return "cut at a line's end and said so; saved whole; every diagnostic in view"

    attempt(behaviour, behaviour_5)

    behaviour = "a drop outside the box"

    def behaviour_6():
        open_page(behaviour)
        drop_script = """
            const files = new DataTransfer();
            for (const [name, text] of arguments[0]) files.items.add(new File([text], name));
            const event = new DragEvent("drop", { dataTransfer: files, bubbles: true, cancelable: true });
            document.querySelector("h1").dispatchEvent(event);
            return event.defaultPrevented;"""
        if not driver.execute_script(drop_script, [["dropped.txt", sample.decode()]]):
            fail(behaviour, "the browser would open the dropped file")
        if "dropped.txt" not in text_of("picked"):
            fail(behaviour, f"the page names {text_of('picked')!r}")
        driver.find_element(By.ID, "convert").click()
        if converted(behaviour, "dropped.txt") and text_of("report") != sample_both.decode():
            fail(behaviour, "the dropped list's report is not the command's")
        driver.execute_script(drop_script, [["a.txt", "x"], ["b.txt", "y"]])
        if "2 files" not in text_of("progress") or "dropped.txt" not in text_of("picked"):
            fail(behaviour, f"two files dropped: the page says {text_of('picked')!r}, {text_of('progress')!r}")
        return "taken; two files left alone, in words"

    attempt(behaviour, behaviour_6)

    behaviour = "a pasted list"

    def behaviour_7():
        open_page(behaviour)
        driver.find_element(By.CSS_SELECTOR, ".paste summary").click()
        driver.find_element(By.ID, "pasted").send_keys(sample.decode())
        driver.find_element(By.ID, "use-pasted").click()
        driver.find_element(By.ID, "convert").click()
        if converted(behaviour, "pasted list") and text_of("report") != sample_both.decode():
            fail(behaviour, "the pasted list's report is not the command's")
        return "converted as the command converts it"

    attempt(behaviour, behaviour_7)

    behaviour = "a phone's width"

    def behaviour_8():
        open_page(behaviour)
        if convert(behaviour, "wide.txt", sample):
            widths = driver.execute_script(
                "const r = document.getElementById('report'); return [r.scrollWidth, r.clientWidth];")
            if widths[0] > widths[1]:
                fail(behaviour, f"the report is {widths[0]} px wide in a {widths[1]} px box")
        return "no sideways scrolling"

    attempt(behaviour, behaviour_8)

    behaviour = "accessibility"

    def behaviour_9():
        if driver.execute_script("return document.activeElement.id") != "report-heading":
            fail(behaviour, f"focus is on {driver.execute_script('return document.activeElement.tagName')}")
        try:
            WebDriverWait(driver, 5).until(lambda d: "Exit status 0" in text_of("announce"))
        except TimeoutException:
            fail(behaviour, f"the status is not announced: {text_of('announce')!r}")
        report = driver.find_element(By.ID, "report")
        if report.get_attribute("role") != "region" or not report.get_attribute("aria-label"):
            fail(behaviour, "the report is no labelled region")
        return "focus on the result, status announced, the report a labelled region"

    attempt(behaviour, behaviour_9)

    behaviour = "half a UTF-8 character before a diagnostic"

    def behaviour_10():
        split = b"W09D0103G41K12-1D1-02055\xc3\n"
        split_err = command_line(split)[1].decode()
        open_page(behaviour)
        if convert(behaviour, "split.txt", split) and marked() != split_err:
            fail(behaviour, f"the page marks {marked()!r}, standard error has {split_err!r}")
        return "the diagnostic marked alone"

    attempt(behaviour, behaviour_10)

    behaviour = "an empty list"

    def behaviour_11():
        open_page(behaviour)
        if convert(behaviour, "empty.txt", b"") and "no lines" not in text_of("summary"):
            fail(behaviour, f"the page says {text_of('summary')!r}")
        return "said to have no lines"

    attempt(behaviour, behaviour_11)

    behaviour = "the dark scheme"

    def behaviour_12():
        driver.execute_cdp_cmd("Emulation.setEmulatedMedia",
                               {"features": [{"name": "prefers-color-scheme", "value": "dark"}]})
        open_page(behaviour)
        # Light text on a dark, opaque background.
        style = driver.execute_script(
            "const s = getComputedStyle(document.body); return [s.backgroundColor, s.color];")
        background, text = ([float(value) for value in re.findall(r"[\d.]+", color)] for color in style)
        if len(background) == 4 or sum(background[:3]) > 3 * 64 or sum(text[:3]) < 3 * 160:
            fail(behaviour, f"the page's background is {style[0]}, its text {style[1]}")
        background = style[0]
        driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"features": []})
        return f"followed ({background})"

    attempt(behaviour, behaviour_12)

    behaviour = "an edited list, picked again"

    def behaviour_13():
        open_page(behaviour)
        edited = sample + b"W07A0399G35F72.1A1-039999\n"
        edited_both = command_line(edited)[2]
        path = scratch / "edited.txt"
        if convert(behaviour, "edited.txt", sample):
            path.write_bytes(edited)
            driver.execute_script("performance.clearMarks()")
            driver.find_element(By.ID, "list").send_keys(str(path))
            if f"{len(edited)} bytes" not in text_of("picked"):
                fail(behaviour, f"picked again, the page says {text_of('picked')!r}")
            driver.find_element(By.ID, "convert").click()
            if converted(behaviour, "edited.txt") and text_of("report") != edited_both.decode():
                fail(behaviour, f"the report is not the edited list's: {text_of('report')[-120:]!r}")
        return "picked again, the list's bytes as they are now"

    attempt(behaviour, behaviour_13)

    behaviour = "an edited list, converted again without a new pick"

    def behaviour_14():
        open_page(behaviour)
        path = scratch / "stale.txt"
        if convert(behaviour, "stale.txt", sample):
            path.write_bytes(sample + sample)
            driver.execute_script("performance.clearMarks()")
            driver.find_element(By.ID, "convert").click()
            if converted(behaviour, "stale.txt") and "Pick it again" not in text_of("summary"):
                fail(behaviour, f"the page says {text_of('summary')!r}, not to pick the list again")
        return "the page says to pick it again"

    attempt(behaviour, behaviour_14)

    behaviour = "a file handle, read anew at each Convert"

    def behaviour_15():
        open_page(behaviour)
        # A browser with the File System Access API: its picker, stood in
        # for, gives a handle whose file is the list as it is when read.
        driver.execute_script("""
            window.listText = arguments[0];
            window.showOpenFilePicker = async () => [{ kind: "file", name: "handled.txt",
                getFile: async () => new File([window.listText], "handled.txt") }];
            document.getElementById("list").click();""", sample.decode())
        WebDriverWait(driver, 10).until(lambda d: "handled.txt" in text_of("picked"))
        driver.find_element(By.ID, "convert").click()
        if converted(behaviour, "handled.txt"):
            edited = sample + sample
            driver.execute_script("performance.clearMarks(); window.listText = arguments[0];", edited.decode())
            driver.find_element(By.ID, "convert").click()
            if converted(behaviour, "handled.txt") and text_of("report") != command_line(edited)[2].decode():
                fail(behaviour, "Convert did not read the file as it is now")
        return "Convert reads the file as it is, with no new pick"

    attempt(behaviour, behaviour_15)

    behaviour = "a stray drop of text"

    def behaviour_16():
        open_page(behaviour)
        if convert(behaviour, "kept.txt", sample):
            driver.execute_script("""
                const data = new DataTransfer();
                data.setData("text/plain", "some selected text");
                document.querySelector("h1").dispatchEvent(
                    new DragEvent("drop", { dataTransfer: data, bubbles: true, cancelable: true }));""")
            if not driver.find_element(By.ID, "result").is_displayed() or text_of("report") != sample_both.decode():
                fail(behaviour, "the report is gone")
            if not driver.find_element(By.ID, "convert").is_enabled() or "kept.txt" not in text_of("picked"):
                fail(behaviour, f"the list is forgotten: {text_of('picked')!r}")
            if "no file" not in text_of("progress"):
                fail(behaviour, f"nothing says what was left alone: {text_of('progress')!r}")
        return "the list and the report stay; a note says the drop was left alone"

    attempt(behaviour, behaviour_16)

    behaviour = "a pasted list with CR line ends"

    def behaviour_17():
        open_page(behaviour)
        cr_list = sample.replace(b"\n", b"\r")
        driver.find_element(By.CSS_SELECTOR, ".paste summary").click()
        driver.execute_script("""
            const data = new DataTransfer();
            data.setData("text/plain", arguments[0]);
            document.getElementById("pasted").dispatchEvent(
                new ClipboardEvent("paste", { clipboardData: data, bubbles: true, cancelable: true }));""",
                              cr_list.decode())
        driver.find_element(By.ID, "use-pasted").click()
        if f"{len(cr_list)} bytes" not in text_of("picked"):
            fail(behaviour, f"the page says {text_of('picked')!r}")
        driver.find_element(By.ID, "convert").click()
        _, _, cr_both, cr_status = command_line(cr_list)
        if converted(behaviour, "pasted list"):
            if text_of("report") != cr_both.decode() or not text_of("status").startswith(f"Exit status {cr_status}"):
                fail(behaviour, f"the page shows {text_of('report')[:80]!r}, {text_of('status')!r}")
        return "the pasted bytes, CRs and all, as the command takes them"

    attempt(behaviour, behaviour_17)

    behaviour = "focus after Convert and Cancel"

    def behaviour_18():
        open_page(behaviour)
        pick("long.txt", long_list)
        driver.find_element(By.ID, "convert").send_keys(Keys.ENTER)
        active = driver.execute_script("return document.activeElement.id || document.activeElement.tagName")
        if active != "cancel":
            fail(behaviour, f"after Enter on Convert, focus is on {active}")
        driver.switch_to.active_element.send_keys(Keys.ENTER)
        active = driver.execute_script("return document.activeElement.id || document.activeElement.tagName")
        if active != "convert":
            fail(behaviour, f"after Enter on Cancel, focus is on {active}")
        return "Cancel during the run, Convert after it"

    attempt(behaviour, behaviour_18)

    behaviour = "320 px wide, the help open, a long name"

    def behaviour_19():
        driver.set_window_size(320, 700)
        try:
            open_page(behaviour)
            name = "chips-" + "x" * 124 + ".txt"
            if convert(behaviour, name, sample):
                driver.find_element(By.CSS_SELECTOR, "#help summary").click()
                widths = driver.execute_script(
                    "return [document.documentElement.scrollWidth, document.documentElement.clientWidth];")
                if widths[0] > widths[1]:
                    fail(behaviour, f"the page is {widths[0]} px wide in a {widths[1]} px window")
        finally:
            driver.set_window_size(390, 844)
        return "no sideways scrolling"

    attempt(behaviour, behaviour_19)

    behaviour = "saved names"

    def behaviour_20():
        open_page(behaviour)
        long_name = "y" * 240 + ".txt"
        for name, expected in (("lot 3.5 chips", "lot 3.5 chips-report.txt"), (".chips", "chips-report.txt"),
                               ("chips.LST", "chips-report.txt"),
                               (long_name, "y" * 150 + "\u2026-report.txt")):
            driver.execute_script("performance.clearMarks()")
            if convert(behaviour, name, sample) and saved(behaviour, "save", expected) not in (sample_out, None):
                fail(behaviour, f"{name} saved another report as {expected}")
        return "every character kept but a text ending; a long name cut visibly"

    attempt(behaviour, behaviour_20)

    behaviour = "printed"

    def behaviour_21():
        open_page(behaviour)
        if convert(behaviour, "printed.txt", sample):
            driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"media": "print"})
            try:
                shown = driver.execute_script("""
                    return ["convert", "list", "save", "help", "report-heading", "source", "status", "summary"]
                        .map((id) => document.getElementById(id).getClientRects().length > 0);""")
                if shown != [False, False, False, False, True, True, True, True]:
                    fail(behaviour, f"controls shown or the report's parts hidden: {shown}")
                border = driver.execute_script(
                    "return getComputedStyle(document.querySelector('#report .diagnostic')).borderTopStyle")
                if border != "solid":
                    fail(behaviour, f"a diagnostic is marked by colour alone (border {border})")
            finally:
                driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"media": ""})
            pdf = base64.b64decode(driver.execute_cdp_cmd("Page.printToPDF", {})["data"])
            pages = len(re.findall(rb"/Type\s*/Page[^s]", pdf))
            if pages != 1:
                fail(behaviour, f"the sample's report prints on {pages} pages")
        return "the report, its heading and counts on one page; diagnostics framed"

    attempt(behaviour, behaviour_21)

    behaviour = "the diagnostics-only view"

    def behaviour_22():
        open_page(behaviour)
        if convert(behaviour, "view.txt", sample):
            label = text_of("view")
            driver.find_element(By.ID, "view").click()
            if text_of("view") != label or driver.find_element(By.ID, "view").get_attribute("aria-pressed") != "true":
                fail(behaviour, f"the toggle says {text_of('view')!r}, was {label!r}")
            said = driver.find_element(By.ID, "report").get_attribute("aria-label")
            if "at their places" in said or driver.find_element(By.ID, "legend-whole").is_displayed():
                fail(behaviour, f"the view is said to hold diagnostics at their places: {said!r}")
        return "the legend and label say what is shown; the toggle's label stays"

    attempt(behaviour, behaviour_22)

    behaviour = "another list picked during the display"

    def behaviour_23():
        open_page(behaviour)
        pick("shown.txt", sample * 5000)
        driver.find_element(By.ID, "convert").click()
        WebDriverWait(driver, 60).until(lambda d: d.find_elements(By.CSS_SELECTOR, "#report .block"))
        pick("next.txt", sample)
        time.sleep(1)
        blocks = len(driver.find_elements(By.CSS_SELECTOR, "#report .block"))
        if blocks:
            fail(behaviour, f"the old display goes on filling the hidden report ({blocks} blocks)")
        return "the old display stops"

    attempt(behaviour, behaviour_23)

    behaviour = "the help's tables"

    def behaviour_24():
        open_page(behaviour)
        headless = driver.execute_script("""
            return Array.from(document.querySelectorAll("#help table:not([role=presentation])"))
                .filter((table) => !table.rows[0].querySelector("th")).length;""")
        tables = len(driver.find_elements(By.CSS_SELECTOR, "#help table:not([role=presentation])"))
        if headless or not tables:
            fail(behaviour, f"{headless} of {tables} tables have no heading cells")
        return f"{tables} tables, each with its heading row"

    attempt(behaviour, behaviour_24)

    console_errors(last_case)
finally:
    driver.quit()
sys.exit(1 if failures else 0)
