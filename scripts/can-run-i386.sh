#!/usr/bin/env bash
# Succeeds when this machine can execute 32-bit x86 programs (which 32-bit Wine needs).
[ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
