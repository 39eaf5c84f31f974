"""Helpers of the desktop-service tests."""

import json

from harness import STEP


def got(backend, rid, timeout=STEP):
    """The JSON answer of request `rid`."""
    line = backend.wait_line("GOT %s " % rid, timeout)
    return json.loads(line[len("GOT %s " % rid):])

