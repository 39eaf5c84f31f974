'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { loadShim, flush, plain, UA } = require('./harness');

test('start-up asks for capabilities, then says hello, and survives a missing bridge', async () => {
  const h = loadShim();
  assert.deepEqual(
    h.startup.map((c) => c.msg.method),
    ['client.capabilities', 'client.hello'],
  );
  h.startup[1].reject({ error: 'no such method' }); // must not surface as unhandled
  await flush();

  const bare = loadShim({ bridge: false });
  assert.equal(typeof bare.kelo.win.center, 'function');
  await assert.rejects(bare.kelo.win.center(), /bridge is not available/);
});

test('payload texts: params present, absent, spread and defaulted', () => {
  const h = loadShim();
  const k = h.kelo;
  const cases = [
    [() => k.win.setTitle('Inbox'), '{"method":"win.setTitle","params":{"title":"Inbox"}}'],
    [() => k.win.center(), '{"method":"win.center"}'],
    [() => k.win.close(), '{"method":"win.close","params":{}}'],
    [() => k.win.close('prefs'), '{"method":"win.close","params":{"id":"prefs"}}'],
    [() => k.win.hide(), '{"method":"win.hide","params":{}}'],
    [() => k.app.beep(), '{"method":"sound.play","params":{}}'],
    [() => k.quit(), '{"method":"quit"}'],
    [
      () => k.notify('Hi', 'There', { id: 'n1', sound: true }),
      '{"method":"notify","params":{"title":"Hi","body":"There","id":"n1","sound":true}}',
    ],
    [
      () => k.win.open('prefs', { width: 400, title: 'Prefs' }),
      '{"method":"win.open","params":{"id":"prefs","width":400,"title":"Prefs"}}',
    ],
    [
      () => k.win.setPosition(10, 20, { screen: { id: 'DP-1', name: 'x' }, units: 'px' }),
      '{"method":"win.setPosition","params":{"x":10,"y":20,"screen":"DP-1","units":"px"}}',
    ],
    [() => k.win.setPosition(1, 2), '{"method":"win.setPosition","params":{"x":1,"y":2}}'],
    [
      () => k.win.setFullscreen(true, { screen: 3 }),
      '{"method":"win.setFullscreen","params":{"enabled":true,"screen":3}}',
    ],
    [
      () => k.win.find('abc'),
      '{"method":"win.find","params":{"term":"abc","forward":true,"matchCase":false}}',
    ],
    [
      () => k.win.find('abc', { forward: false, matchCase: 1 }),
      '{"method":"win.find","params":{"term":"abc","forward":false,"matchCase":true}}',
    ],
    [() => k.win.startDrag(), '{"method":"win.startDrag"}'],
    [
      () => k.win.startDrag({ files: ['/tmp/a.txt'] }),
      '{"method":"win.dragOut","params":{"files":["/tmp/a.txt"]}}',
    ],
    [
      () => k.system.requirements(),
      '{"method":"system.requirements","params":{"ids":null,"refresh":false}}',
    ],
    [() => k.audio.filters(), '{"method":"audio.filters","params":{"filters":[]}}'],
    [() => k.audio.filter(2), '{"method":"audio.filterSet","params":{"index":2,"filter":{}}}'],
    [() => k.tray.set({ title: 'x' }), '{"method":"tray.set","params":{"title":"x"}}'],
    [
      () => k.dialog.alert('Hi', 'More'),
      '{"method":"dialog.alert","params":{"message":"Hi","detail":"More"}}',
    ],
    [
      () => k.dialog.confirm('Q', { ok: 'Yes' }),
      '{"method":"dialog.confirm","params":{"message":"Q","ok":"Yes"}}',
    ],
    [() => k.dialog.prompt('Name?'), '{"method":"dialog.prompt","params":{"message":"Name?"}}'],
  ];
  for (const [run, expected] of cases) {
    run();
    assert.equal(h.sent.pop().payload, expected);
  }
});

test('audio.clear sends balance then filters; answers and errors reach the caller', async () => {
  const h = loadShim();
  const cleared = h.kelo.audio.clear();
  assert.deepEqual(h.sent.map((c) => c.payload), [
    '{"method":"audio.balance","params":{"value":0}}',
    '{"method":"audio.filters","params":{"filters":[]}}',
  ]);
  h.sent[0].resolve({});
  h.sent[1].resolve({ ok: true });
  assert.deepEqual(plain(await cleared), { ok: true });

  const state = h.kelo.win.getState();
  h.last('win.getState').reject({ error: 'no window' });
  await assert.rejects(state, (err) => err.error === 'no window');
});

test('macos.ai.generate warns about tools and does not send them', () => {
  const h = loadShim();
  h.kelo.macos.ai.generate('hi', { instructions: 'be brief', tools: [{ name: 't' }] });
  assert.deepEqual(h.warnings, [
    'kelo.macos.ai.generate: `tools` only works from the backend (app.macos.ai.generate) ' +
      '\u2014 ignored here',
  ]);
  assert.deepEqual(h.last('macos.ai.generate').msg.params, {
    prompt: 'hi',
    instructions: 'be brief',
  });
});

test('dialog options that are neither objects nor allowed strings throw TypeErrors', () => {
  const h = loadShim();
  const d = h.kelo.dialog;
  const orDetail = 'opts must be an object or a detail string, got';
  const cases = [
    [() => d.alert('x', 5), `kelo.dialog.alert(message, opts): ${orDetail} number`],
    [() => d.confirm('x', ['a']), `kelo.dialog.confirm(message, opts): ${orDetail} an array`],
    [() => d.alert('x', true), `kelo.dialog.alert(message, opts): ${orDetail} boolean`],
    [
      () => d.prompt('x', 'default'),
      'kelo.dialog.prompt(message, opts): opts must be an object, got string',
    ],
  ];
  for (const [run, message] of cases) {
    assert.throws(run, (err) => err.name === 'TypeError' && err.message === message);
  }
  assert.equal(h.sent.length, 0);
});

test('__emit runs a snapshot of the handlers and isolates their errors', async () => {
  const reported = [];
  const h = loadShim({ reportError: (e) => reported.push(e) });
  const seen = [];
  const boom = new Error('handler failed');
  const first = () => {
    seen.push('first');
    unsubscribe(); // removing itself must not skip the next handler
    h.kelo.api.on('x', () => seen.push('late')); // joins the next dispatch only
  };
  const unsubscribe = h.kelo.api.on('x', first);
  h.kelo.api.on('x', () => {
    throw boom;
  });
  h.kelo.api.on('x', (d) => seen.push('third:' + d.n));
  h.win.__emit({ event: 'x', data: { n: 1 } });
  assert.deepEqual(seen, ['first', 'third:1']);
  assert.deepEqual(reported, [boom]);

  // Without reportError the error is rethrown from a zero-delay timer.
  const bare = loadShim();
  bare.kelo.api.on('y', () => {
    throw boom;
  });
  bare.kelo.menu.on((id) => seen.push('menu:' + id));
  bare.win.__emit({ event: 'y' });
  bare.win.__emit({ event: 'menu', data: { id: 'file.open' } });
  assert.equal(seen.at(-1), 'menu:file.open');
  assert.equal(bare.timers.at(-1).ms, 0);
  assert.throws(() => bare.timers.at(-1).fn(), (e) => e === boom);
});

test('the same function may subscribe twice; off removes one occurrence', () => {
  const h = loadShim();
  let count = 0;
  const fn = () => count++;
  h.kelo.api.on('e', fn);
  h.kelo.api.on('e', fn);
  h.win.__emit({ event: 'e' });
  h.kelo.api.off('e', fn);
  h.win.__emit({ event: 'e' });
  assert.equal(count, 3);
});

test('clipboard.onChange starts watching only when nothing watches yet', () => {
  const h = loadShim();
  h.kelo.clipboard.onChange(() => {});
  h.kelo.clipboard.onChange(() => {});
  assert.deepEqual(h.methods(), ['clip.watch']);
  assert.equal(h.sent[0].payload, '{"method":"clip.watch","params":{}}');
  h.kelo.clipboard.unwatch();
  h.kelo.clipboard.onChange(() => {});
  assert.deepEqual(h.methods(), ['clip.watch', 'clip.unwatch', 'clip.watch']);
});

test('audioTap.start and mouseTracking.start turn failed answers into errors', async () => {
  const h = loadShim();
  const start = async (fn, method, answer) => {
    const p = fn();
    h.last(method).resolve(answer);
    return p;
  };
  const tap = () => h.kelo.audioTap.start({ scope: 'app' });
  const mouse = () => h.kelo.app.mouseTracking.start();

  assert.equal(await start(tap, 'audioTap.start', { ok: true }), true);
  assert.deepEqual(h.last('audioTap.start').msg.params, { scope: 'app' });
  await assert.rejects(start(tap, 'audioTap.start', { ok: false, code: 'denied' }), {
    message: 'audioTap: denied',
    code: 'denied',
  });
  await assert.rejects(start(tap, 'audioTap.start', { ok: false, code: 'x', message: 'No sink' }), {
    message: 'No sink',
    code: 'x',
  });
  await assert.rejects(start(tap, 'audioTap.start', null), {
    message: 'audioTap: failed',
    code: 'failed',
  });
  const tracking = await start(mouse, 'app.mouseTracking.start', { ok: true });
  assert.deepEqual(plain(tracking), { ok: true });
  await assert.rejects(start(mouse, 'app.mouseTracking.start', { ok: false }), {
    message: 'mouseTracking: failed',
    code: 'failed',
  });
});

test('sampler page API: load sources, play handle, bad source', async () => {
  const h = loadShim();
  const s = h.kelo.audio.sampler;
  s.load('kick', '/sounds/kick.wav');
  assert.deepEqual(h.sent.pop().msg.params, { name: 'kick', path: '/sounds/kick.wav' });
  s.load('snare', new Uint8Array([9, 1, 2, 3, 9]).subarray(1, 4));
  await flush();
  assert.deepEqual(h.sent.pop().msg.params, { name: 'snare', bytesB64: 'AQID' });
  s.load('hat', new Blob([new Uint8Array([255, 0])]));
  await flush();
  assert.deepEqual(h.sent.pop().msg.params, { name: 'hat', bytesB64: '/wA=' });
  assert.throws(() => s.load('x', 42), { message: 'sampler.load: pass a path or an ArrayBuffer' });

  const playing = s.play('kick', { vol: 0.5, loop: true });
  assert.deepEqual(h.last('sampler.play').msg.params, { name: 'kick', vol: 0.5, loop: true });
  h.last('sampler.play').resolve({ id: 'v7' });
  const voice = await playing;
  assert.equal(voice.id, 'v7');
  voice.set({ pan: -1 });
  voice.stop();
  assert.deepEqual(h.sent.slice(-2).map((c) => c.payload), [
    '{"method":"sampler.set","params":{"id":"v7","pan":-1}}',
    '{"method":"sampler.stop","params":{"id":"v7"}}',
  ]);
});

test('system OS tests read the user agent; win.id falls back to main', () => {
  const cases = [
    [UA.linux, 'linux'],
    [UA.mac, 'macos'],
    [UA.windows, 'windows'],
    ['something on windows phone', 'windows'],
    ['Mozilla/5.0 (X11; FreeBSD amd64)', 'linux'],
  ];
  for (const [userAgent, os] of cases) {
    const { kelo } = loadShim({ userAgent });
    assert.equal(kelo.system.os(), os, userAgent);
    assert.deepEqual(
      [kelo.system.isMacOS(), kelo.system.isWindows(), kelo.system.isLinux()],
      [os === 'macos', os === 'windows', os === 'linux'],
    );
  }
  assert.equal(loadShim({ winId: 'prefs' }).kelo.win.id, 'prefs');
  assert.equal(loadShim({ winId: '' }).kelo.win.id, 'main');
});

test('promptMissing offers one install command for all missing packages', async () => {
  const indicator = 'libayatana-appindicator3-1';
  const tray = {
    id: 'tray',
    feature: 'Tray icon',
    detail: 'needs an indicator library',
    ok: false,
    install: { command: 'sudo apt-get install -y ' + indicator, packages: [indicator] },
  };
  const speech = {
    id: 'speech',
    feature: 'Speech',
    detail: 'needs espeak',
    ok: false,
    install: { command: 'sudo apt-get install -y espeak-ng', packages: ['espeak-ng', indicator] },
  };
  const command = 'sudo apt-get install -y libayatana-appindicator3-1 espeak-ng';

  const run = async (entries, confirmAnswer, clipOk, opts) => {
    const h = loadShim();
    const result = h.kelo.system.promptMissing(['tray', 'speech'], opts);
    h.last('system.requirements').resolve(entries);
    await flush();
    const asked = h.sent.at(-1);
    if (asked && asked.msg.method === 'dialog.confirm') asked.resolve(confirmAnswer);
    if (asked && asked.msg.method === 'dialog.alert') asked.resolve(true);
    await flush();
    const write = h.last('clip.write');
    if (write) (clipOk ? write.resolve({ ok: true }) : write.reject({ error: 'busy' }));
    return { h, result: plain(await result) };
  };

  let { h, result } = await run([{ id: 'ok', ok: true }, tray, speech], true, true);
  assert.deepEqual(h.sent[0].msg.params, { ids: ['tray', 'speech'] });
  assert.deepEqual(h.last('dialog.confirm').msg.params, {
    message: 'Some features need system packages',
    detail:
      '\u2022 Tray icon \u2014 needs an indicator library\n\n' +
      '\u2022 Speech \u2014 needs espeak\n\n' +
      command,
    ok: 'Copy install command',
    cancel: 'Not now',
  });
  assert.deepEqual(h.last('clip.write').msg.params, { text: command });
  assert.deepEqual(result, { missing: [tray, speech], copied: true });

  ({ result } = await run([tray], true, false, { title: 'Almost there', ok: 'Copy' }));
  assert.equal(result.copied, false);
  ({ h, result } = await run([tray, speech], false, true));
  assert.equal(h.last('clip.write'), undefined);
  assert.equal(result.copied, false);

  const bare = { feature: 'Tray icon', detail: 'no indicator', ok: false, install: null };
  ({ h, result } = await run([bare], undefined, true));
  assert.deepEqual(h.last('dialog.alert').msg.params, {
    message: 'Tray icon needs a system package',
    detail: '\u2022 Tray icon \u2014 no indicator',
  });
  assert.deepEqual(result, { missing: [bare], copied: false });

  ({ h, result } = await run([{ ok: true }], undefined, true));
  assert.deepEqual(h.methods(), ['system.requirements']);
  assert.deepEqual(result, { missing: [], copied: false });
});
