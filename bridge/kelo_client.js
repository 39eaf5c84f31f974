// kelojs client: the `kelo` page API.
//
// Injected at document start into the main frame of every web view, right after the bridge
// bootstrap. The bootstrap provides:
//   window.__invoke(payload)  posts one call (payload = JSON text of {method, params}) and
//                             returns a promise settled by the backend's answer;
//   window.__keloResolve      settles those promises (not used here);
//   window.__KELO_WIN         the id of this window.
// This script defines window.kelo, window.__emit (the backend pushes events through it with
// EVAL) and window.__keloSampler (the sound-effect mixer the backend drives in the main window).
//
// The launcher never reads the calls made here: every method name and parameter below is the
// backend's protocol. Capability analysis reads the source text of the API functions, so call
// sites keep the shapes call('name' and api.on('name' (single quotes, literal names).
//
// Plain script, no modules: the launcher embeds this text as a string. Keep it ASCII.
(function () {
  'use strict';

  // A second run in the same document (for example an explicit re-evaluation) keeps the first.
  if (typeof window.__emit === 'function' && window.kelo && window.kelo.api) return;

  const noop = () => {};
  const hasOwn = (obj, key) => Object.prototype.hasOwnProperty.call(obj, key);
  const tagOf = (v) => Object.prototype.toString.call(v);
  const isObject = (v) => v !== null && typeof v === 'object';
  const messageOf = (err) => (err && err.message !== undefined ? String(err.message) : String(err));

  // ---------------------------------------------------------------------------------------------
  // Calls and events

  const handlers = new Map();
  let clipWatching = false;
  let fetchCounter = 0;

  // One page call. Always returns a promise: a missing bridge or an unserialisable parameter
  // rejects it instead of throwing into the caller.
  function call(method, params) {
    let payload;
    try {
      payload = JSON.stringify({ method, params });
    } catch (err) {
      return Promise.reject(err);
    }
    const invoke = window.__invoke;
    if (typeof invoke !== 'function') {
      return Promise.reject(new Error('kelo: the launcher bridge is not available'));
    }
    try {
      return Promise.resolve(invoke(payload));
    } catch (err) {
      return Promise.reject(err);
    }
  }

  function on(event, fn) {
    let list = handlers.get(event);
    if (!list) {
      list = [];
      handlers.set(event, list);
    }
    list.push(fn);
    return () => off(event, fn);
  }

  function off(event, fn) {
    const list = handlers.get(event);
    if (!list) return;
    const i = list.indexOf(fn);
    if (i >= 0) list.splice(i, 1);
  }

  function reportError(err) {
    if (typeof window.reportError === 'function') {
      try {
        window.reportError(err);
        return;
      } catch (_) {
        // fall through to the timer
      }
    }
    setTimeout(() => {
      throw err;
    }, 0);
  }

  // Entry point for events: {event, data}. Handlers run over a snapshot of the list, so
  // subscribing or unsubscribing inside a handler does not disturb this dispatch, and one
  // failing handler does not stop the others.
  function emit(msg) {
    if (!isObject(msg)) return;
    const list = handlers.get(msg.event);
    if (!list || list.length === 0) return;
    const data = msg.data;
    for (const fn of list.slice()) {
      try {
        fn(data);
      } catch (err) {
        reportError(err);
      }
    }
  }

  const api = { call, on, off };

  // Sugar subscriptions hand the user's function one field of the event data, or all of it.
  const field = (fn, key) => (data) => fn(data == null ? undefined : data[key]);
  const whole = (fn) => (data) => fn(data);

  // ---------------------------------------------------------------------------------------------
  // Bytes and Base64

  const B64_CHUNK = 32768;

  function bytesToB64(bytes) {
    let bin = '';
    for (let i = 0; i < bytes.length; i += B64_CHUNK) {
      bin += String.fromCharCode.apply(null, bytes.subarray(i, i + B64_CHUNK));
    }
    return btoa(bin);
  }

  function b64ToBytes(b64) {
    const bin = atob(String(b64));
    const out = new Uint8Array(bin.length);
    for (let i = 0; i < bin.length; i++) out[i] = bin.charCodeAt(i);
    return out;
  }

  const isArrayBuffer = (v) => tagOf(v) === '[object ArrayBuffer]';
  const isView = (v) => ArrayBuffer.isView(v);
  const viewBytes = (v) => new Uint8Array(v.buffer, v.byteOffset, v.byteLength);
  const isBlob = (v) =>
    isObject(v) &&
    (tagOf(v) === '[object Blob]' || tagOf(v) === '[object File]') &&
    typeof v.arrayBuffer === 'function';

  // The bytes of an ArrayBuffer, a view (its own range only) or a Blob; null for anything else.
  // Blobs are read asynchronously, so the answer is a promise for them.
  function binaryBytes(v) {
    if (isArrayBuffer(v)) return new Uint8Array(v);
    if (isView(v)) return viewBytes(v);
    if (isBlob(v)) return v.arrayBuffer().then((buf) => new Uint8Array(buf));
    return null;
  }

  // ---------------------------------------------------------------------------------------------
  // Operating system, from the page's user agent

  function userAgent() {
    try {
      return String((window.navigator && window.navigator.userAgent) || '');
    } catch (_) {
      return '';
    }
  }

  function osName() {
    const ua = userAgent();
    if (/Windows/i.test(ua)) return 'windows';
    if (/Linux|X11/.test(ua)) return 'linux';
    return 'macos';
  }

  // ---------------------------------------------------------------------------------------------
  // Launcher URLs

  const VOLUME_RE = /^\/(Volumes|Network|net)\/[^/]+/;
  const volumeOf = (p) => {
    const m = VOLUME_RE.exec(p);
    return m ? m[0] : '/';
  };
  const encodeSegments = (p) => p.split('/').map(encodeURIComponent).join('/');

  function pageVolume() {
    try {
      const loc = window.location;
      if (!loc || loc.protocol !== 'file:') return null;
      return volumeOf(decodeURIComponent(loc.pathname));
    } catch (_) {
      return null;
    }
  }

  function fileURL(path) {
    let p = String(path);
    // WebKit on macOS only reads files on the page's own volume; others go through the media
    // scheme.
    if (p.startsWith('/') && !p.startsWith('//') && userAgent().includes('Macintosh')) {
      if (pageVolume() !== volumeOf(p)) return 'kelo-media://file' + encodeSegments(p);
    }
    if (/^[A-Za-z]:[\\/]/.test(p) || p.startsWith('\\\\')) p = p.replace(/\\/g, '/');
    const network = p.startsWith('//');
    if (!network && !p.startsWith('/')) p = '/' + p;
    const encoded = encodeSegments(p).replace(/%3A/gi, ':');
    return (network ? 'file:' : 'file://') + encoded;
  }

  function proxyURL(url) {
    return 'kelo-media://proxy/?u=' + encodeURIComponent(url);
  }

  // ---------------------------------------------------------------------------------------------
  // Backend-proxied fetch

  const NULL_BODY_STATUS = new Set([204, 205, 304]);

  function plainHeaders(h) {
    if (h == null) return undefined;
    if (tagOf(h) === '[object Headers]' && typeof h.forEach === 'function') {
      const out = {};
      h.forEach((value, name) => {
        out[name] = value;
      });
      return out;
    }
    if (Array.isArray(h)) {
      // Repeated names are combined the way Headers does, not dropped.
      const out = {};
      for (const pair of h) {
        if (!pair || pair.length < 2) continue;
        const name = String(pair[0]);
        const value = String(pair[1]);
        out[name] = hasOwn(out, name) ? out[name] + ', ' + value : value;
      }
      return out;
    }
    return h;
  }

  const hasHeader = (headers, name) =>
    isObject(headers) && Object.keys(headers).some((k) => k.toLowerCase() === name);

  // Request body as {text} or {b64}; form data and streams are serialised as a browser would
  // send them, with the multipart content type they need.
  async function encodeBody(body) {
    if (body == null) return {};
    if (typeof body === 'string') return { text: body };
    if (tagOf(body) === '[object URLSearchParams]') return { text: String(body) };
    const bytes = binaryBytes(body);
    if (bytes) return { b64: bytesToB64(await bytes) };
    const tag = tagOf(body);
    if ((tag === '[object FormData]' || tag === '[object ReadableStream]') &&
        typeof Response === 'function') {
      const packed = new Response(body);
      const buf = await packed.arrayBuffer();
      return { b64: bytesToB64(new Uint8Array(buf)), type: packed.headers.get('content-type') };
    }
    return { text: String(body) };
  }

  function bodyStream(id) {
    return new ReadableStream({
      pull(controller) {
        return call('fetch.pull', { id }).then((chunk) => {
          if (!isObject(chunk) || chunk.done) controller.close();
          else if (chunk.bodyB64) controller.enqueue(b64ToBytes(chunk.bodyB64));
        });
      },
      cancel() {
        // The page does not wait for the backend to drop the stream.
        call('fetch.cancel', { id }).catch(noop);
      },
    });
  }

  async function keloFetch(url, init) {
    init = init || {};
    fetchCounter = (fetchCounter + 1) >>> 0;
    const id = 'f' + fetchCounter;
    const streaming = !!init.stream;
    let headers = plainHeaders(init.headers);
    const body = await encodeBody(init.body);
    if (body.type && !hasHeader(headers, 'content-type')) {
      headers = Object.assign({}, headers, { 'content-type': body.type });
    }
    const head = await call('fetch', {
      url: String(url),
      id,
      stream: streaming,
      method: init.method,
      headers,
      redirect: init.redirect,
      bodyText: body.text,
      bodyB64: body.b64,
    });
    const info = isObject(head) ? head : {};
    const status = info.status == null ? 200 : info.status;
    // These statuses cannot carry a body: a Response built with one throws.
    let content = null;
    if (!NULL_BODY_STATUS.has(status)) {
      if (streaming) content = bodyStream(id);
      else if (info.bodyB64 != null) content = b64ToBytes(info.bodyB64);
    }
    const response = new Response(content, {
      status,
      statusText: info.statusText == null ? '' : String(info.statusText),
      headers: info.headers == null ? {} : info.headers,
    });
    try {
      Object.defineProperty(response, 'url', {
        value: info.url == null ? '' : String(info.url),
        configurable: true,
      });
      Object.defineProperty(response, 'redirected', {
        value: !!info.redirected,
        configurable: true,
      });
    } catch (_) {
      // a Response that refuses the properties keeps its own
    }
    return response;
  }

  // ---------------------------------------------------------------------------------------------
  // Helpers of the page API

  const screenId = (s) => (isObject(s) ? s.id : s);

  function dialogOptions(fn, opts, strField) {
    if (opts === undefined || opts === null) return {};
    if (strField && typeof opts === 'string') return { [strField]: opts };
    if (typeof opts === 'object' && !Array.isArray(opts)) return opts;
    throw new TypeError(
      `kelo.dialog.${fn}(message, opts): opts must be an object` +
        (strField ? ` or a ${strField} string` : '') +
        ', got ' +
        (Array.isArray(opts) ? 'an array' : typeof opts),
    );
  }

  // Start answers of the audio tap and mouse tracking: {ok:true} or {ok:false, code, message}.
  function checkStarted(answer, prefix) {
    if (isObject(answer) && answer.ok !== false) return;
    const code = (isObject(answer) && answer.code) || 'failed';
    const message = isObject(answer) && answer.message ? answer.message : prefix + code;
    const err = new Error(message);
    err.code = code;
    throw err;
  }

  // system.requirements answers a list of entries (an object of entries is accepted too).
  function requirementEntries(answer) {
    if (Array.isArray(answer)) return answer;
    if (!isObject(answer)) return [];
    if (Array.isArray(answer.requirements)) return answer.requirements;
    return Object.values(answer).filter(isObject);
  }

  const text = (v) => (v == null ? '' : String(v));

  // The one install command covering every missing entry: the first entry's command with its
  // package list replaced by all packages of all entries.
  function installCommand(missing) {
    const installs = missing.map((e) => e.install).filter((i) => i != null);
    const manager = installs[0];
    const packages = [];
    for (const install of installs) {
      const list = isObject(install) && Array.isArray(install.packages) ? install.packages : [];
      for (const pkg of list) if (!packages.includes(pkg)) packages.push(pkg);
    }
    if (!isObject(manager) || packages.length === 0 || typeof manager.command !== 'string') {
      return null;
    }
    const own = Array.isArray(manager.packages) ? manager.packages : [];
    const cut = own.length ? manager.command.indexOf(own[0]) : -1;
    if (cut < 0) return manager.command;
    return manager.command.slice(0, cut) + packages.join(' ');
  }

  // ---------------------------------------------------------------------------------------------
  // Page-side filter chain (Web Audio, no wire traffic)

  const numberOr = (v, fallback) => {
    if (v === undefined || v === null) return fallback;
    const n = typeof v === 'number' ? v : Number(v);
    return Number.isFinite(n) ? n : fallback;
  };

  function pageChain(ctx) {
    const GLIDE = 0.015;
    const input = ctx.createGain();
    const output = ctx.createGain();
    const stage = ctx.createGain();
    stage.channelCount = 2;
    stage.channelCountMode = 'explicit';
    const splitter = ctx.createChannelSplitter(2);
    const left = ctx.createGain();
    const right = ctx.createGain();
    const merger = ctx.createChannelMerger(2);
    stage.connect(splitter);
    splitter.connect(left, 0);
    splitter.connect(right, 1);
    left.connect(merger, 0, 0);
    right.connect(merger, 0, 1);
    merger.connect(output);

    let settings = [];
    let nodes = [];

    const setParam = (param, value, fresh) => {
      if (fresh) param.value = value;
      else param.setTargetAtTime(value, ctx.currentTime, GLIDE);
    };
    const kindOf = (f) => (f.type === 'gain' ? 'gain' : f.type || 'peaking');

    function tune(node, f, fresh) {
      if (kindOf(f) === 'gain') {
        setParam(node.gain, numberOr(f.gain, 1), fresh);
        return;
      }
      setParam(node.frequency, numberOr(f.freq, 1000), fresh);
      setParam(node.Q, numberOr(f.q, 1), fresh);
      setParam(node.gain, numberOr(f.gain, 0), fresh);
    }

    function makeNode(f) {
      let node;
      if (kindOf(f) === 'gain') {
        node = ctx.createGain();
      } else {
        node = ctx.createBiquadFilter();
        node.type = kindOf(f);
      }
      tune(node, f, true);
      return node;
    }

    function filters(list) {
      input.disconnect();
      for (const node of nodes) node.disconnect();
      settings = Array.isArray(list) ? list.map((f) => Object.assign({}, f)) : [];
      nodes = settings.map(makeNode);
      let prev = input;
      for (const node of nodes) {
        prev.connect(node);
        prev = node;
      }
      prev.connect(stage);
      return true;
    }

    function filter(index, patch) {
      const i = Number(index);
      if (!Number.isInteger(i) || i < 0 || i >= nodes.length) return true;
      const before = settings[i];
      const after = Object.assign({}, before, patch);
      settings[i] = after;
      if (kindOf(after) !== kindOf(before)) filters(settings);
      else tune(nodes[i], after, false);
      return true;
    }

    function balance(v) {
      let b = 0;
      try {
        b = Number(v);
      } catch (_) {
        b = 0;
      }
      if (Number.isNaN(b)) b = 0;
      b = Math.max(-1, Math.min(1, b));
      setParam(left.gain, b > 0 ? 1 - b : 1, false);
      setParam(right.gain, b < 0 ? 1 + b : 1, false);
      return true;
    }

    function clear() {
      filters([]);
      balance(0);
      return true;
    }

    filters([]);
    return { input, output, filters, filter, balance, clear };
  }

  // ---------------------------------------------------------------------------------------------
  // The page API

  const kelo = {
    api,
    fetch: keloFetch,
    proxyURL,
    fileURL,
    embedURL(url) {
      return call('embed.url', { url });
    },
    log(msg) {
      return call('log', { msg });
    },
    quit() {
      return call('quit');
    },

    system: {
      os: () => osName(),
      isMacOS: () => osName() === 'macos',
      isWindows: () => osName() === 'windows',
      isLinux: () => osName() === 'linux',
      info() {
        return call('system.info');
      },
      architecture() {
        return call('system.info').then((info) => (isObject(info) ? info.arch : undefined));
      },
      capabilities() {
        return call('system.capabilities');
      },
      locale() {
        return call('system.locale');
      },
      battery() {
        return call('system.battery');
      },
      wifi() {
        return call('system.wifi');
      },
      idleTime() {
        return call('system.idleTime');
      },
      requirements(ids, opts) {
        return call('system.requirements', {
          ids: ids === undefined ? null : ids,
          refresh: !!(opts && opts.refresh),
        });
      },
      missing(ids) {
        return call('system.requirements', { ids: ids === undefined ? null : ids }).then(
          (answer) => requirementEntries(answer).filter((e) => isObject(e) && e.ok === false),
        );
      },
      promptMissing(ids, opts) {
        opts = opts || {};
        return call('system.requirements', { ids }).then((answer) => {
          const missing = requirementEntries(answer).filter((e) => isObject(e) && e.ok === false);
          if (missing.length === 0) return { missing: [], copied: false };
          const command = installCommand(missing);
          let detail = missing
            .map((e) => '\u2022 ' + text(e.feature) + ' \u2014 ' + text(e.detail))
            .join('\n\n');
          if (command) detail += '\n\n' + command;
          const title =
            opts.title ||
            (missing.length === 1
              ? text(missing[0].feature) + ' needs a system package'
              : 'Some features need system packages');
          if (!command) {
            return call('dialog.alert', { message: title, detail }).then(() => ({
              missing,
              copied: false,
            }));
          }
          return call('dialog.confirm', {
            message: title,
            detail,
            ok: opts.ok || 'Copy install command',
            cancel: opts.cancel || 'Not now',
          }).then((accepted) => {
            if (accepted !== true) return { missing, copied: false };
            return call('clip.write', { text: command }).then(
              (res) => ({ missing, copied: !(isObject(res) && res.ok === false) }),
              () => ({ missing, copied: false }),
            );
          });
        });
      },
    },

    notify(title, body, opts) {
      return call('notify', { title, body, ...opts });
    },

    win: {
      get id() {
        return window.__KELO_WIN || 'main';
      },
      open(id, opts) {
        return call('win.open', { id, ...opts });
      },
      close(id) {
        return call('win.close', id == null ? {} : { id });
      },
      windows() {
        return call('win.windows');
      },
      setTitle(title) {
        return call('win.setTitle', { title });
      },
      setSize(width, height, opts) {
        return call('win.setSize', { width, height, units: opts && opts.units });
      },
      hide(opts) {
        return call('win.hide', opts ?? {});
      },
      show(opts) {
        return call('win.show', opts ?? {});
      },
      center() {
        return call('win.center');
      },
      minimize() {
        return call('win.minimize');
      },
      fullscreen() {
        return call('win.fullscreen');
      },
      ensureOnScreen() {
        return call('win.ensureOnScreen');
      },
      restore() {
        return call('win.restore');
      },
      getState() {
        return call('win.getState');
      },
      zoom() {
        return call('win.zoom');
      },
      print() {
        return call('win.print');
      },
      stopFind() {
        return call('win.stopFind');
      },
      setAlwaysOnTop(enabled) {
        return call('win.setAlwaysOnTop', { enabled });
      },
      setResizable(enabled) {
        return call('win.setResizable', { enabled });
      },
      setClickThrough(enabled) {
        return call('win.setClickThrough', { enabled });
      },
      setAllSpaces(enabled) {
        return call('win.setAllSpaces', { enabled });
      },
      setHideOnClose(enabled) {
        return call('win.setHideOnClose', { enabled });
      },
      setMinSize(width, height) {
        return call('win.setMinSize', { width, height });
      },
      setZoom(factor) {
        return call('win.setZoom', { factor });
      },
      setLevel(level) {
        return call('win.setLevel', { level });
      },
      setPosition(x, y, opts) {
        opts = opts || {};
        return call('win.setPosition', { x, y, screen: screenId(opts.screen), units: opts.units });
      },
      setFullscreen(enabled, opts) {
        return call('win.setFullscreen', { enabled, screen: screenId(opts && opts.screen) });
      },
      onState(fn) {
        return api.on('window-state', whole(fn));
      },
      setChrome(opts) {
        return call('win.setChrome', opts);
      },
      startDrag(opts) {
        if (opts && opts.files) return call('win.dragOut', opts);
        return call('win.startDrag');
      },
      startResize(edge) {
        return call('win.startResize', { edge });
      },
      dragOut(opts) {
        return call('win.dragOut', opts);
      },
      printToPDF(path) {
        return call('win.printToPDF', { path });
      },
      find(term, opts) {
        opts = opts || {};
        return call('win.find', {
          term,
          forward: opts.forward !== false,
          matchCase: !!opts.matchCase,
        });
      },
      menu: {
        set(menus) {
          return call('win.menu.set', { menus });
        },
        reset() {
          return call('win.menu.reset');
        },
        update(id, patch) {
          return call('win.menu.update', { id, ...patch });
        },
        get(id) {
          return call('win.menu.get', { id });
        },
      },
      onDrop(fn) {
        return api.on('drop', field(fn, 'paths'));
      },
      share(opts) {
        return call('win.share', opts ?? {});
      },
    },

    menu: {
      set(menus) {
        return call('menu.set', { menus });
      },
      on(fn) {
        return api.on('menu', field(fn, 'id'));
      },
      update(id, patch) {
        return call('menu.update', { id, ...patch });
      },
      get(id) {
        return call('menu.get', { id });
      },
      setContext(items) {
        return call('menu.setContext', { items });
      },
      onContext(fn) {
        return api.on('contextmenu', field(fn, 'id'));
      },
    },

    store: {
      get(key) {
        return call('store.get', { key });
      },
      set(key, value) {
        return call('store.set', { key, value });
      },
      delete(key) {
        return call('store.delete', { key });
      },
      all() {
        return call('store.all');
      },
    },

    hotkey: {
      register(id, combo) {
        return call('hotkey.register', { id, combo });
      },
      unregister(id) {
        return call('hotkey.unregister', { id });
      },
      on(fn) {
        return api.on('hotkey', field(fn, 'id'));
      },
    },

    audio: {
      filters(list) {
        return call('audio.filters', { filters: list ?? [] });
      },
      filter(index, patch) {
        return call('audio.filterSet', { index, filter: patch ?? {} });
      },
      balance(v) {
        return call('audio.balance', { value: v });
      },
      clear() {
        // Both go out at once, in this order; the answer is that of the filters call.
        const balanced = call('audio.balance', { value: 0 });
        const cleared = call('audio.filters', { filters: [] });
        return Promise.all([balanced, cleared]).then((answers) => answers[1]);
      },
      pageChain,
      sampler: {
        load(name, source) {
          const params = { name: String(name) };
          if (typeof source === 'string') {
            params.path = source;
            return call('sampler.load', params);
          }
          const bytes = binaryBytes(source);
          if (!bytes) throw new Error('sampler.load: pass a path or an ArrayBuffer');
          return Promise.resolve(bytes).then((b) => {
            params.bytesB64 = bytesToB64(b);
            return call('sampler.load', params);
          });
        },
        play(name, opts) {
          return call('sampler.play', { name, ...opts }).then((answer) => {
            const id = isObject(answer) ? answer.id : undefined;
            return {
              id,
              set(patch) {
                return call('sampler.set', { id, ...patch });
              },
              stop() {
                return call('sampler.stop', { id });
              },
            };
          });
        },
        stopAll() {
          return call('sampler.stopAll');
        },
        master(v) {
          return call('sampler.master', { value: v });
        },
        unload(name) {
          return call('sampler.unload', { name });
        },
      },
    },

    audioTap: {
      start(opts) {
        return call('audioTap.start', opts).then((answer) => {
          checkStarted(answer, 'audioTap: ');
          return true;
        });
      },
      stop() {
        return call('audioTap.stop');
      },
      on(fn) {
        return api.on('audio-tap', whole(fn));
      },
    },

    clipboard: {
      read() {
        return call('clip.read');
      },
      changeCount() {
        return call('clip.changeCount');
      },
      write(data) {
        return call('clip.write', data);
      },
      watch(intervalMs) {
        clipWatching = true;
        return call('clip.watch', { intervalMs });
      },
      unwatch() {
        clipWatching = false;
        return call('clip.unwatch');
      },
      onChange(fn) {
        if (!clipWatching) window.kelo.clipboard.watch().catch(noop);
        return api.on('clipboard-change', whole(fn));
      },
    },

    macos: {
      applescript(source) {
        return call('macos.applescript', { source });
      },
      quickLook(paths) {
        return call('macos.quickLook', { paths });
      },
      ocr(path) {
        return call('macos.ocr', { path });
      },
      recorder: {
        start(opts) {
          return call('macos.recorder.start', opts ?? {});
        },
        stop() {
          return call('macos.recorder.stop');
        },
      },
      ai: {
        availability() {
          return call('macos.ai.availability');
        },
        generate(prompt, opts) {
          opts = opts || {};
          if (opts.tools != null) {
            console.warn(
              'kelo.macos.ai.generate: `tools` only works from the backend ' +
                '(app.macos.ai.generate) \u2014 ignored here',
            );
          }
          return call('macos.ai.generate', { prompt, instructions: opts.instructions });
        },
      },
      selectedText() {
        return call('macos.selectedText');
      },
      otherWindows() {
        return call('macos.otherWindows');
      },
      moveWindow(pid, rect) {
        return call('macos.moveWindow', { pid, ...rect });
      },
    },

    dialog: {
      openFile(opts) {
        return call('dialog.openFile', { types: opts && opts.types });
      },
      openFiles(opts) {
        return call('dialog.openFiles', { types: opts && opts.types });
      },
      pickFolder() {
        return call('dialog.pickFolder');
      },
      saveFile(opts) {
        opts = opts || {};
        return call('dialog.saveFile', { types: opts.types, name: opts.name });
      },
      alert(message, opts) {
        return call('dialog.alert', { message, ...dialogOptions('alert', opts, 'detail') });
      },
      confirm(message, opts) {
        return call('dialog.confirm', { message, ...dialogOptions('confirm', opts, 'detail') });
      },
      prompt(message, opts) {
        return call('dialog.prompt', { message, ...dialogOptions('prompt', opts, null) });
      },
    },

    theme: {
      get() {
        return call('theme.get');
      },
      on(fn) {
        return api.on('theme', field(fn, 'dark'));
      },
    },

    app: {
      info() {
        return call('app.info');
      },
      onOpenUrl(fn) {
        return api.on('open-url', field(fn, 'url'));
      },
      onOpenFiles(fn) {
        return api.on('open-files', field(fn, 'paths'));
      },
      onNotificationClick(fn) {
        return api.on('notification-click', field(fn, 'id'));
      },
      onNotificationAction(fn) {
        return api.on('notification-action', whole(fn));
      },
      update: {
        check() {
          return call('update.check');
        },
        install() {
          return call('update.install');
        },
      },
      keystroke(combo) {
        return call('app.keystroke', { combo });
      },
      paste() {
        return call('app.paste');
      },
      permissions: {
        check(name) {
          return call('perm.check', { name });
        },
        request(name) {
          return call('perm.request', { name });
        },
      },
      mousePosition() {
        return call('app.mouse');
      },
      mouseTracking: {
        start() {
          return call('app.mouseTracking.start').then((answer) => {
            checkStarted(answer, 'mouseTracking: ');
            return { ok: true };
          });
        },
        stop() {
          return call('app.mouseTracking.stop');
        },
      },
      screens() {
        return call('app.screens');
      },
      foregroundScreen() {
        return call('app.foregroundScreen');
      },
      paths() {
        return call('app.paths');
      },
      screenAt(x, y) {
        return call('app.screenAt', { x, y });
      },
      screenFor(rect) {
        return call('app.screenFor', { rect });
      },
      matchScreen(saved) {
        return call('app.matchScreen', { saved });
      },
      onScreensChanged(fn) {
        return api.on('screens-changed', whole(fn));
      },
      setAsDefaultHandler(ext) {
        return call('app.setAsDefaultHandler', { ext });
      },
      shell: {
        open(target) {
          return call('shell.open', { target });
        },
        reveal(path) {
          return call('shell.reveal', { path });
        },
        trash(path) {
          return call('shell.trash', { path });
        },
      },
      launchAtLogin: {
        get() {
          return call('login.get');
        },
        set(enabled) {
          return call('login.set', { enabled });
        },
      },
      badge(text) {
        return call('app.badge', { text });
      },
      attention(opts) {
        return call('app.attention', opts ?? {});
      },
      icon(path) {
        return call('app.icon', { path });
      },
      progress(value) {
        return call('app.progress', { value });
      },
      presence(mode) {
        return call('app.presence', { mode });
      },
      power: {
        preventSleep(reason, opts) {
          return call('power.prevent', { reason, ...opts });
        },
        allowSleep() {
          return call('power.allow');
        },
      },
      frontmostApp() {
        return call('app.frontmost');
      },
      spotlight(query) {
        return call('app.spotlight', { query });
      },
      beep() {
        return call('sound.play', {});
      },
      playSound(target) {
        return call('sound.play', { target });
      },
      captureScreen(screenId) {
        return call('app.captureScreen', { screenId });
      },
      pickColor() {
        return call('app.pickColor');
      },
      thumbnail(path, size) {
        return call('app.thumbnail', { path, size });
      },
      secrets: {
        get(key) {
          return call('secrets.get', { key });
        },
        set(key, value) {
          return call('secrets.set', { key, value });
        },
        delete(key) {
          return call('secrets.delete', { key });
        },
      },
      authenticate(reason) {
        return call('app.authenticate', { reason });
      },
      nowPlaying: {
        set(info) {
          return call('nowplaying.set', info ?? {});
        },
        clear() {
          return call('nowplaying.clear');
        },
      },
      onMediaKey(fn) {
        return api.on('media-key', whole(fn));
      },
      say(text, opts) {
        return call('app.say', { text, ...opts });
      },
      stopSpeaking() {
        return call('app.stopSpeaking');
      },
      voices() {
        return call('app.voices');
      },
    },

    tray: {
      set(spec) {
        return call('tray.set', spec);
      },
      remove() {
        return call('tray.remove');
      },
      position() {
        return call('tray.position');
      },
      on(fn) {
        return api.on('tray', field(fn, 'id'));
      },
      onClick(fn) {
        return api.on('trayclick', () => fn());
      },
    },
  };

  // ---------------------------------------------------------------------------------------------
  // Capabilities: which API paths work on this page
  //
  // Every function under window.kelo is read once; its uses are the wire methods it calls and
  // the events it subscribes to, including those of other API functions it calls as
  // window.kelo.<path>(. The backend answers a verdict per name; a path works when all of its
  // names are allowed.

  const CALL_RE = /call\('([^']+)'/g;
  const EVENT_RE = /api\.on\('([^']+)'/g;
  const REF_RE = /window\.kelo\.([A-Za-z_$][\w$]*(?:\.[A-Za-z_$][\w$]*)*)\(/g;
  const FIXED_USES = {
    fetch: { calls: ['fetch'], events: [] },
    proxyURL: { calls: ['media.proxy'], events: [] },
  };

  const allMatches = (re, source) => {
    const out = [];
    for (const m of source.matchAll(re)) if (!out.includes(m[1])) out.push(m[1]);
    return out;
  };

  function recordSources(root) {
    const sources = new Map();
    const seen = new Set();
    const walk = (obj, prefix) => {
      if (seen.has(obj)) return;
      seen.add(obj);
      for (const key of Object.keys(obj)) {
        if (prefix === '' && key === 'capabilities') continue;
        const desc = Object.getOwnPropertyDescriptor(obj, key);
        if (!desc || !('value' in desc)) continue; // getters are values, not functions
        const value = desc.value;
        const path = prefix + key;
        if (typeof value === 'function') {
          let source = '';
          try {
            source = Function.prototype.toString.call(value);
          } catch (_) {
            source = '';
          }
          sources.set(path, source);
        } else if (isObject(value) && !Array.isArray(value)) {
          walk(value, path + '.');
        }
      }
    };
    walk(root, '');
    return sources;
  }

  function analyseUses(sources) {
    const direct = new Map();
    for (const [path, source] of sources) {
      const fixed = hasOwn(FIXED_USES, path) ? FIXED_USES[path] : null;
      direct.set(path, {
        calls: fixed ? fixed.calls.slice() : allMatches(CALL_RE, source),
        events: fixed ? fixed.events.slice() : allMatches(EVENT_RE, source),
        refs: fixed
          ? []
          : allMatches(REF_RE, source).filter((p) => !p.startsWith('api.') && sources.has(p)),
      });
    }
    const uses = new Map();
    for (const path of direct.keys()) {
      const calls = [];
      const events = [];
      const visited = new Set();
      const visit = (p) => {
        if (visited.has(p)) return;
        visited.add(p);
        const d = direct.get(p);
        for (const c of d.calls) if (!calls.includes(c)) calls.push(c);
        for (const e of d.events) if (!events.includes(e)) events.push(e);
        for (const r of d.refs) visit(r);
      };
      visit(path);
      uses.set(path, { calls, events });
    }
    return uses;
  }

  function makeCapabilities() {
    let uses = new Map();
    let names = { calls: [], events: [] };
    let verdicts = null;
    let settleReady = noop;
    const ready = new Promise((resolve) => {
      settleReady = () => resolve();
    });

    const normalise = (path) => {
      const p = String(path);
      return p.startsWith('kelo.') ? p.slice(5) : p;
    };
    // "x.*" (and "*" for everything) stands for every path starting with the text before "*".
    const wildcardPrefix = (p) => (p === '*' || p.endsWith('.*') ? p.slice(0, -1) : null);
    const sortedPaths = () => Array.from(uses.keys()).sort();
    const under = (prefix) => sortedPaths().filter((p) => p.startsWith(prefix));

    function failingVerdicts(u) {
      const out = [];
      for (const c of u.calls) {
        const v = hasOwn(verdicts.calls, c) ? verdicts.calls[c] : undefined;
        if (v !== true) out.push(v);
      }
      for (const e of u.events) {
        const v = hasOwn(verdicts.events, e) ? verdicts.events[e] : undefined;
        if (v !== true) out.push(v);
      }
      return out;
    }

    function works(path) {
      const u = uses.get(path);
      return !!u && verdicts !== null && failingVerdicts(u).length === 0;
    }

    const workingPaths = () => sortedPaths().filter(works);

    function answerFor(path) {
      const u = uses.get(path);
      if (!u) return { ok: false, why: 'unknown' };
      if (verdicts === null) return { ok: false, why: 'pending' };
      const failing = failingVerdicts(u);
      if (failing.length === 0) return { ok: true };
      if (failing.some((v) => !isObject(v) || v.why === 'gate')) {
        const needs = [];
        for (const v of failing) {
          if (!isObject(v) || v.needs == null) continue;
          for (const n of Array.isArray(v.needs) ? v.needs : [v.needs]) {
            if (n != null && n !== '' && !needs.includes(n)) needs.push(n);
          }
        }
        return { ok: false, why: 'gate', needs };
      }
      const first = failing[0];
      const out = { ok: false, why: first.why };
      if (first.feature !== undefined) out.feature = first.feature;
      return out;
    }

    function refresh() {
      return call('client.capabilities', { calls: names.calls, events: names.events }).then(
        (answer) => {
          if (!isObject(answer)) return;
          const before = workingPaths();
          verdicts = {
            calls: isObject(answer.calls) ? answer.calls : {},
            events: isObject(answer.events) ? answer.events : {},
          };
          const after = workingPaths();
          const added = after.filter((p) => !before.includes(p));
          const removed = before.filter((p) => !after.includes(p));
          if (added.length || removed.length) {
            const fire = typeof window.__emit === 'function' ? window.__emit : emit;
            fire({ event: 'capabilities-change', data: { added, removed } });
          }
        },
        noop,
      );
    }

    function start(root) {
      setTimeout(settleReady, 3000);
      uses = analyseUses(recordSources(root));
      const calls = new Set();
      const events = new Set();
      for (const u of uses.values()) {
        u.calls.forEach((c) => calls.add(c));
        u.events.forEach((e) => events.add(e));
      }
      names = { calls: Array.from(calls).sort(), events: Array.from(events).sort() };
      refresh().then(settleReady, settleReady);
    }

    const capabilities = {
      ready,
      can(path) {
        const p = normalise(path);
        const prefix = wildcardPrefix(p);
        if (prefix !== null) return under(prefix).some(works);
        return works(p);
      },
      get(path) {
        const p = normalise(path);
        const prefix = wildcardPrefix(p);
        if (prefix === null) return answerFor(p);
        const paths = under(prefix);
        const pick = paths.find(works) || paths[0];
        return answerFor(pick !== undefined ? pick : p.slice(0, p === '*' ? 0 : -2));
      },
      list() {
        return verdicts === null ? [] : workingPaths();
      },
      refresh() {
        return refresh().then(noop);
      },
      onChange(fn) {
        return api.on('capabilities-change', whole(fn));
      },
    };
    return { capabilities, start };
  }

  // ---------------------------------------------------------------------------------------------
  // Sound-effect mixer host, driven by the backend with EVAL in the main window

  function makeSampler() {
    const MAX_VOICES = 32;
    const GLIDE = 0.005;
    const FADE = 0.05;
    let ctx = null;
    let masterGain = null;
    let masterValue = 1;
    let nextStart = 1;
    const buffers = new Map();
    const voices = new Map();

    function context() {
      if (!ctx) {
        const AC = window.AudioContext || window.webkitAudioContext;
        if (typeof AC !== 'function') throw new Error('Web Audio is not available');
        ctx = new AC();
        masterGain = ctx.createGain();
        masterGain.gain.value = masterValue;
        masterGain.connect(ctx.destination);
      }
      if (ctx.state === 'suspended') {
        try {
          const resumed = ctx.resume();
          if (resumed && typeof resumed.catch === 'function') resumed.catch(noop);
        } catch (_) {
          // a context that cannot resume stays silent; nothing to report
        }
      }
      return ctx;
    }

    const glide = (param, value) => param.setTargetAtTime(value, ctx.currentTime, GLIDE);

    function release(voice) {
      for (const node of [voice.source, voice.gain, voice.panner]) {
        try {
          node.disconnect();
        } catch (_) {
          // already disconnected
        }
      }
    }

    // A stopped voice leaves the table at once, so it no longer counts against the voice limit
    // and a later limit check picks a voice that is still sounding.
    function fadeOut(id, voice) {
      if (voices.get(id) === voice) voices.delete(id);
      const now = ctx.currentTime;
      try {
        glide(voice.gain.gain, 0);
        voice.source.stop(now + FADE);
      } catch (_) {
        // the source already ended
      }
    }

    function cutOff(id, voice) {
      if (voices.get(id) === voice) voices.delete(id);
      try {
        voice.source.stop();
      } catch (_) {
        // the source already ended
      }
    }

    function decode(c, data) {
      return new Promise((resolve, reject) => {
        const p = c.decodeAudioData(data, resolve, reject);
        if (p && typeof p.then === 'function') p.then(resolve, reject);
      });
    }

    async function fetchBytes(name, path) {
      try {
        const res = await window.fetch(fileURL(path));
        if (!res.ok) throw new Error('http ' + res.status);
        return await res.arrayBuffer();
      } catch (_) {
        const answer = await call('sampler.bytes', { name });
        if (!isObject(answer) || typeof answer.b64 !== 'string') {
          throw new Error('sampler.bytes: no data for ' + name);
        }
        return b64ToBytes(answer.b64).buffer;
      }
    }

    return {
      load(name, path) {
        return (async () => {
          let result;
          try {
            const c = context();
            const data = await fetchBytes(name, path);
            buffers.set(name, await decode(c, data));
            result = { name, ok: true };
          } catch (err) {
            result = { name, ok: false, error: messageOf(err) };
          }
          await call('sampler.hostResult', result);
        })().catch(noop);
      },

      play(id, name, vol, pan, rate, loop) {
        const buffer = buffers.get(name);
        if (!buffer) return;
        const c = context();
        const previous = voices.get(id);
        if (previous) fadeOut(id, previous);
        while (voices.size >= MAX_VOICES) {
          let oldestId = null;
          let oldest = null;
          for (const [vid, v] of voices) {
            if (!oldest || v.start < oldest.start) {
              oldest = v;
              oldestId = vid;
            }
          }
          fadeOut(oldestId, oldest);
        }
        const source = c.createBufferSource();
        source.buffer = buffer;
        source.playbackRate.value = numberOr(rate, 1);
        source.loop = !!loop;
        const gain = c.createGain();
        gain.gain.value = numberOr(vol, 1);
        const panner = c.createStereoPanner();
        panner.pan.value = numberOr(pan, 0);
        source.connect(gain);
        gain.connect(panner);
        panner.connect(masterGain);
        const voice = { source, gain, panner, name, start: nextStart++ };
        source.onended = () => {
          if (voices.get(id) === voice) voices.delete(id);
          release(voice);
        };
        voices.set(id, voice);
        source.start();
      },

      set(id, vol, pan, rate) {
        const voice = voices.get(id);
        if (!voice) return;
        context();
        if (vol != null) glide(voice.gain.gain, vol);
        if (pan != null) glide(voice.panner.pan, pan);
        if (rate != null) voice.source.playbackRate.value = rate;
      },

      stop(id) {
        const voice = voices.get(id);
        if (!voice) return;
        context();
        fadeOut(id, voice);
      },

      stopAll() {
        if (!ctx) return;
        context();
        for (const [id, voice] of Array.from(voices)) fadeOut(id, voice);
      },

      unload(name) {
        buffers.delete(name);
        for (const [id, voice] of Array.from(voices)) {
          if (voice.name === name) cutOff(id, voice);
        }
      },

      master(v) {
        masterValue = v;
        if (!masterGain) return;
        context();
        glide(masterGain.gain, v);
      },
    };
  }

  // ---------------------------------------------------------------------------------------------
  // Drag regions and resize grips

  const NO_DRAG_TAGS = ['A', 'BUTTON', 'INPUT', 'TEXTAREA', 'SELECT'];
  const hasAttr = (el, name) => typeof el.hasAttribute === 'function' && el.hasAttribute(name);

  function onDragMouseDown(e) {
    if (!e || e.button !== 0) return;
    let el = e.target;
    if (el && el.nodeType !== 1) el = el.parentElement || null;
    let inRegion = false;
    for (; el && el.nodeType === 1; el = el.parentElement) {
      const tag = String(el.tagName || '').toUpperCase();
      if (NO_DRAG_TAGS.includes(tag) || el.isContentEditable || hasAttr(el, 'data-kelo-nodrag')) {
        return;
      }
      if (hasAttr(el, 'data-kelo-drag')) inRegion = true;
    }
    if (!inRegion) return;
    if (e.detail === 2) call('win.zoom').catch(noop);
    else call('win.startDrag').catch(noop);
  }

  const GRIP = 5;
  const GRIPS = [
    ['n', `top:0;left:${GRIP}px;right:${GRIP}px;height:${GRIP}px`],
    ['ne', `top:0;right:0;width:${GRIP}px;height:${GRIP}px`],
    ['e', `top:${GRIP}px;right:0;bottom:${GRIP}px;width:${GRIP}px`],
    ['se', `bottom:0;right:0;width:${GRIP}px;height:${GRIP}px`],
    ['s', `bottom:0;left:${GRIP}px;right:${GRIP}px;height:${GRIP}px`],
    ['sw', `bottom:0;left:0;width:${GRIP}px;height:${GRIP}px`],
    ['w', `top:${GRIP}px;left:0;bottom:${GRIP}px;width:${GRIP}px`],
    ['nw', `top:0;left:0;width:${GRIP}px;height:${GRIP}px`],
  ];

  function mountGrips() {
    const doc = window.document;
    if (!doc || doc.getElementById('__keloGrips')) return;
    const root = doc.documentElement;
    const body = doc.body;
    const optedOut = (el) => el && hasAttr(el, 'data-kelo-noresize');
    if (optedOut(root) || optedOut(body)) return;
    const layer = doc.createElement('div');
    layer.id = '__keloGrips';
    layer.setAttribute('data-kelo-nodrag', '');
    layer.style.cssText =
      'position:fixed;left:0;top:0;right:0;bottom:0;z-index:2147483647;pointer-events:none';
    for (const [edge, box] of GRIPS) {
      const strip = doc.createElement('div');
      strip.style.cssText = `position:absolute;pointer-events:auto;cursor:${edge}-resize;${box}`;
      strip.addEventListener('mousedown', (e) => {
        if (e.button !== 0) return;
        e.preventDefault();
        e.stopPropagation();
        call('win.startResize', { edge }).catch(noop);
      });
      layer.appendChild(strip);
    }
    (body || root).appendChild(layer);
  }

  function setUpGrips() {
    if (typeof window.__KELO_FRAMELESS !== 'boolean') return;
    call('win.getState')
      .then((state) => {
        if (!isObject(state) || !isObject(state.chrome)) return;
        if (state.chrome.frame !== false || state.resizable === false) return;
        const doc = window.document;
        if (!doc) return;
        if (doc.body) mountGrips();
        else doc.addEventListener('DOMContentLoaded', mountGrips, { once: true });
      })
      .catch(noop);
  }

  // ---------------------------------------------------------------------------------------------
  // Start-up. Nothing here may throw into the page.

  const caps = makeCapabilities();
  kelo.capabilities = caps.capabilities;
  window.kelo = kelo;
  window.__emit = emit;
  try {
    window.__keloSampler = makeSampler();
  } catch (_) {
    // the page keeps working without the mixer
  }
  try {
    caps.start(kelo);
  } catch (_) {
    // capability queries stay "pending"
  }
  call('client.hello').catch(noop);
  try {
    if (typeof window.addEventListener === 'function') {
      window.addEventListener('mousedown', onDragMouseDown, true);
    }
    setUpGrips();
  } catch (_) {
    // no drag regions in this document
  }
})();
