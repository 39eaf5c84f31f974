"""Helpers of the desktop-service tests: replies by request id and small recording scripts."""

import json
import os
import stat
import sys

from harness import STEP, wait_for


def got(backend, rid, timeout=STEP):
    """The JSON answer of request `rid`."""
    line = backend.wait_line("GOT %s " % rid, timeout)
    return json.loads(line[len("GOT %s " % rid):])


def recorder(path, log, remove=False):
    """An executable at `path` that appends its arguments to `log` as one JSON line per run;
    with remove=True it deletes itself after its first run."""
    with open(path, "w") as f:
        f.write("#!%s\nimport json, os, sys\nwith open(%r, 'a') as f:\n"
                "    f.write(json.dumps(sys.argv[1:]) + '\\n')\n%s\n"
                % (sys.executable, log, "os.remove(sys.argv[0])" if remove else ""))
    os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR)


def recorded(log, count=1, timeout=STEP):
    """The argument lists of the first `count` runs of a recorder."""
    def read():
        try:
            with open(log) as f:
                runs = [json.loads(line) for line in f]
        except FileNotFoundError:
            return None
        return runs if len(runs) >= count else None
    return wait_for(read, timeout, "%d runs recorded in %s" % (count, log))
