'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { loadShim, flush } = require('./harness');

// The nodes from `from` up to (not including) `to`, following first connections.
function path(from, to) {
  const out = [];
  for (let node = from.edges[0].dest; node !== to; node = node.edges[0].dest) out.push(node);
  return out;
}

function makeChain() {
  const h = loadShim();
  const ctx = new h.win.AudioContext();
  const chain = h.kelo.audio.pageChain(ctx);
  const stage = ctx.nodes.find((n) => n.channelCountMode === 'explicit');
  const splitter = ctx.nodes.find((n) => n.kind === 'splitter');
  const [left, right] = splitter.edges.map((e) => e.dest);
  return { h, ctx, chain, stage, splitter, left, right };
}

test('pageChain wires input, filters, balance stage and output', () => {
  const { ctx, chain, stage, splitter, left, right } = makeChain();
  assert.equal(stage.channelCount, 2);
  assert.deepEqual(path(chain.input, stage), []);
  assert.deepEqual(stage.edges.map((e) => e.dest), [splitter]);
  assert.deepEqual(splitter.edges.map((e) => e.output), [0, 1]);
  const merger = left.edges[0].dest;
  assert.deepEqual([left.edges[0].input, right.edges[0].input], [0, 1]);
  assert.equal(right.edges[0].dest, merger);
  assert.equal(merger.edges[0].dest, chain.output);

  const list = [{ type: 'lowshelf', freq: 200, gain: 3 }, { type: 'gain', gain: 0.5 }, {}];
  assert.equal(chain.filters(list), true);
  const nodes = path(chain.input, stage);
  assert.deepEqual(
    nodes.map((n) => [n.kind, n.type, n.frequency?.value, n.Q?.value, n.gain.value]),
    [
      ['biquad', 'lowshelf', 200, 1, 3],
      ['gain', undefined, undefined, undefined, 0.5],
      ['biquad', 'peaking', 1000, 1, 0],
    ],
  );
  assert.ok(nodes.every((n) => n.gain.targets.length === 0)); // new nodes are set at once
  assert.equal(ctx.nodes.filter((n) => n.kind === 'biquad').length, 2);
});

test('pageChain retunes a filter in place and rebuilds on a type change', () => {
  const { ctx, chain, stage } = makeChain();
  const list = [{ type: 'lowshelf', freq: 200, gain: 3 }, { q: 2 }];
  chain.filters(list);
  const [first, second] = path(chain.input, stage);
  const created = ctx.nodes.length;

  assert.equal(chain.filter(0, { gain: 6 }), true);
  assert.equal(ctx.nodes.length, created);
  assert.deepEqual(first.gain.targets, [[6, 10, 0.015]]);
  assert.deepEqual(first.frequency.targets, [[200, 10, 0.015]]);
  assert.deepEqual(path(chain.input, stage), [first, second]);
  assert.equal(list[0].gain, 3); // the caller's settings are copied, not patched

  assert.equal(chain.filter(1, { type: 'peaking' }), true); // same effective type: retune
  assert.equal(ctx.nodes.length, created);

  chain.filter(0, { type: 'highshelf' });
  const rebuilt = path(chain.input, stage);
  assert.equal(rebuilt.length, 2);
  assert.ok(!rebuilt.includes(first) && !rebuilt.includes(second));
  assert.deepEqual(
    [rebuilt[0].type, rebuilt[0].frequency.value, rebuilt[0].gain.value, rebuilt[1].Q.value],
    ['highshelf', 200, 6, 2],
  );
  assert.deepEqual([first.edges, second.edges], [[], []]);

  const count = ctx.nodes.length;
  assert.equal(chain.filter(5, { gain: 1 }), true);
  assert.equal(chain.filter('length', { gain: 1 }), true);
  assert.equal(ctx.nodes.length, count);
});

test('pageChain balance math and clear', () => {
  const { chain, stage, left, right } = makeChain();
  const cases = [
    [0.5, 0.5, 1],
    [-0.25, 1, 0.75],
    ['x', 1, 1],
    [null, 1, 1],
    [7, 0, 1],
    [-7, 1, 0],
    ['0.2', 0.8, 1],
  ];
  for (const [v, l, r] of cases) {
    assert.equal(chain.balance(v), true);
    assert.deepEqual([left.gain.targets.at(-1), right.gain.targets.at(-1)], [
      [l, 10, 0.015],
      [r, 10, 0.015],
    ], String(v));
  }
  chain.filters([{}, {}]);
  chain.clear();
  assert.deepEqual(path(chain.input, stage), []);
  assert.deepEqual([left.gain.targets.at(-1)[0], right.gain.targets.at(-1)[0]], [1, 1]);
});

// A mixer host with one sound loaded through the page's own fetch.
async function loadedHost(fetchImpl) {
  const fetched = [];
  const h = loadShim({
    fetch: async (url) => {
      fetched.push(url);
      return fetchImpl ? fetchImpl(url) : { ok: true, arrayBuffer: async () => new ArrayBuffer(4) };
    },
  });
  const host = h.win.__keloSampler;
  host.master(0.25);
  return { h, host, fetched };
}

test('mixer host loads via the file URL, falls back to the backend, reports', async () => {
  let { h, host, fetched } = await loadedHost();
  host.load('kick', '/snd/kick.wav');
  await flush();
  assert.deepEqual(fetched, ['file:///snd/kick.wav']);
  assert.equal(
    h.last('sampler.hostResult').payload,
    '{"method":"sampler.hostResult","params":{"name":"kick","ok":true}}',
  );
  const ctx = h.contexts[0];
  assert.equal(ctx.resumes, 1);
  assert.equal(ctx.nodes.find((n) => n.kind === 'gain').gain.value, 0.25); // stored master

  ({ h, host } = await loadedHost(() => ({ ok: false, status: 404 })));
  host.load('snare', '/missing.wav');
  await flush();
  assert.deepEqual(h.last('sampler.bytes').msg.params, { name: 'snare' });
  h.last('sampler.bytes').resolve({ b64: 'AAAA' });
  await flush();
  assert.deepEqual(h.last('sampler.hostResult').msg.params, { name: 'snare', ok: true });

  ({ h, host } = await loadedHost());
  host.load('bad', '/bad.wav');
  h.contexts[0].failDecode = true;
  await flush();
  assert.deepEqual(h.last('sampler.hostResult').msg.params, {
    name: 'bad',
    ok: false,
    error: 'unreadable audio',
  });
  host.play('v1', 'bad', 1, 0, 1, false);
  assert.ok(!h.contexts[0].nodes.some((n) => n.kind === 'source'));
});

test('mixer host voices: the 33rd stops the earliest, set glides, unload cuts', async () => {
  const { h, host } = await loadedHost();
  host.load('kick', '/kick.wav');
  await flush();
  const ctx = h.contexts[0];
  const sources = () => ctx.nodes.filter((n) => n.kind === 'source');
  const gainOf = (src) => src.edges[0].dest;

  for (let i = 1; i <= 33; i++) host.play('v' + i, 'kick', 0.8, -0.5, 1.5, i === 2);
  let all = sources();
  assert.equal(all.length, 33);
  assert.deepEqual(all[0].stops, [10.05]);
  assert.deepEqual(gainOf(all[0]).gain.targets, [[0, 10, 0.005]]);
  assert.ok(all.slice(1).every((s) => s.started && s.stops.length === 0));
  assert.deepEqual(
    [all[1].loop, all[1].playbackRate.value, gainOf(all[1]).gain.value],
    [true, 1.5, 0.8],
  );

  host.play('v34', 'kick', 1, 0, 1, false); // the next earliest still sounding is v2
  all = sources();
  assert.deepEqual([all[0].stops.length, all[1].stops], [1, [10.05]]);

  host.set('v3', 0.1, 0.9, 2);
  const v3 = all[2];
  const v3Gain = gainOf(v3);
  assert.deepEqual(v3Gain.gain.targets, [[0.1, 10, 0.005]]);
  assert.deepEqual(v3Gain.edges[0].dest.pan.targets, [[0.9, 10, 0.005]]);
  assert.equal(v3.playbackRate.value, 2);

  v3.onended(); // an ended voice is forgotten and unplugged
  host.set('v3', 0.5);
  assert.equal(v3Gain.gain.targets.length, 1);
  assert.deepEqual([v3.edges, v3Gain.edges], [[], []]);

  host.unload('kick');
  assert.deepEqual(all[3].stops, [undefined]);
  assert.equal(gainOf(all[3]).gain.targets.length, 0);
  host.play('v35', 'kick', 1, 0, 1, false);
  assert.equal(sources().length, 34);
});
