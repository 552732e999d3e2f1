#!/usr/bin/python3
"""The web page against the command, on one list, in one run on one machine:
the command's wall time with both streams sent to files (the median of
three runs), then the page in headless Chromium: the time from the click on
Convert to the report shown whole with its saves ready (the page's own
performance marks), the longest task on its main thread while it converts
and shows the report (PerformanceObserver's long tasks, 50 ms and more),
and the peak memory of all of Chromium's processes above what they held
before the click (their resident sizes, sampled every 50 ms). Then both
saves, whose SHA-256 must be the command's streams'. It measures and
reports; it judges nothing but the saved bytes.

    bench/page.py PAGE CHIPID LIST

Needs Debian's chromium, chromium-driver and python3-selenium.
"""
import hashlib
import os
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

page, chipid, chip_list = (Path(arg).resolve() for arg in sys.argv[1:4])
work = Path(tempfile.mkdtemp())
(work / "examples.txt").symlink_to(chip_list)
times = []
for _ in range(3):
    started = time.perf_counter()
    with open(work / "out", "wb") as out, open(work / "err", "wb") as err:
        subprocess.run([chipid], cwd=work, stdout=out, stderr=err)
    times.append(time.perf_counter() - started)
command_seconds = statistics.median(times)
digests = {name: hashlib.sha256((work / name).read_bytes()).hexdigest() for name in ("out", "err")}


def chromium_rss_kib(root_pid):
    """The resident memory of a process and all its descendants."""
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                fields = Path(f"/proc/{entry}/stat").read_text().rsplit(")", 1)[1].split()
                children.setdefault(int(fields[1]), []).append(int(entry))
            except OSError:
                pass
    total, todo = 0, [root_pid]
    while todo:
        pid = todo.pop()
        todo.extend(children.get(pid, []))
        try:
            for line in Path(f"/proc/{pid}/status").read_text().splitlines():
                if line.startswith("VmRSS:"):
                    total += int(line.split()[1])
        except OSError:
            pass
    return total


options = webdriver.ChromeOptions()
for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"):
    options.add_argument(argument)
service = Service("/usr/bin/chromedriver")
driver = webdriver.Chrome(service=service, options=options)
downloads = work / "downloads"
downloads.mkdir()
try:
    driver.get(page.as_uri())
    driver.execute_cdp_cmd("Page.setDownloadBehavior", {"behavior": "allow", "downloadPath": str(downloads)})
    driver.execute_script("""
        window.longest = 0;
        new PerformanceObserver((list) => {
            for (const entry of list.getEntries()) window.longest = Math.max(window.longest, entry.duration);
        }).observe({ type: "longtask", buffered: true });""")
    driver.find_element(By.ID, "list").send_keys(str(chip_list))
    time.sleep(1)
    idle = chromium_rss_kib(service.process.pid)
    peak = idle
    sampling = True

    def sample():
        global peak
        while sampling:
            peak = max(peak, chromium_rss_kib(service.process.pid))
            time.sleep(0.05)

    sampler = threading.Thread(target=sample)
    sampler.start()
    driver.execute_script("window.longest = 0;")
    driver.find_element(By.ID, "convert").click()
    WebDriverWait(driver, 3600, poll_frequency=0.05).until(
        lambda d: d.execute_script("return performance.getEntriesByName('chipid-ready').length"))
    sampling = False
    sampler.join()
    page_seconds = driver.execute_script(
        "return (performance.getEntriesByName('chipid-ready')[0].startTime -"
        " performance.getEntriesByName('chipid-convert')[0].startTime) / 1000")
    longest = driver.execute_script("return window.longest")
    saved = {}
    for button, name in (("save", "out"), ("save-diagnostics", "err")):
        driver.find_element(By.ID, button).click()
        stem = chip_list.stem + ("-report.txt" if name == "out" else "-diagnostics.txt")
        target = downloads / stem
        WebDriverWait(driver, 600, poll_frequency=0.2).until(
            lambda d: target.exists() and not list(downloads.glob("*.crdownload")))
        saved[name] = hashlib.sha256(target.read_bytes()).hexdigest()
        target.unlink()
finally:
    driver.quit()

size = chip_list.stat().st_size
report = (work / "out").stat().st_size
print(f"list: {chip_list.name}, {size} bytes; report {report} bytes, diagnostics {(work / 'err').stat().st_size} bytes")
print(f"command wall (s), both streams to files, median of 3: {command_seconds:.3f}")
print(f"page, click to the report shown with its saves ready (s): {page_seconds:.3f}")
print(f"ratio page/command: {page_seconds / command_seconds:.2f}")
print(f"longest main-thread task (ms): {longest:.0f}")
print(f"Chromium's peak memory above idle (MiB): {(peak - idle) / 1024:.0f}; "
      f"the list plus the report: {(size + report) / 2**20:.0f}")
for name in ("out", "err"):
    same = "the same as" if saved[name] == digests[name] else "NOT the same as"
    print(f"saved {'report' if name == 'out' else 'diagnostics'}: sha256 {saved[name]}, {same} the command's")
sys.exit(0 if saved == digests else 1)
