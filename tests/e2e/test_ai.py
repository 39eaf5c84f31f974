"""The AI commands: without a model the launcher says so; with a chat-completions server the
user runs (KELOJS_AI_URL), requests are answered in order and the model's tool calls go to the
backend as AITOOL lines."""

import json
import socket
import threading

from harness import STEP, WINDOW, LoopbackServer


class ChatServer:
    """A scripted chat-completions server: it asks for the "weather" tool when the prompt
    names a city, and answers with the tool's result once it has one."""

    def __init__(self):
        self.bodies = []
        self._lock = threading.Lock()
        self._server = LoopbackServer(self._respond)
        self.url = "http://127.0.0.1:%d/v1" % self._server.port

    def _respond(self, url, request):
        if url.path == "/v1/models":
            return json.dumps({"data": [{"id": "scripted"}]}).encode(), "application/json"
        if url.path != "/v1/chat/completions":
            return None
        body = json.loads(request.rfile.read(int(request.headers["Content-Length"])))
        with self._lock:
            self.bodies.append(body)
        last = body["messages"][-1]
        if last["role"] == "tool":
            message = {"content": "It is %s." % last["content"]}
        elif "city" in last["content"]:
            args = json.dumps({"city": last["content"].split()[-1]})
            message = {"tool_calls": [{"id": "c1", "type": "function",
                                       "function": {"name": "weather", "arguments": args}}]}
        else:
            message = {"content": "echo: " + last["content"]}
        return json.dumps({"choices": [{"message": message}]}).encode(), "application/json"

    def close(self):
        self._server.close()


def _answers(backend, ids, start=0, timeout=STEP):
    """The JSON answers of the request ids, in the order they arrived."""
    want = ["GOT %s " % i for i in ids]
    backend.wait_line(lambda l: l.startswith(want[-1]), timeout, start)
    got = [l for l in backend.lines[start:] if any(l.startswith(w) for w in want)]
    return [(l.split(" ", 2)[1], json.loads(l.split(" ", 2)[2])) for l in got]


def test_without_a_model_availability_is_unsupported_and_generation_fails(launch, backend, page):
    b = backend()
    run = launch(page, b.path)
    b.wait_connected(WINDOW, run)
    b.send("AI available 7", "AI generate 8 hello", "AI available")
    assert _answers(b, ["7", "8"]) == [
        ("7", {"ok": True, "status": "unsupported"}),
        ("8", {"ok": False, "error": "needs macOS 26"})]


def test_a_model_server_answers_in_order_and_its_tool_calls_reach_the_backend(
        launch, backend, page):
    server = ChatServer()
    closed = socket.socket()
    closed.bind(("127.0.0.1", 0))
    try:
        b = backend()
        run = launch(page, b.path, env={"KELOJS_AI_URL": server.url})
        b.wait_connected(WINDOW, run)
        b.send("AI available a1",
               "AI generate g1 weather in the city Oslo\tBe brief.\t" + json.dumps(
                   [{"name": "weather", "parameters": {"city": "string"}}]),
               "AI generate g2 plain \\\"words\\\"\\nhere")
        line = b.wait_line("AITOOL ", WINDOW)
        call, _, rest = line[len("AITOOL "):].partition(" ")
        assert rest.split("\t") == ["weather", json.dumps({"city": "Oslo"})]
        b.send("AITOOLRESULT %s -3C\\tcold" % call)
        assert _answers(b, ["a1", "g1", "g2"]) == [
            ("a1", {"ok": True, "status": "available"}),
            ("g1", {"ok": True, "text": "It is -3C\tcold."}),
            ("g2", {"ok": True, "text": 'echo: plain "words"\nhere'})]
        assert server.bodies[0]["messages"][0] == {"role": "system", "content": "Be brief."}
        assert server.bodies[0]["tools"][0]["function"]["parameters"]["required"] == ["city"]

        # A tool call the backend leaves unanswered times out after 20 s and the model goes on.
        mark = len(b.lines)
        b.send("AI generate g3 the city Rome\t\t" + json.dumps([{"name": "weather"}]),
               "AITOOLRESULT %s too late" % call)
        b.wait_line("AITOOL ", STEP, mark)
        assert _answers(b, ["g3"], mark, timeout=30) == [
            ("g3", {"ok": True, "text": 'It is {"error":"tool timed out"}.'})]

        # A server that is not there: unavailable, and generation says why it failed.
        gone = backend("gone.sock")
        run = launch(page, gone.path, env={
            "KELOJS_AI_URL": "http://127.0.0.1:%d/v1" % closed.getsockname()[1]})
        gone.wait_connected(WINDOW, run)
        gone.send("AI available u1", "AI generate u2 hi")
        (_, avail), (_, failed) = _answers(gone, ["u1", "u2"])
        assert avail == {"ok": True, "status": "unavailable"}
        assert failed["ok"] is False and "cannot be reached" in failed["error"]
    finally:
        closed.close()
        server.close()
