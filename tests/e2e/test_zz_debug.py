from test_state import app  # noqa
from test_system import peer  # noqa
from peer import Peer
def test_dbg(app, peer, desktop):
    wire, _ = app()
    peer.ask("window peer", "window")
    wire.send("CLIPWATCH 50")
    peer.own({"text/uri-list": b"file:///tmp/a%20b\r\nhttp://x/\r\n", "UTF8_STRING": b"x"})
    import time; time.sleep(1)
    print("clip", wire.get("clipboard"))
    p2 = Peer(desktop.child_env())
    print("read", p2.read("text/uri-list"))
    p2.close()
    print(wire.lines[-3:])
