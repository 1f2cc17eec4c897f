// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// watch_viper FILE: Go's viper as a program would use it to reload its configuration:
// WatchConfig, and the counter printed on each change it reports, a line a reload.
package main

import (
	"fmt"
	"os"

	"github.com/fsnotify/fsnotify"
	"github.com/spf13/viper"
)

func main() {
	v := viper.New()
	v.SetConfigFile(os.Args[1])
	v.SetConfigType("yaml")
	if err := v.ReadInConfig(); err != nil {
		fmt.Fprintln(os.Stderr, err)
		os.Exit(2)
	}
	v.OnConfigChange(func(fsnotify.Event) {
		fmt.Println(v.GetInt("counter"))
	})
	v.WatchConfig()
	select {}
}
