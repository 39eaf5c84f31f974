"""Audio tap and equaliser against the test desktop's PulseAudio (null sink "kelotest")."""

import array
import base64
import math
import os
import signal
import subprocess
import threading
from types import SimpleNamespace

import pytest

from harness import STEP, WINDOW, wait_for

TONE_PAGE = """<!doctype html><meta charset=utf-8><title>tone</title><script>
const ctx = new AudioContext(), osc = ctx.createOscillator(), gain = ctx.createGain();
osc.frequency.value = 1000; gain.gain.value = 0.5;
osc.connect(gain); gain.connect(ctx.destination); osc.start();
</script>"""


def level(samples, freq, rate=48000):
    """Amplitude of one frequency in mono float samples (Goertzel)."""
    k = 2 * math.cos(2 * math.pi * freq / rate)
    s1 = s2 = 0.0
    for x in samples:
        s1, s2 = x + k * s1 - s2, s1
    return math.sqrt(max(s1 * s1 + s2 * s2 - k * s1 * s2, 0)) * 2 / len(samples)


def mono(pcm16):
    """Left+right average of interleaved little-endian 16-bit stereo, as floats."""
    a = array.array("h", pcm16)
    return [(a[i] + a[i + 1]) / 65534 for i in range(0, len(a) - 1, 2)]


def pactl(env, *args):
    return subprocess.run(["pactl"] + list(args), env=env, check=True, text=True,
                          stdout=subprocess.PIPE).stdout


def record_sink(env, seconds=0.4):
    """What the default sink plays, as mono floats."""
    proc = subprocess.Popen(["parec", "--raw", "--format=float32le", "--rate=48000",
                             "--channels=2", "-d", "kelotest.monitor"], env=env,
                            stdout=subprocess.PIPE)
    data = proc.stdout.read(int(48000 * seconds) * 8)
    proc.kill()
    proc.wait()
    a = array.array("f", data)
    return [(a[i] + a[i + 1]) / 2 for i in range(0, len(a) - 1, 2)][4800:]


class Tone:
    """Another client playing a 440 Hz tone into the default sink."""

    def __init__(self, env):
        self.proc = subprocess.Popen(["pacat", "--format=float32le", "--rate=48000",
                                      "--channels=2"], env=env, stdin=subprocess.PIPE)
        self.stop = False
        period = array.array("f", [0.4 * math.sin(2 * math.pi * 440 * i / 48000)
                                   for i in range(4800) for _ in (0, 1)]).tobytes()

        def feed():
            try:
                while not self.stop:
                    self.proc.stdin.write(period)
            except (BrokenPipeError, ValueError):
                pass
        threading.Thread(target=feed, daemon=True).start()

    def close(self):
        self.stop = True
        self.proc.kill()
        self.proc.wait()


@pytest.fixture
def tone_apps(launch, backend, tmp, desktop):
    """Starts apps whose page plays a 1 kHz tone at half scale."""
    page = os.path.join(tmp, "tone.html")
    with open(page, "w") as f:
        f.write(TONE_PAGE)
    started = []

    def start():
        wire = backend("wire%d.sock" % len(started))
        app = SimpleNamespace(run=launch(page, wire.path), backend=wire, env=desktop.child_env())
        started.append(app)
        wire.wait_connected(WINDOW, app.run)
        # Once the page runs, a script of the backend counts as the user's permission to play.
        app.backend.wait_line(lambda l: "client.hello" in l, WINDOW)
        app.backend.send("EVAL ctx.resume()")
        return app
    return start


@pytest.fixture
def tone_app(tone_apps):
    return tone_apps()


def start_tap(app, rid, fields):
    """Sends AUDIOTAP until it runs (the page's stream may not exist yet); returns the reply."""
    def attempt():
        start = len(app.backend.lines)
        app.backend.send("AUDIOTAP %s %s" % (rid, fields))
        reply = app.backend.wait_line("GOT %s " % rid, start=start)
        return reply if "\"ok\":true" in reply else None
    return wait_for(attempt, WINDOW, "AUDIOTAP %s to run" % rid)


def tap_samples(app, seconds=0.5):
    """Mono samples of the AUDIOTAP lines arriving from now on, and the lines."""
    start = len(app.backend.lines)
    lines = []

    def enough():
        lines[:] = [l for l in app.backend.lines[start:] if l.startswith("AUDIOTAP ")]
        frames = sum(int(l.split("\t")[3]) for l in lines)
        return frames >= 48000 * seconds
    wait_for(enough, STEP, "AUDIOTAP lines")
    pcm = b"".join(base64.b64decode(l[9:].split("\t")[0]) for l in lines)
    return mono(pcm)[2400:], lines


def tap_heard(app, check):
    """The next half second of the tap when check(samples) holds for it, else None."""
    samples, lines = tap_samples(app)
    return (samples, lines) if check(samples) else None


def test_tap_scopes(tone_app):
    app = tone_app
    assert start_tap(app, "t1", "app\t0\t50").endswith(
        '{"ok":true,"sampleRate":48000,"channels":2}')
    # The page's tone at half scale (once its stream runs smoothly), and nothing else.
    samples, lines = wait_for(lambda: tap_heard(app, lambda s: 0.4 < level(s, 1000) < 0.6),
                              WINDOW, "the page's tone in the tap")
    assert all(l.split("\t")[1:3] == ["48000", "2"] for l in lines)
    assert level(samples, 440) < 0.02

    other = Tone(app.env)
    try:
        start_tap(app, "t2", "system\t1\t50")
        samples, _ = wait_for(lambda: tap_heard(app, lambda s: level(s, 440) > 0.3), WINDOW,
                              "the other client's tone")
        assert level(samples, 1000) < 0.02
        start_tap(app, "t3", "system\t0\t50")
        wait_for(lambda: tap_heard(app, lambda s: level(s, 1000) > 0.4 and level(s, 440) > 0.3),
                 WINDOW, "both tones")
    finally:
        other.close()

    app.backend.send("AUDIOTAP STOP", "GET q audiofilters")
    answer = app.backend.wait_line("GOT q ")
    stopped = app.backend.lines.index(answer)
    app.backend.send("AUDIOTAP STOP", "AUDIOFILTERS", "GET r audiofilters")
    assert app.backend.wait_line("GOT r ") == \
        'GOT r {"available":true,"state":"off","filters":0,"heard":false}'
    assert not [l for l in app.backend.lines[stopped:] if l.startswith("AUDIOTAP ")]


def eq_state(app, rid):
    start = len(app.backend.lines)
    app.backend.send("GET %s audiofilters" % rid)
    return app.backend.wait_line("GOT %s " % rid, start=start).split(" ", 2)[2]


def sink_inputs(env):
    """{stream index: sink name} of every playback stream."""
    sinks = {l.split("\t")[0]: l.split("\t")[1] for l in pactl(env, "list", "sinks",
                                                                 "short").splitlines()}
    return {l.split("\t")[0]: sinks.get(l.split("\t")[1])
            for l in pactl(env, "list", "sink-inputs", "short").splitlines()}


def test_equaliser_filters_the_app_and_gives_its_streams_back(tone_app):
    app = tone_app
    env = app.env
    wait_for(lambda: level(record_sink(env), 1000) > 0.4, WINDOW, "the page's tone")
    eq_sink = "kelojs-eq-%d" % app.run.pid

    app.backend.send("AUDIOFILTERS bq_lowpass,100,0.707,0")
    wait_for(lambda: '"state":"active"' in eq_state(app, "s1"), WINDOW, "the equaliser active")
    assert eq_state(app, "s2") == '{"available":true,"state":"active","filters":1,"heard":true}'
    assert eq_sink in sink_inputs(env).values()
    filtered = level(record_sink(env), 1000)
    assert filtered < 0.05, filtered  # at least 20 dB below the page's 0.5

    # New coefficients keep the state; no filter at all gives the streams back.
    app.backend.send("AUDIOFILTERSET 0\t20000\t0.707\t0", "AUDIOBALANCE 0.5")
    assert '"state":"active"' in eq_state(app, "s3")
    # Numbers that are no numbers make a stage pass through; nothing that is not finite plays.
    app.backend.send("AUDIOFILTERSET 0\tnan\tinf\t1e308", "AUDIOFILTERSET -1\t1\t1\t1",
                     "AUDIOFILTERSET 99999999999\t1\t1\t1", "AUDIOBALANCE abc")
    assert '"state":"active"' in eq_state(app, "s3b")
    played = wait_for(lambda: (lambda s: s if level(s, 1000) > 0.4 else None)(record_sink(env)),
                      WINDOW, "the tone unfiltered")
    assert all(math.isfinite(x) for x in played)
    app.backend.send("AUDIOFILTERS")
    assert eq_state(app, "s4") == '{"available":true,"state":"off","filters":0,"heard":true}'
    wait_for(lambda: set(sink_inputs(env).values()) == {"kelotest"}, STEP,
             lambda: "the streams back on kelotest: %r" % sink_inputs(env))
    wait_for(lambda: eq_sink not in pactl(env, "list", "sinks", "short"), STEP, "the sink gone")

    # Killed while active, the launcher still removes its sink.
    app.backend.send("AUDIOFILTERS bq_peak,1000,1,6\tlinear,0,0,0.5,0")
    wait_for(lambda: '"state":"active"' in eq_state(app, "s5"), WINDOW, "active again")
    os.kill(app.run.pid, signal.SIGTERM)
    assert app.run.wait_exit() == -signal.SIGTERM
    assert eq_sink not in pactl(env, "list", "sinks", "short")


def test_equaliser_removes_the_sinks_of_launchers_killed_outright(tone_apps):
    killed = tone_apps()
    killed.backend.send("AUDIOFILTERS bq_peak,1000,1,6")
    wait_for(lambda: '"state":"active"' in eq_state(killed, "k"), WINDOW, "the equaliser active")
    killed.run.kill()
    orphan = "kelojs-eq-%d" % killed.run.pid
    assert orphan in pactl(killed.env, "list", "sinks", "short")

    app = tone_apps()
    app.backend.send("AUDIOFILTERS bq_peak,1000,1,6")
    wait_for(lambda: '"state":"active"' in eq_state(app, "a"), WINDOW, "the equaliser active")
    wait_for(lambda: orphan not in pactl(app.env, "list", "sinks", "short"), STEP,
             "the orphan sink gone")
