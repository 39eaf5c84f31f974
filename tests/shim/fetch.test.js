'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { loadShim, flush } = require('./harness');

const b64 = (text) => Buffer.from(text).toString('base64');

// Starts kelo.fetch and returns the parsed params of its `fetch` call.
async function sentFetch(h, url, init) {
  const response = h.kelo.fetch(url, init);
  response.catch(() => {});
  await flush();
  const head = h.last('fetch');
  return { response, head, params: head.msg.params };
}

test('fetch request bodies and headers as they go on the wire', async () => {
  const h = loadShim();
  const big = new Uint8Array(70000).map((_, i) => (i * 7) & 255);
  const cases = [
    [undefined, {}],
    [{ body: null, method: 'GET' }, { method: 'GET' }],
    [{ body: 'plain', method: 'POST' }, { method: 'POST', bodyText: 'plain' }],
    [{ body: new URLSearchParams({ a: '1', b: 'two words' }) }, { bodyText: 'a=1&b=two+words' }],
    [{ body: new Uint8Array([0, 1, 2, 3]).subarray(1, 3) }, { bodyB64: 'AQI=' }],
    [{ body: new Uint16Array([0x0201]).buffer }, { bodyB64: 'AQI=' }],
    [{ body: new Blob(['hi']) }, { bodyB64: 'aGk=' }],
    [{ body: big }, { bodyB64: Buffer.from(big).toString('base64') }],
    [{ body: 42 }, { bodyText: '42' }],
    [{ headers: new Headers({ 'X-One': '1' }) }, { headers: { 'x-one': '1' } }],
    [
      { headers: [['Accept', 'a'], ['Accept', 'b'], ['X', 'y']] },
      { headers: { Accept: 'a, b', X: 'y' } },
    ],
    [
      { headers: { 'X-As-Is': 'v' }, redirect: 'manual' },
      { headers: { 'X-As-Is': 'v' }, redirect: 'manual' },
    ],
  ];
  let n = 0;
  for (const [init, expected] of cases) {
    const { params } = await sentFetch(h, 'https://api.test/x', init);
    n++;
    const { url, id, stream, ...rest } = params;
    assert.deepEqual([url, id, stream], ['https://api.test/x', `f${n}`, false]);
    assert.deepEqual(rest, expected, JSON.stringify(init));
  }
  // Key order on the wire is fixed.
  await sentFetch(h, new URL('https://api.test/y'), { body: 'b', method: 'PUT', stream: true });
  assert.equal(
    h.last('fetch').payload,
    '{"method":"fetch","params":{"url":"https://api.test/y","id":"f13","stream":true,' +
      '"method":"PUT","bodyText":"b"}}',
  );
});

test('form data is sent as multipart bytes with its content type', async () => {
  const h = loadShim();
  const form = new FormData();
  form.append('name', 'kelo');
  const { params } = await sentFetch(h, 'https://api.test/form', { method: 'POST', body: form });
  const type = params.headers['content-type'];
  assert.match(type, /^multipart\/form-data; boundary=/);
  const body = Buffer.from(params.bodyB64, 'base64').toString();
  assert.ok(body.includes(type.split('boundary=')[1]) && body.includes('name="name"\r\n\r\nkelo'));
});

test('fetch builds the Response from the head answer', async () => {
  const h = loadShim();
  const { response, head } = await sentFetch(h, 'https://api.test/r');
  head.resolve({
    status: 201,
    statusText: 'Created',
    headers: { 'content-type': 'text/plain' },
    url: 'https://api.test/final',
    redirected: true,
    bodyB64: b64('hello'),
  });
  const res = await response;
  assert.deepEqual(
    [res.status, res.statusText, res.headers.get('content-type'), res.url, res.redirected],
    [201, 'Created', 'text/plain', 'https://api.test/final', true],
  );
  assert.equal(await res.text(), 'hello');

  // A null-body status with an (empty) body member still gives a Response.
  const empty = await sentFetch(h, 'https://api.test/none');
  empty.head.resolve({ status: 204, bodyB64: '' });
  const none = await empty.response;
  assert.deepEqual([none.status, none.body], [204, null]);

  const failed = await sentFetch(h, 'https://api.test/down');
  failed.head.reject({ error: 'connection refused' });
  await assert.rejects(failed.response, (e) => e.error === 'connection refused');
});

test('streaming fetch pulls chunks until done, and cancels', async () => {
  const h = loadShim();
  const { response, head } = await sentFetch(h, 'https://api.test/s', { stream: true });
  head.resolve({ status: 200, headers: {} });
  const res = await response;
  const text = res.text();
  for (const chunk of [{ bodyB64: b64('ab') }, { bodyB64: b64('c') }, { done: true }]) {
    await flush();
    const pulls = h.sent.filter((c) => c.msg.method === 'fetch.pull');
    pulls.at(-1).resolve(chunk);
  }
  assert.equal(await text, 'abc');
  assert.deepEqual(
    h.sent.filter((c) => c.msg.method === 'fetch.pull').map((c) => c.payload),
    Array(3).fill('{"method":"fetch.pull","params":{"id":"f1"}}'),
  );

  const second = await sentFetch(h, 'https://api.test/s2', { stream: true });
  second.head.resolve({ status: 200 });
  await (await second.response).body.cancel();
  assert.equal(h.last('fetch.cancel').payload, '{"method":"fetch.cancel","params":{"id":"f2"}}');

  const notModified = await sentFetch(h, 'https://api.test/s3', { stream: true });
  notModified.head.resolve({ status: 304 });
  assert.equal((await notModified.response).body, null);
  await flush();
  assert.ok(!h.sent.some((c) => c.msg.method === 'fetch.pull' && c.msg.params.id === 'f3'));
});
