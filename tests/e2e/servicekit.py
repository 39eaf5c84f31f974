"""Helpers of the desktop-service tests: replies by request id and small recording scripts."""

import json
import os
import stat

from harness import STEP, wait_for


def got(backend, rid, timeout=STEP):
    """The JSON answer of request `rid`."""
    line = backend.wait_line("GOT %s " % rid, timeout)
    return json.loads(line[len("GOT %s " % rid):])


def recorder(path, log, extra=""):
    """An executable script at `path` that appends its arguments, NUL-separated and ended by a
    line feed, to `log`; `extra` is shell code run after that."""
    with open(path, "w") as f:
        f.write("#!/bin/sh\nprintf '%%s\\0' \"$@\" >> '%s'\necho >> '%s'\n%s\n" % (log, log, extra))
    os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR)


def recorded(log, count=1, timeout=STEP):
    """The argument lists of the first `count` runs of a recorder."""
    def read():
        try:
            with open(log) as f:
                runs = [line.split("\0")[:-1] for line in f.read().split("\n")[:-1]]
        except FileNotFoundError:
            return None
        return runs if len(runs) >= count else None
    return wait_for(read, timeout, "%d runs recorded in %s" % (count, log))
