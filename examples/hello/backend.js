#!/usr/bin/env node
// The hello app's backend: listens on a Unix socket, starts the launcher as a development run,
// and drives it over the wire. Every line both ways is printed as a transcript.
//
//   node backend.js <launcher> [--screenshot out.png] [--quit-after-ready]
'use strict';

const net = require('node:net');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawn, execFileSync } = require('node:child_process');

const args = process.argv.slice(2);
const launcher = args[0];
if (!launcher) {
  console.error('usage: backend.js <launcher> [--screenshot out.png] [--quit-after-ready]');
  process.exit(2);
}
const shotIndex = args.indexOf('--screenshot');
const screenshot = shotIndex > 0 ? args[shotIndex + 1] : null;
const quitAfterReady = args.includes('--quit-after-ready') || screenshot !== null;

const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'kelojs-hello-'));
const sockPath = path.join(dir, 'app.sock');
const page = path.join(__dirname, 'frontend', 'index.html');

let conn = null;
let ready = false;

// Free text in a wire field: backslash, line feed, tab and carriage return are escaped.
function wireEscape(text) {
  return text.replace(/[\\\n\t\r]/g, (c) => ({ '\\': '\\\\', '\n': '\\n', '\t': '\\t', '\r': '\\r' })[c]);
}

function evalInPage(script) {
  send('EVAL ' + wireEscape(script));
}

function send(line) {
  console.log('backend  -> ' + line);
  conn.write(line + '\n');
}

// Page calls: answer each main-frame call once with RET.
function onCall(callId, payloadText) {
  let call = {};
  try {
    call = JSON.parse(payloadText);
  } catch (e) {
    send(`RET ${callId} 1 {"error":"bad payload"}`);
    return;
  }
  const params = call.params || {};
  switch (call.method) {
    case 'win.setTitle':
      send('TITLE ' + String(params.title || '').replace(/[\r\n]/g, ' '));
      send(`RET ${callId} 0 {}`);
      break;
    case 'log':
      console.log('page log: ' + JSON.stringify(params));
      send(`RET ${callId} 0 {}`);
      break;
    case 'demo.painted':
      send(`RET ${callId} 0 {}`);
      finish();
      break;
    case 'client.hello':
      send(`RET ${callId} 0 {"app":"hello"}`);
      onReady();
      break;
    default:
      send(`RET ${callId} 0 null`);
  }
}

// The app's menus and its tray item; what the user picks there is shown in the page.
function sendMenus() {
  for (const line of [
    'MENUBEGIN',
    'MENUROLE app', 'ITEM prefs\tPreferences…\tcmd+,',
    'MENU Greeting', 'ITEM wave\tWave\tcmd+shift+w\t\temoji:👋', 'SEP', 'ITEM rename\tRename the window',
    'MENUEND',
    'TRAYBEGIN Hello\tsf:star\t1\tkelojs hello\t1',
    'ITEM wave\tWave', 'SEP', 'ITEM quit\tQuit Hello',
    'TRAYEND',
  ]) send(line);
}

function greet(text) {
  evalInPage('window.__emit && window.__emit(' +
             JSON.stringify({ event: 'greeting', data: text }) + ')');
}

function onChoice(line) {
  const [, kind, id] = /^(MENU|TRAY|TRAYCLICK)(?: (.*))?$/.exec(line) || [];
  if (!kind) return false;
  if (id === 'quit') send('QUIT');
  else if (id === 'rename') send('TITLE Hello, renamed from the menu');
  else greet(kind === 'TRAYCLICK' ? 'You clicked the tray item' : `You chose ${id} (${kind})`);
  return true;
}

function onLine(line) {
  console.log('launcher -> ' + line);
  if (onChoice(line)) return;
  const m = /^CALL (\S+) (.*)$/.exec(line);
  if (!m) return;
  if (m[1].includes(':s')) return;  // subframe calls get no answer
  let arr;
  try {
    arr = JSON.parse(m[2]);
  } catch (e) {
    return;
  }
  onCall(m[1], arr[0]);
}

function onReady() {
  if (ready) return;
  ready = true;
  greet('Hello from the backend');
  if (!quitAfterReady) return;
  // Give the page one frame to paint the greeting, then take the picture.
  evalInPage('requestAnimationFrame(() => requestAnimationFrame(() => ' +
             'window.__invoke(JSON.stringify({method: "demo.painted"}))))');
}

const server = net.createServer((socket) => {
  conn = socket;
  server.close();
  send('TITLE Hello, kelojs');
  send('SIZE 900 600');
  sendMenus();
  let buf = '';
  socket.on('data', (chunk) => {
    buf += chunk.toString('utf8');
    let nl;
    while ((nl = buf.indexOf('\n')) >= 0) {
      const line = buf.slice(0, nl);
      buf = buf.slice(nl + 1);
      onLine(line);
    }
  });
  socket.on('end', () => console.log('backend: the launcher closed the wire'));
});

// The colour of the screen's centre pixel, where the window sits, as "#RRGGBB".
function centrePixel() {
  const dims = /dimensions:\s+(\d+)x(\d+)/.exec(execFileSync('xdpyinfo').toString());
  const x = Math.floor(Number(dims[1]) / 2);
  const y = Math.floor(Number(dims[2]) / 2);
  const txt = execFileSync('import', ['-window', 'root', '-crop', `1x1+${x}+${y}`, 'txt:-']);
  const m = /#([0-9A-Fa-f]{6})/.exec(txt.toString());
  return m ? '#' + m[1].toUpperCase() : '';
}

// The page has painted once the centre of the screen shows neither the empty desktop nor the
// window's plain background; give up after five seconds and take the picture anyway.
function whenPainted(done, deadline = Date.now() + 5000) {
  const colour = centrePixel();
  if ((colour && colour !== '#000000' && colour !== '#F6F5F4') || Date.now() > deadline) {
    done();
    return;
  }
  setTimeout(() => whenPainted(done, deadline), 100);
}

function finish() {
  if (!screenshot) {
    send('QUIT');
    return;
  }
  whenPainted(() => {
    execFileSync('import', ['-window', 'root', screenshot]);
    console.log('backend: screenshot written to ' + screenshot);
    send('QUIT');
  });
}

server.listen(sockPath, () => {
  const child = spawn(launcher, [page, sockPath, 'Hello', '900x600', '1.0.0'],
                      { stdio: ['ignore', 'inherit', 'inherit'] });
  // Without the page bridge no call arrives: fall back to a bounded wait so the demo still ends.
  const fallback = setTimeout(() => {
    if (!ready) {
      console.log('backend: no page call arrived; continuing without the page bridge');
      ready = true;
      if (quitAfterReady) finish();
    }
  }, 8000);
  child.on('exit', (code) => {
    clearTimeout(fallback);
    console.log('backend: launcher exited with status ' + code);
    fs.rmSync(dir, { recursive: true, force: true });
    process.exit(code === 0 ? 0 : 1);
  });
});
