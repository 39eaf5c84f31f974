'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { loadShim, flush, plain } = require('./harness');

const unsupported = (feature) => ({ why: 'unsupported', feature });
const gate = (needs) => ({ why: 'gate', needs });

// Verdicts: everything allowed except the names given; names mapped to undefined are left out.
function verdicts(asked, except = {}) {
  const out = { calls: {}, events: {} };
  for (const kind of ['calls', 'events']) {
    for (const name of asked[kind]) {
      const v = Object.hasOwn(except, name) ? except[name] : true;
      if (v !== undefined) out[kind][name] = v;
    }
  }
  return out;
}

test('call sites are analysed into the names the backend is asked about', () => {
  const { calls, events } = loadShim().startup[0].msg.params;
  const expected = ['fetch', 'media.proxy', 'win.setTitle', 'clip.watch', 'sampler.set'];
  for (const name of expected) {
    assert.ok(calls.includes(name), name);
  }
  // Internal traffic of fetch, start-up and the mixer host is not part of any API path.
  const internal = ['fetch.pull', 'fetch.cancel', 'client.hello', 'client.capabilities'];
  internal.push('sampler.bytes', 'sampler.hostResult');
  for (const name of internal) {
    assert.ok(!calls.includes(name), name);
  }
  assert.ok(events.includes('menu') && events.includes('clipboard-change'));
  assert.ok(!events.includes('capabilities-change'));
  assert.deepEqual(calls, [...new Set(calls)].sort());
});

test('verdict rules for can, get and list', async () => {
  const h = loadShim();
  const caps = h.kelo.capabilities;
  const changes = [];
  caps.onChange((d) => changes.push(plain(d)));

  assert.deepEqual(plain(caps.get('nope')), { ok: false, why: 'unknown' });
  assert.deepEqual(plain(caps.get('win.setTitle')), { ok: false, why: 'pending' });
  assert.equal(caps.can('win.setTitle'), false);
  assert.deepEqual(plain(caps.list()), []);

  const asked = h.startup[0].msg.params;
  h.startup[0].resolve(
    verdicts(asked, {
      'clip.watch': gate('clipboard'),
      'clip.read': gate(['clipboard', 'focus']),
      'clipboard-change': undefined, // not answered at all
      hotkey: undefined,
      'tray.set': unsupported('tray'),
      'tray.remove': unsupported('tray'),
      'tray.position': unsupported('tray'),
      tray: unsupported('tray'),
      trayclick: unsupported('tray'),
      'dialog.confirm': unsupported('dialogs'),
      'clip.write': gate(''),
    }),
  );
  await flush();

  assert.equal(caps.can('win.setTitle'), true);
  assert.equal(caps.can('kelo.win.setTitle'), true);
  assert.equal(caps.can('fileURL'), true); // makes no call at all
  assert.deepEqual(plain(caps.get('tray.set')), { ok: false, why: 'unsupported', feature: 'tray' });
  assert.deepEqual(plain(caps.get('clipboard.read')), {
    ok: false,
    why: 'gate',
    needs: ['clipboard', 'focus'],
  });
  // onChange reaches clip.watch through clipboard.watch, and its event has no verdict.
  const onChange = plain(caps.get('clipboard.onChange'));
  assert.deepEqual(onChange, { ok: false, why: 'gate', needs: ['clipboard'] });
  assert.deepEqual(plain(caps.get('hotkey.on')), { ok: false, why: 'gate', needs: [] });
  // One gate among the failures makes the answer a gate answer.
  assert.deepEqual(plain(caps.get('system.promptMissing')), { ok: false, why: 'gate', needs: [] });

  assert.equal(caps.can('tray.*'), false);
  assert.deepEqual(plain(caps.get('kelo.tray.*')), plain(caps.get('tray.on')));
  assert.deepEqual(plain(caps.get('tray.on')), { ok: false, why: 'unsupported', feature: 'tray' });
  assert.equal(caps.can('clipboard.*'), true);
  assert.deepEqual(plain(caps.get('clipboard.*')), { ok: true });
  assert.deepEqual(plain(caps.get('nothing.*')), { ok: false, why: 'unknown' });

  const list = plain(caps.list());
  assert.deepEqual(list, [...list].sort());
  assert.ok(list.includes('win.setTitle') && list.includes('audio.pageChain'));
  assert.ok(!list.includes('tray.set') && !list.includes('clipboard.onChange'));
  assert.deepEqual(changes, [{ added: list, removed: [] }]);
});

test('refresh asks again and reports what changed', async () => {
  const h = loadShim();
  const caps = h.kelo.capabilities;
  const asked = h.startup[0].msg.params;
  h.startup[0].resolve(verdicts(asked, { 'tray.set': unsupported('tray') }));
  await flush();
  const changes = [];
  caps.onChange((d) => changes.push(plain(d)));

  caps.refresh();
  assert.deepEqual(h.last('client.capabilities').msg.params, asked);
  h.last('client.capabilities').resolve(verdicts(asked, { 'win.setTitle': gate('windows') }));
  await flush();
  assert.deepEqual(changes, [{ added: ['tray.set'], removed: ['win.setTitle'] }]);

  caps.refresh();
  h.last('client.capabilities').resolve(verdicts(asked, { 'win.setTitle': gate('windows') }));
  caps.refresh();
  h.last('client.capabilities').reject({ error: 'backend busy' });
  await flush();
  assert.equal(changes.length, 1);
  assert.equal(caps.can('tray.set'), true);
});

test('ready settles on the first answer or after 3000 ms, whichever is first', async () => {
  const answered = loadShim();
  let done = false;
  answered.kelo.capabilities.ready.then(() => (done = true));
  answered.startup[0].resolve(verdicts(answered.startup[0].msg.params));
  await flush();
  assert.equal(done, true);

  const silent = loadShim();
  done = false;
  silent.kelo.capabilities.ready.then(() => (done = true));
  await flush();
  assert.equal(done, false);
  assert.deepEqual(silent.timers.map((t) => t.ms), [3000]);
  silent.runTimers();
  await flush();
  assert.equal(done, true);
  const early = plain(silent.kelo.capabilities.get('win.center'));
  assert.deepEqual(early, { ok: false, why: 'pending' });

  // A late answer still counts.
  silent.startup[0].resolve(verdicts(silent.startup[0].msg.params));
  await flush();
  assert.equal(silent.kelo.capabilities.can('win.center'), true);
});
