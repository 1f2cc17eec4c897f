// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// watch_chokidar.js FILE: Node's chokidar as a program would use it to reload its configuration,
// with its atomic-write option: the file read (js-yaml) on each add or change, the counter
// printed, a line a reload.
const chokidar = require("chokidar");
const fs = require("fs");
const yaml = require("js-yaml");

const file = process.argv[2];
chokidar.watch(file, { atomic: true, ignoreInitial: true }).on("all", (event) => {
    if (event !== "add" && event !== "change")
        return;
    try {
        process.stdout.write(yaml.load(fs.readFileSync(file, "utf8")).counter + "\n");
    } catch (error) {
        // half a file, or none: the next event reads it again
    }
});
