"""Every command that carries a request id is answered exactly once: on its quick paths
(refusals, missing windows and files, nothing to do) and when the launcher quits while it
waits for the user or a service. The command table itself is walked, so a new command must
be placed here as answered or not."""

import os
import re
from collections import Counter

from harness import STEP, WINDOW, wait_for
from test_state import app  # noqa: F401 (a fixture)

ROOT = os.path.join(os.path.dirname(__file__), "..", "..")

# One line per command that answers, with the request id "%s"; paths that answer at once.
ANSWERED = {
    "RET ": "RET q%s 0 {}",
    "GET ": "GET %s screens",
    "WINCTRL ": "WINCTRL %s 999999\t0\t0\t10\t10",
    "FIND ": "FIND q%s word",
    "PERMCHK ": "PERMCHK %s camera",
    "PERMREQ ": "PERMREQ %s nosuchkind",
    "SHELL ": "SHELL %s open\t~/no-such-file",
    "LOGIN ": "LOGIN %s get",
    "POWER ": "POWER %s off",
    "SOUND ": "SOUND %s no-such-sound",
    "SAY ": "SAY %s \t\t",
    "VOICES ": "VOICES %s",
    "RECORD ": "RECORD %s stop",
    "OCR ": "OCR %s /no/such/image.png",
    "THUMB ": "THUMB %s /no/such/file\t64",
    "CAPTURE ": "CAPTURE %s 999999",
    "SECRET ": "SECRET %s nosuchop\tservice\taccount",
    "OSA ": "OSA %s return 1",
    "COOKIES ": "COOKIES %s nosuchop",
    "SPOTLIGHT ": "SPOTLIGHT %s ",
    "PDF ": "PDF %s /no/such/folder/page.pdf",
    "PDF@": "PDF@nosuchwindow %s /tmp/page.pdf",
    "AI ": "AI available %s",
    "AUDIOTAP ": "AUDIOTAP %s",
    "HKREG ": "HKREG %s n\tcmd+foo",
    "KEYSTROKE ": "KEYSTROKE %s cmd+foo",
}
# Lines that wait for the user or a service when the launcher quits.
AT_QUIT = ["AUTH %s reason", "PICKCOLOR %s", "AI generate %s hello", "SAY %s " + "words " * 5000,
           "DLG q%s confirm"]
# Commands without a request id.
UNANSWERED = {
    "EVAL", "TITLE@", "TITLE ", "SIZE@", "SIZE ", "WINOPEN ", "WINCLOSE ", "NAVR ", "POPUPR ",
    "STOPFIND ", "MENUBEGIN", "MENUBEGIN@", "MENURESET@", "MENU ", "MENUROLE ", "ROLEITEM ",
    "ITEM ", "SEP", "SUB ", "SUBEND", "MENUEND", "TRAYBEGIN", "TRAYEND", "TRAYREMOVE", "WINOP@",
    "WINOP ", "CTXBEGIN", "CTXEND", "CTXCLEAR", "CTXSUPPRESS ", "ABOUTHOOK ", "HKUNREG ",
    "AUDIOTAP STOP", "AUDIOFILTERSET ", "AUDIOFILTERS", "AUDIOBALANCE", "MENUUPD", "NOTIFY ",
    "CHROME", "DRAGWIN", "RESIZEWIN", "CLIPWRITE ", "CLIPWATCH ", "DRAGOUT", "SHARE",
    "NOWPLAYING", "SAYSTOP", "PICKCOLOR ", "AUTH ", "QUICKLOOK", "BADGE", "ATTENTION", "PROGRESS",
    "APPICON", "AITOOLRESULT ", "PRINT", "PRINT@", "RELOAD", "QUIT",
}


def table_rows():
    with open(os.path.join(ROOT, "wire", "dispatcher.cc")) as f:
        return re.findall(r'\{"([^"]+)", Match::\w+, Verb::\w+\}', f.read())


def test_every_request_is_answered_once_also_when_the_launcher_quits(app):
    rows = table_rows()
    assert len(rows) > 80
    placed = set(ANSWERED) | UNANSWERED | {"PICKCOLOR ", "AUTH ", "DLG "}
    assert [r for r in rows if r not in placed] == [], "commands not placed as answered or not"

    wire, _ = app()
    ids = {str(1000 + n): row for n, row in enumerate(sorted(ANSWERED))}
    wire.send(*[ANSWERED[row] % rid for rid, row in ids.items()])
    waiting = ["%d" % (2000 + n) for n in range(len(AT_QUIT))]
    wire.send(*[line % rid for line, rid in zip(AT_QUIT, waiting)])

    def answered():
        return Counter(l.split(" ", 2)[1] for l in wire.lines if l.startswith("GOT "))
    wait_for(lambda: set(ids) <= set(answered()), WINDOW,
             lambda: "answers to %r" % sorted(ids[i] for i in set(ids) - set(answered())))
    wire.send("QUIT")
    wire.backend.wait_eof(WINDOW)
    counts = answered()
    assert {ids.get(i, i): counts[i] for i in list(ids) + waiting if counts[i] != 1} == {}
