#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The tarnwick authors
# SPDX-License-Identifier: MIT

"""watch_watchdog.py FILE: Python's watchdog as a program would use it to reload its configuration:
the folder observed, the file read (PyYAML's C loader) on each event that names it, the counter
printed, a line a reload."""
import os
import sys
import time

import yaml
from watchdog.events import FileSystemEventHandler
from watchdog.observers import Observer

path = os.path.abspath(sys.argv[1])


class Reload(FileSystemEventHandler):
    def on_any_event(self, event):
        if event.event_type not in ("modified", "created", "moved", "closed"):
            return
        if path not in (event.src_path, getattr(event, "dest_path", None)):
            return
        try:
            with open(path) as f:
                counter = yaml.load(f, Loader=yaml.CSafeLoader).get("counter")
        except (OSError, yaml.YAMLError, AttributeError):
            return
        print(counter, flush=True)


observer = Observer()
observer.schedule(Reload(), os.path.dirname(path))
observer.start()
try:
    while True:
        time.sleep(1)
except KeyboardInterrupt:
    observer.stop()
