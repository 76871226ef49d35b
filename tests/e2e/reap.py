#!/usr/bin/env python3
"""Test-only: runs a command as a subreaper, so that a program it starts and leaves behind
(gtk-launch does) is still reaped here; prints "exit <pid> <status>" for each descendant
as it ends, and ends once all have.

  reap.py COMMAND [ARG...]
"""
import ctypes
import os
import sys

PR_SET_CHILD_SUBREAPER = 36
ctypes.CDLL(None, use_errno=True).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)
os.spawnvp(os.P_NOWAIT, sys.argv[1], sys.argv[1:])
while True:
    try:
        pid, status = os.wait()
    except ChildProcessError:
        break
    print("exit %d %d" % (pid, os.waitstatus_to_exitcode(status)), flush=True)
