'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { loadShim, flush, FakeElement: El, FakeDocument } = require('./harness');

test('mousedown in a drag region drags or zooms the window, except on controls', () => {
  const h = loadShim();
  const down = (target, extra) =>
    h.listeners.mousedown.forEach((fn) => fn({ button: 0, detail: 1, target, ...extra }));
  const title = new El('span');
  const inButton = new El('span');
  const inNoDrag = new El('span');
  const editable = new El('div', { contenteditable: '' });
  const outside = new El('p');
  const bar = new El('header', { 'data-kelo-drag': '' }).append(
    title,
    new El('button').append(inButton),
    new El('div', { 'data-kelo-nodrag': '' }).append(inNoDrag),
    editable,
    new El('a').append(new El('img')),
  );
  new El('body').append(new El('main').append(bar), outside);
  const text = { nodeType: 3, parentElement: title };

  down(title);
  down(title, { detail: 2 });
  down(text);
  down(title, { button: 2 });
  const inLink = bar.children[4].children[0];
  for (const target of [inButton, inNoDrag, editable, inLink, outside]) down(target);
  assert.deepEqual(h.sent.map((c) => c.payload), [
    '{"method":"win.startDrag"}',
    '{"method":"win.zoom"}',
    '{"method":"win.startDrag"}',
  ]);
});

async function framelessPage(state, prepare) {
  const document = new FakeDocument();
  if (prepare) prepare(document);
  const h = loadShim({ frameless: true, document });
  const ask = h.startup.find((c) => c.msg.method === 'win.getState');
  assert.equal(ask.payload, '{"method":"win.getState"}');
  ask.resolve(state);
  await flush();
  return { h, layer: document.getElementById('__keloGrips') };
}

test('resize grips mount for a frameless resizable window and start resizes', async () => {
  const framed = loadShim({ document: new FakeDocument() });
  assert.ok(!framed.startup.some((c) => c.msg.method === 'win.getState'));

  const { h, layer } = await framelessPage({ resizable: true, chrome: { frame: false } });
  assert.match(layer.style.cssText, /position:fixed/);
  assert.match(layer.style.cssText, /z-index:2147483647;pointer-events:none/);
  const edges = layer.children.map((s) => /cursor:(\w+)-resize/.exec(s.style.cssText)[1]);
  assert.deepEqual(edges, ['n', 'ne', 'e', 'se', 's', 'sw', 'w', 'nw']);
  let prevented = 0;
  const press = (button) => ({ button, preventDefault: () => prevented++, stopPropagation() {} });
  layer.children[3].listeners.mousedown[0](press(0));
  layer.children[0].listeners.mousedown[0](press(1));
  assert.deepEqual(h.sent.map((c) => c.payload), [
    '{"method":"win.startResize","params":{"edge":"se"}}',
  ]);
  assert.equal(prevented, 1);

  const off = [
    [{ resizable: false, chrome: { frame: false } }],
    [{ chrome: { frame: true } }],
    [{ chrome: { frame: false } }, (d) => d.body.setAttribute('data-kelo-noresize', '')],
    [{ chrome: { frame: false } }, (d) => d.documentElement.setAttribute('data-kelo-noresize', '')],
  ];
  for (const [state, prepare] of off) {
    assert.equal((await framelessPage(state, prepare)).layer, null, JSON.stringify(state));
  }
});
