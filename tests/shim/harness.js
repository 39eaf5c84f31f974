'use strict';
// Runs the shipped client script in a fresh vm context whose global object is a small fake
// browser window. window.__invoke records every payload and hands the test the promise's
// resolve/reject, so tests read the exact text that would go on the wire.

const fs = require('node:fs');
const path = require('node:path');
const vm = require('node:vm');

const SHIM_PATH = path.join(__dirname, '..', '..', 'bridge', 'kelo_client.js');
const SHIM_TEXT = fs.readFileSync(SHIM_PATH, 'utf8');

const UA = {
  linux: 'Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/605.1.15 (KHTML, like Gecko) Safari/605.1.15',
  mac: 'Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko)',
  windows: 'Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko)',
};

// Let every pending promise callback run, in this realm and the shim's.
const flush = () => new Promise((resolve) => setImmediate(resolve));

// Objects made inside the vm context have that realm's prototypes; compare them as JSON.
const plain = (v) => JSON.parse(JSON.stringify(v));

class FakeParam {
  constructor(value) {
    this.value = value;
    this.targets = [];
  }
  setTargetAtTime(value, time, constant) {
    this.targets.push([value, time, constant]);
  }
}

class FakeNode {
  constructor(ctx, kind) {
    this.kind = kind;
    this.edges = [];
    ctx.nodes.push(this);
  }
  connect(dest, output = 0, input = 0) {
    this.edges.push({ dest, output, input });
    return dest;
  }
  disconnect() {
    this.edges = [];
  }
}

class FakeAudioContext {
  constructor() {
    this.nodes = [];
    this.currentTime = 10;
    this.state = 'suspended';
    this.resumes = 0;
    this.failDecode = false;
    this.destination = new FakeNode(this, 'destination');
  }
  resume() {
    this.resumes++;
    this.state = 'running';
    return Promise.resolve();
  }
  node(kind, extra) {
    return Object.assign(new FakeNode(this, kind), extra);
  }
  createGain() {
    return this.node('gain', { gain: new FakeParam(1), channelCount: 2, channelCountMode: 'max' });
  }
  createBiquadFilter() {
    const params = { frequency: new FakeParam(350), Q: new FakeParam(1), gain: new FakeParam(0) };
    return this.node('biquad', { type: 'lowpass', ...params });
  }
  createChannelSplitter(n) {
    return this.node('splitter', { channels: n });
  }
  createChannelMerger(n) {
    return this.node('merger', { channels: n });
  }
  createStereoPanner() {
    return this.node('panner', { pan: new FakeParam(0) });
  }
  createBufferSource() {
    const src = this.node('source', { playbackRate: new FakeParam(1), loop: false, buffer: null });
    src.started = false;
    src.stops = [];
    src.start = () => (src.started = true);
    src.stop = (when) => src.stops.push(when);
    return src;
  }
  decodeAudioData(data) {
    if (this.failDecode) return Promise.reject(new Error('unreadable audio'));
    return Promise.resolve({ bytes: data.byteLength });
  }
}

class FakeElement {
  constructor(tag, attrs = {}) {
    this.nodeType = 1;
    this.tagName = tag.toUpperCase();
    this.attrs = { ...attrs };
    this.children = [];
    this.parentElement = null;
    this.style = { cssText: '' };
    this.listeners = {};
    this.id = '';
    this.isContentEditable = 'contenteditable' in attrs;
  }
  hasAttribute(name) {
    return Object.prototype.hasOwnProperty.call(this.attrs, name);
  }
  setAttribute(name, value) {
    this.attrs[name] = String(value);
  }
  appendChild(child) {
    child.parentElement = this;
    this.children.push(child);
    return child;
  }
  append(...children) {
    children.forEach((c) => this.appendChild(c));
    return this;
  }
  addEventListener(type, fn) {
    (this.listeners[type] ||= []).push(fn);
  }
}

class FakeDocument {
  constructor() {
    this.documentElement = new FakeElement('html');
    this.body = this.documentElement.appendChild(new FakeElement('body'));
  }
  createElement(tag) {
    return new FakeElement(tag);
  }
  getElementById(id) {
    const find = (el) => (el.id === id ? el : el.children.map(find).find(Boolean) || null);
    return find(this.documentElement);
  }
  addEventListener() {}
}

function loadShim(opts = {}) {
  const sent = [];
  const timers = [];
  const warnings = [];
  const listeners = {};
  const contexts = [];
  const win = {
    __KELO_WIN: opts.winId,
    navigator: { userAgent: opts.userAgent || UA.linux },
    location: new URL(opts.href || 'http://localhost:5173/index.html'),
    console: { warn: (...a) => warnings.push(a.join(' ')), log() {}, error() {} },
    setTimeout(fn, ms) {
      timers.push({ fn, ms });
      return timers.length;
    },
    clearTimeout(id) {
      if (timers[id - 1]) timers[id - 1].fn = () => {};
    },
    addEventListener(type, fn) {
      (listeners[type] ||= []).push(fn);
    },
    AudioContext: class extends FakeAudioContext {
      constructor() {
        super();
        contexts.push(this);
      }
    },
    document: opts.document,
    fetch: opts.fetch,
    __KELO_FRAMELESS: opts.frameless,
    Response,
    Headers,
    Blob,
    FormData,
    URLSearchParams,
    ReadableStream,
    btoa,
    atob,
  };
  if (opts.reportError) win.reportError = opts.reportError;
  if (opts.bridge !== false) {
    win.__invoke = (payload) =>
      new Promise((resolve, reject) => {
        sent.push({ payload, msg: JSON.parse(payload), resolve, reject });
      });
  }
  win.window = win;
  vm.createContext(win);
  vm.runInContext(SHIM_TEXT, win, { filename: SHIM_PATH });

  const h = {
    win,
    kelo: win.kelo,
    sent,
    timers,
    warnings,
    listeners,
    contexts,
    // The calls the shim made on its own while starting (capabilities, then hello).
    startup: sent.splice(0),
    // The last payload sent for a method (the parsed object), or undefined.
    last(method) {
      return sent.filter((c) => c.msg.method === method).pop();
    },
    methods() {
      return sent.map((c) => c.msg.method);
    },
    runTimers() {
      timers.splice(0).forEach((t) => t.fn());
    },
  };
  return h;
}

module.exports = { loadShim, flush, plain, UA, FakeElement, FakeDocument };
