#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The tarnwick authors
# SPDX-License-Identifier: MIT

"""watch_measure.py OUT BASE NAME KIND COMMAND...: one file watcher against 1,000 saves.

BASE is an entry file; the file watched is BASE with "counter: N" in front, saved 1,000 times
by renaming a new file over it (as Editor, tarnwick-set, sed -i and os.replace do), 0 to 30 ms
apart at random, N the number of the save. COMMAND runs the watcher ({file} and {dir} stand for
the file and its folder) under GNU time; each line it writes is a report, stamped as it arrives.
KIND says what a line holds: "counter" (the counter it read), "tarnwick" (tarnwick-watch's
lines, "+ counter : N" the one that counts) or "event:NAME" (an event for the name NAME, read
from nothing). Writes OUT/NAME-LINES.json: saves seen (a report that read them or a later
save came after them, within a minute of the last save) and missed, duplicate reports (that read nothing newer), reports of an
older save than one before, latency from the rename to the report (p50, p99, of the first
report of each save's counter), peak RSS.

With DROPINS=N in the environment, the watcher watches a layered configuration instead (run it
with --root {dir} --path /etc:/run:/usr/local/lib:/usr/lib --layers bench.yaml): BASE's lines
in N drop-ins of bench.yaml.d/ spread over the four folders, and the file saved is one more,
/etc's zz-counter.yaml, with the counter alone.
"""
import json
import os
import random
import re
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

SAVES = 1000

out, base, name, kind = sys.argv[1:5]
command = sys.argv[5:]
lines_in_file = sum(1 for _ in open(base))
work = tempfile.mkdtemp(dir=out, prefix="watch-")
file = os.path.join(work, "settings.yaml")
body = open(base).read()
dropins = int(os.environ.get("DROPINS", "0"))
if dropins:
    lines = body.splitlines(keepends=True)
    folders = ["etc", "run", "usr/local/lib", "usr/lib"]
    for folder in folders:
        os.makedirs(os.path.join(work, folder, "bench.yaml.d"))
    per = max(1, len(lines) // dropins)
    for n in range(dropins):
        with open(os.path.join(work, folders[n % 4], "bench.yaml.d", "%04d.yaml" % n), "w") as f:
            f.write("".join(lines[n * per:(n + 1) * per]))
    file = os.path.join(work, "etc", "bench.yaml.d", "zz-counter.yaml")
    body = ""


def save(number, path):
    with open(path, "w") as f:
        f.write("counter: %d\n" % number)
        f.write(body)


save(0, file)
rss_file = os.path.join(work, "rss")
watcher = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", rss_file]
                           + [part.replace("{file}", file).replace("{dir}", work) for part in command],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, cwd=work, start_new_session=True)
arrived = []


def read_reports():
    for line in watcher.stdout:
        arrived.append((time.time_ns(), line.decode("latin-1").strip()))


threading.Thread(target=read_reports, daemon=True).start()


def watches_folder(pid):
    """The process (GNU time's child) holds an inotify watch."""
    try:
        children = open("/proc/%d/task/%d/children" % (pid, pid)).read().split()
        for child in children:
            for fd in os.listdir("/proc/%s/fdinfo" % child):
                if "inotify wd:" in open("/proc/%s/fdinfo/%s" % (child, fd)).read():
                    return True
    except OSError:
        pass
    return False


for _ in range(3000):
    if watches_folder(watcher.pid):
        break
    time.sleep(0.01)
time.sleep(1)  # and has set up what it does on an event

saved = [0]
rng = random.Random(2026)
for number in range(1, SAVES + 1):
    save(number, file + ".new")
    saved.append(time.time_ns())  # as the rename starts
    os.replace(file + ".new", file)
    time.sleep(rng.uniform(0, 0.030))

# Quiet: no report for five seconds; a watcher still reading a minute after the last save is
# stopped there (what it had not told by then counts as missed).
quiet_by = time.time() + 60
while time.time() < quiet_by:
    count = len(arrived)
    time.sleep(5)
    if len(arrived) == count:
        break
# SIGINT to the watcher's process group (GNU time ignores it while its child runs, then writes
# what it measured); whatever is left after ten seconds is killed.
os.killpg(watcher.pid, signal.SIGINT)
try:
    watcher.wait(timeout=10)
except subprocess.TimeoutExpired:
    pass
try:
    os.killpg(watcher.pid, signal.SIGKILL)
except ProcessLookupError:
    pass
watcher.wait()
time.sleep(0.2)
rss = int(open(rss_file).read().split()[-1]) if os.path.exists(rss_file) else 0

reports = []  # (arrival, the save it is of)
for at, line in arrived:
    if kind == "counter":
        if re.fullmatch(r"-?\d+", line):
            reports.append((at, int(line)))
    elif kind == "tarnwick":
        match = re.match(r"\+ counter : (\d+) ", line)
        if match:
            reports.append((at, int(match.group(1))))
    elif line == kind.split(":", 1)[1]:
        # An event reads nothing: it is of the last save before it.
        reports.append((at, max(n for n in range(len(saved)) if saved[n] <= at)))

latest = 0
duplicates = stale = 0
latencies = []
for at, number in reports:
    if number < latest:
        stale += 1
    elif number == latest:
        duplicates += 1
    else:
        latencies.append((at - saved[number]) / 1e9)
        latest = number
# A save is seen when a report of it or of a later save came after it.
seen = sum(1 for n in range(1, SAVES + 1) if any(at >= saved[n] and number >= n for at, number in reports))
latencies.sort()
result = {
    "name": name, "lines": lines_in_file, "saves": SAVES, "reports": len(reports), "seen": seen,
    "missed": SAVES - seen, "duplicates": duplicates, "stale": stale,
    "p50": statistics.median(latencies) if latencies else None,
    "p99": latencies[min(len(latencies) - 1, int(len(latencies) * 0.99))] if latencies else None,
    "rss_mb": rss / 1024,
}
if dropins:
    result["dropins"] = dropins
json.dump(result, open(os.path.join(out, "%s-%d.json" % (name, lines_in_file)), "w"))
print(json.dumps(result))
