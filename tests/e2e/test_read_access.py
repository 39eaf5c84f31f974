"""Local pages read files only inside their read-access root."""

import json
import os

import pytest

from harness import WINDOW

PAGE = """<!doctype html><meta charset=utf-8><script>
async function probe(u) {
  try { const r = await fetch(u); return (await r.text()).trim(); } catch (e) { return 'blocked'; }
}
window.addEventListener('load', async () => {
  const out = {};
  for (const u of %s) out[u] = await probe(u);
  window.__invoke(JSON.stringify({method: 'test.read', params: out}));
});
</script>
"""


def _tree(tmp, shared):
    """app/front/index.html with a file beside it, one in app/, one outside, and a link out."""
    front = os.path.join(tmp, "app", "front")
    os.makedirs(front)
    if shared:
        os.makedirs(os.path.join(tmp, "app", "shared"))
    for path, text in [(os.path.join(front, "near.txt"), "near"),
                       (os.path.join(tmp, "app", "up.txt"), "up"),
                       (os.path.join(tmp, "outside.txt"), "outside")]:
        with open(path, "w") as f:
            f.write(text)
    os.symlink(os.path.join(tmp, "outside.txt"), os.path.join(front, "escape.txt"))
    urls = ["near.txt", "../up.txt", "../../outside.txt", "escape.txt", "..%2F..%2Foutside.txt",
            "file:///etc/hostname"]
    index = os.path.join(front, "index.html")
    with open(index, "w") as f:
        f.write(PAGE % json.dumps(urls))
    return index


def _reads(app):
    line = app.backend.wait_line(lambda l: "test.read" in l, WINDOW)
    payload = json.loads(json.loads(line.split(" ", 2)[2])[0])
    return payload["params"]


@pytest.mark.parametrize("shared, read_access, readable", [
    (False, None, {"near.txt"}),
    (True, None, {"near.txt", "../up.txt"}),
    (False, "{tmp}", {"near.txt", "../up.txt", "../../outside.txt", "escape.txt"}),
], ids=["own-folder", "shared-sibling", "configured-folder"])
def test_local_pages_read_inside_their_root_only(dev_app, tmp, shared, read_access, readable):
    index = _tree(tmp, shared)
    env = {"KELOJS_READ_ACCESS": read_access.format(tmp=tmp)} if read_access else None
    app = dev_app(index, env=env)
    reads = _reads(app)
    got = {u for u, text in reads.items() if text != "blocked"}
    assert got == readable, reads
    # What was read is the file's own text.
    assert reads["near.txt"] == "near"
