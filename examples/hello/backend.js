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
    case 'client.hello':
      send(`RET ${callId} 0 {"app":"hello"}`);
      onReady();
      break;
    default:
      send(`RET ${callId} 0 null`);
  }
}

function onLine(line) {
  console.log('launcher -> ' + line);
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
  send('EVAL window.__emit && window.__emit({"name":"greeting","data":"Hello from the backend"})');
  if (!quitAfterReady) return;
  // Give the page one frame to paint the greeting, then take the picture.
  send('EVAL requestAnimationFrame(() => requestAnimationFrame(() => ' +
       'window.webkit.messageHandlers.kelo.postMessage("999999:{\\"method\\":\\"demo.painted\\"}")))');
}

const server = net.createServer((socket) => {
  conn = socket;
  server.close();
  send('TITLE Hello, kelojs');
  send('SIZE 900 600');
  let buf = '';
  socket.on('data', (chunk) => {
    buf += chunk.toString('utf8');
    let nl;
    while ((nl = buf.indexOf('\n')) >= 0) {
      const line = buf.slice(0, nl);
      buf = buf.slice(nl + 1);
      if (line.startsWith('CALL main:999999 ')) {
        finish();
        continue;
      }
      onLine(line);
    }
  });
  socket.on('end', () => console.log('backend: the launcher closed the wire'));
});

function finish() {
  if (screenshot) {
    execFileSync('import', ['-window', 'root', screenshot]);
    console.log('backend: screenshot written to ' + screenshot);
  }
  send('QUIT');
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
