// <scan-control>: the Folioray2 document-capture control on a web page. The control runs
// in folioray-service on this machine; this element draws its children, forwards the
// user's clicks and keys, and gives the page the control's members under their own names.
//
//   import 'http://127.0.0.1:47365/folioray.js';
//   <scan-control service="http://127.0.0.1:47365"></scan-control>
//
// Property reads give the last value the service reported (all of them are read again
// after every method and event); `await el.get(name)` asks the service. Writes are sent
// at once and in order, before any later call; `await el.set(name, value)` waits for one.
// Methods return promises of their results. `el.ready` settles once connected.

const DEFAULT_SERVICE = 'http://127.0.0.1:47365';
const PROPERTIES = [
  'FullScreen', 'ButtonStyle', 'CurrentName', 'ShowModeButton', 'SaveAsPDF', 'ControlMode',
  'ImageWidth', 'ImageHeight', 'ImageSize', 'Quality', 'FilePath',
];
const READ_ONLY = new Set(['CurrentName', 'ImageWidth', 'ImageHeight', 'ImageSize']);
const METHODS = ['StartScan', 'SetSize', 'UploadFile', 'PasteName'];
const WM_KEYDOWN = 0x100;
const WM_CHAR = 0x102;
const VK_BACK = 0x08;
const VK_END = 0x23;
// Children that have no face of their own on the surface.
const UNSEEN = new Set(['PictureStore', 'PictureHolder', 'Timer', 'Menu', 'MenuItem']);
const ICON_GLYPH = { critical: ['\u00d7', '#c62828'], question: ['?', '#2b5797'], exclamation: ['!', '#e0a000'],
  information: ['i', '#2b5797'] };

const STYLE = `
:host { display: inline-block; position: relative; width: 400px; height: 200px;
  font: 11px system-ui, sans-serif; color: #000; contain: layout; }
:host([hidden]) { display: none; }
.surface { position: absolute; inset: 0; overflow: hidden; background: #ece9d8; }
.surface.wait, .surface.wait * { cursor: progress; }
.kid { position: absolute; box-sizing: border-box; margin: 0; font: inherit; }
.kid[hidden] { display: none; }
button.kid { padding: 0 2px; background: #f3f2ec; border: 1px solid #8a8a80; border-radius: 2px; }
button.kid:enabled:hover { background: #fff; }
button.kid:disabled { color: #999; }
button.pic { padding: 0; display: grid; place-items: center; }
button.pic img { width: 23px; height: 22px; image-rendering: pixelated; }
button.pic:disabled img { opacity: .4; }
.preview { background: #fff; border: 1px solid #7a7a7a; display: grid; place-items: center;
  overflow: hidden; outline-offset: -3px; }
.preview img { max-width: 100%; max-height: 100%; object-fit: contain; pointer-events: none; }
input.kid { background: #ffffe1; border: 1px solid #000; text-align: center; padding: 0; }
textarea.kid { resize: none; border: 1px solid #7a7a7a; padding: 2px; font: 12px system-ui, sans-serif; }
.bar { border: 1px solid #7a7a7a; background: #fff; overflow: hidden; }
.bar > div { height: 100%; background: #3a7bd5; width: 0; }
.notice { position: absolute; inset: 0; display: flex; flex-direction: column; gap: 6px;
  justify-content: center; padding: 8px 12px; background: #fff8e1; border: 1px solid #d9a400;
  overflow: auto; z-index: 100000; }
.notice b { font-size: 12px; }
.notice[hidden] { display: none; }
.notice button { align-self: flex-start; }
dialog { padding: 0; border: 1px solid #555; box-shadow: 0 4px 18px #0006; font: 12px system-ui, sans-serif; }
dialog::backdrop { background: #0002; }
dialog header { background: #2b5797; color: #fff; padding: 4px 8px; font-weight: 600;
  display: flex; justify-content: space-between; gap: 12px; }
dialog header button { all: unset; cursor: pointer; padding: 0 4px; }
dialog .body { padding: 12px 14px; display: flex; gap: 12px; align-items: flex-start; max-width: 36em; }
dialog .glyph { flex: none; width: 30px; height: 30px; border-radius: 50%; color: #fff; font: bold 20px/30px serif;
  text-align: center; }
dialog .text { white-space: pre-wrap; }
dialog footer { padding: 0 14px 12px; display: flex; justify-content: center; gap: 8px; }
dialog footer button { min-width: 75px; }
dialog.menu { margin: 0; position: fixed; padding: 2px; min-width: 120px; }
dialog.menu::backdrop { background: transparent; }
dialog.menu button { display: block; width: 100%; text-align: left; border: 0; background: none; padding: 4px 16px; }
dialog.menu button:enabled:hover { background: #2b5797; color: #fff; }
dialog.detail .pic { display: block; overflow: auto; max-width: 90vw; max-height: 80vh; }
dialog.detail img { display: block; }
dialog.about .body { flex-direction: column; gap: 8px; max-width: 34em; }
dialog.about h2 { font-size: 14px; margin: 0; }
dialog.about p { margin: 0; }
dialog.about small { color: #555; }
`;

// A caption's "&x" marks the access key; "&&" is a plain ampersand.
function renderCaption(node, caption) {
  node.textContent = '';
  let key = '';
  for (let i = 0; i < caption.length; ++i) {
    const c = caption[i];
    if (c === '&' && i + 1 < caption.length) {
      const next = caption[++i];
      if (next !== '&' && !key) {
        key = next.toLowerCase();
        const u = document.createElement('u');
        u.textContent = next;
        node.append(u);
        continue;
      }
      node.append(next);
      continue;
    }
    node.append(c);
  }
  return key;
}

// The control's text boxes hold CR LF line ends, as the files written from them do.
const fromModelText = (text) => (text || '').replace(/\r\n/g, '\n');

// The element that would take typed keys, looking into open shadow roots.
function focusedElement() {
  let el = document.activeElement;
  while (el && el.shadowRoot && el.shadowRoot.activeElement) el = el.shadowRoot.activeElement;
  return el;
}

function isTextField(el) {
  if (el instanceof HTMLTextAreaElement) return !el.readOnly && !el.disabled;
  if (!(el instanceof HTMLInputElement) || el.readOnly || el.disabled) return false;
  return ['text', 'search', 'url', 'tel', 'password', ''].includes(el.type);
}

// One key message of the control's typing, applied as the user's own keystroke would be.
export function applyKeyMessage(el, msg, wParam) {
  if (!el) return;
  if (isTextField(el)) {
    const edit = (text, inputType, start, end) => {
      el.setRangeText(text, start, end, 'end');
      el.dispatchEvent(new InputEvent('input', { bubbles: true, composed: true, inputType, data: text || null }));
    };
    const { selectionStart: s, selectionEnd: e, value } = el;
    if (msg === WM_KEYDOWN && wParam === VK_END) el.setSelectionRange(value.length, value.length);
    else if (msg === WM_KEYDOWN && wParam === VK_BACK) {
      if (s !== e) edit('', 'deleteContentBackward', s, e);
      else if (s > 0) edit('', 'deleteContentBackward', s - 1, s);
    } else if (msg === WM_CHAR && wParam > 0) edit(String.fromCharCode(wParam), 'insertText', s, e);
  } else if (el.isContentEditable) {
    const sel = document.getSelection();
    if (msg === WM_KEYDOWN && wParam === VK_END) sel.modify('move', 'forward', 'lineboundary');
    else if (msg === WM_KEYDOWN && wParam === VK_BACK) document.execCommand('delete');
    else if (msg === WM_CHAR && wParam > 0) document.execCommand('insertText', false, String.fromCharCode(wParam));
  }
}

// Why a connection to the service failed, in words a user can act on.
async function explainFailure(service, err, onGranted) {
  const status = err && err.status;
  if (status === 403)
    return ['This page may not use the scanner service.',
      `The service does not list this page's origin (${location.origin}). Add the line ` +
      `"allow-origin = ${location.origin}" to ~/.config/folioray/service.conf and restart the service.`];
  if (status === 'upgrade')
    return ['The scanner service refused the connection.', 'It did not accept this page\'s session. Press Retry.'];
  if (status)
    return ['The scanner service refused the connection.', `${service} answered ${status} ${err.statusText || ''}.`];
  for (const name of ['loopback-network', 'local-network-access', 'local-network']) {
    let permission;
    try {
      permission = await navigator.permissions.query({ name });
    } catch {
      continue;
    }
    const state = permission.state;
    if (state !== 'granted' && onGranted)
      permission.onchange = () => permission.state === 'granted' && onGranted();
    if (state === 'denied')
      return ['The browser blocks this page from reaching the scanner service on this computer.',
        'Local network access is not allowed for this site. Allow it in the site settings ' +
        '(the icon left of the address), or ask your administrator to list this site in the ' +
        'LocalNetworkAccessAllowedForUrls policy, then reload the page.'];
    if (state === 'prompt')
      return ['Waiting for permission to reach the scanner service on this computer.',
        'Allow this site to access apps and devices on this device (local network access) ' +
        'when the browser asks, or press Retry.'];
    break;
  }
  if (!window.isSecureContext && !/^(127\.|\[::1\]$|localhost$)/.test(location.hostname))
    return ['The browser blocks this page from reaching the scanner service on this computer.',
      'Only secure (https) pages may reach services on this computer. Load this page over https.'];
  return ['The scanner service is not running on this computer.',
    `Nothing answered at ${service}. Start it (systemctl --user start folioray-service) and press Retry. ` +
    'If it is running, the browser may be blocking local network access for this site.'];
}

export class ScanControlElement extends HTMLElement {
  constructor() {
    super();
    this._root = this.attachShadow({ mode: 'open' });
    this._root.innerHTML = `<style>${STYLE}</style><div class="surface" part="surface"></div>` +
      '<div class="notice" part="notice" role="alert" hidden><b></b><span></span><button>Retry</button></div>';
    this._surface = this._root.querySelector('.surface');
    this._notice = this._root.querySelector('.notice');
    this._notice.querySelector('button').onclick = () => this._connect();
    this._props = {};
    this._kids = new Map();
    this._pending = new Map();
    this._nextId = 1;
    this._tpp = 15;
    this._resize = new ResizeObserver(() => this._sendSize());
    this._newReady();
  }

  // Whether the session is open; `ready` settles when that changes.
  get connected() {
    return !!this._ws && this._ws.readyState === WebSocket.OPEN;
  }

  get service() {
    return (this.getAttribute('service') || DEFAULT_SERVICE).replace(/\/+$/, '');
  }

  connectedCallback() {
    this._resize.observe(this);
    if (!this._ws) this._connect();
  }

  disconnectedCallback() {
    this._resize.disconnect();
    this._drop();
  }

  // Members -------------------------------------------------------------------------------

  get(name) {
    return this._request({ op: 'get', name }).then((v) => (this._props[name] = v));
  }

  set(name, value) {
    this._props[name] = value;
    return this._request({ op: 'set', name, value }).then(() => this.get(name)).then(() => undefined);
  }

  async _call(name, args) {
    while (args.length && args[args.length - 1] === undefined) args.pop();
    try {
      return await this._request({ op: 'call', name, args });
    } finally {
      this._refresh();
    }
  }

  // Plumbing ------------------------------------------------------------------------------

  _newReady() {
    this.ready = new Promise((resolve, reject) => (this._readyHooks = { resolve, reject }));
    this.ready.catch(() => {});
  }

  async _request(message) {
    await this.ready;
    if (!this._ws) throw new Error('not connected to the scanner service');
    const id = this._nextId++;
    return new Promise((resolve, reject) => {
      this._pending.set(id, { resolve, reject });
      this._ws.send(JSON.stringify({ id, ...message }));
    });
  }

  _send(message) {
    if (this._ws && this._ws.readyState === WebSocket.OPEN) this._ws.send(JSON.stringify(message));
  }

  _refresh() {
    return Promise.all(PROPERTIES.map((p) => this.get(p))).catch(() => {});
  }

  // One attempt at a time: a Retry click and a granted permission may come together.
  async _connect() {
    if (this._connecting) return;
    this._connecting = true;
    try {
      await this._connectOnce();
    } finally {
      this._connecting = false;
    }
  }

  async _connectOnce() {
    if (this._ws) this._drop();
    this._showNotice(null);
    const service = this.service;
    try {
      const res = await fetch(`${service}/session`, { method: 'POST', credentials: 'omit', cache: 'no-store' });
      if (!res.ok) throw Object.assign(new Error(`HTTP ${res.status}`), { status: res.status, statusText: res.statusText });
      const { ws } = await res.json();
      const socket = new WebSocket(service.replace(/^http/, 'ws') + ws);
      this._ws = socket;
      socket.onmessage = (e) => this._onMessage(JSON.parse(e.data));
      await new Promise((resolve, reject) => {
        socket.onopen = resolve;
        socket.onclose = () => reject(Object.assign(new Error('upgrade refused'), { status: 'upgrade' }));
      });
      socket.onclose = (e) => this._onClose(socket, e);
    } catch (err) {
      this._drop(err);
      if (!this.isConnected) return;
      const [what, why] = await explainFailure(service, err, () => this.isConnected && !this._ws && this._connect());
      this._showNotice(what, why);
      this.dispatchEvent(new CustomEvent('disconnected', { detail: { reason: `${what} ${why}` } }));
      return;
    }
    this._sendSize(true);
    this._readyHooks.resolve();
    await this._refresh();
    this.dispatchEvent(new CustomEvent('connected'));
  }

  // Ends the session (the service then abandons its work) and fails what waits on it.
  _drop(err = new Error('the connection to the scanner service closed')) {
    const socket = this._ws;
    this._ws = null;
    if (socket) {
      socket.onclose = null;
      socket.close();
    }
    for (const { reject } of this._pending.values()) reject(err);
    this._pending.clear();
    for (const d of this._root.querySelectorAll('dialog')) d.remove();
    this._readyHooks.reject(err);
    this._newReady();
  }

  _onClose(socket, e) {
    if (socket !== this._ws) return;
    const why = e.code === 1009 ? 'A message was too large for the service.' : 'The service stopped or was restarted.';
    this._drop(new Error(why));
    if (!this.isConnected) return;
    this._showNotice('The connection to the scanner service was lost.', `${why} Press Retry to start again.`);
    this.dispatchEvent(new CustomEvent('disconnected', { detail: { reason: why, code: e.code } }));
  }

  _showNotice(what, why) {
    this._notice.hidden = !what;
    if (!what) return;
    this._notice.querySelector('b').textContent = what;
    this._notice.querySelector('span').textContent = why;
  }

  _sendSize(force) {
    const box = this.getBoundingClientRect();
    const w = Math.round(box.width * this._tpp);
    const h = Math.round(box.height * this._tpp);
    if (!w || !h || (!force && this._sent && this._sent[0] === w && this._sent[1] === h)) return;
    this._sent = [w, h];
    this._send({ op: 'resize', width: w, height: h });
  }

  _onMessage(m) {
    if ('re' in m) {
      const p = this._pending.get(m.re);
      this._pending.delete(m.re);
      if (p) 'error' in m ? p.reject(new Error(m.error)) : p.resolve(m.value);
      return;
    }
    const handler = this[`_ev_${m.ev}`];
    if (handler) handler.call(this, m);
  }

  _answer(ask, extra) {
    this._send({ op: 'answer', ask, ...extra });
  }

  _px(tw) {
    return `${tw / this._tpp}px`;
  }

  // Service events --------------------------------------------------------------------------

  _ev_hello(m) {
    this._tpp = m.twipsPerPixel || 15;
  }

  _ev_children(m) {
    for (const k of this._kids.values()) k.node.remove();
    this._kids.clear();
    for (const rec of m.children) this._ev_child({ child: rec });
    this._ev_zorder(m);
  }

  _ev_child({ child: rec }) {
    if (UNSEEN.has(rec.kind)) return;
    let kid = this._kids.get(rec.name);
    if (!kid) {
      kid = { node: this._makeChild(rec) };
      this._kids.set(rec.name, kid);
      this._surface.append(kid.node);
    }
    kid.rec = rec;
    const n = kid.node;
    Object.assign(n.style, { left: this._px(rec.left), top: this._px(rec.top), width: this._px(rec.width), height: this._px(rec.height) });
    n.hidden = !rec.visible;
    n.title = rec.toolTip || '';
    switch (rec.kind) {
      case 'PushButton':
        n.disabled = !rec.enabled;
        n.accessKey = renderCaption(n, rec.caption || '');
        break;
      case 'PictureButton':
        n.disabled = !rec.enabled;
        n.setAttribute('aria-label', rec.toolTip || rec.name);
        if (rec.picture) n.firstChild.src = `${this.service}/icons/${encodeURIComponent(rec.picture)}.png`;
        break;
      case 'TextBox':
      case 'MultiLineTextBox':
        n.disabled = !rec.enabled;
        // While the user types, the model echoes texts already overtaken.
        if (this._root.activeElement !== n && n.value !== fromModelText(rec.caption)) n.value = fromModelText(rec.caption);
        break;
      case 'ProgressBar': {
        const span = (rec.max - rec.min) || 1;
        const frac = Math.min(1, Math.max(0, (rec.value - rec.min) / span));
        n.firstChild.style.width = `${frac * 100}%`;
        n.setAttribute('aria-valuenow', rec.value);
        break;
      }
    }
  }

  _makeChild(rec) {
    const name = rec.name;
    let n;
    switch (rec.kind) {
      case 'PushButton':
      case 'PictureButton':
        n = document.createElement('button');
        n.type = 'button';
        if (rec.kind === 'PictureButton') {
          n.className = 'pic';
          n.append(document.createElement('img'));
        }
        n.onclick = () => this._send({ op: 'click', child: name });
        break;
      case 'Preview':
        n = document.createElement('div');
        n.className = 'preview';
        n.tabIndex = 0;
        n.append(document.createElement('img'));
        n.oncontextmenu = (e) => e.preventDefault();
        n.onmousedown = (e) => {
          const button = { 0: 1, 2: 2 }[e.button];
          if (!button) return;
          const r = n.getBoundingClientRect();
          const shift = (e.shiftKey ? 1 : 0) | (e.ctrlKey ? 2 : 0) | (e.altKey ? 4 : 0);
          this._send({ op: 'mouse', child: name, button, shift,
            x: Math.round((e.clientX - r.left) * this._tpp), y: Math.round((e.clientY - r.top) * this._tpp) });
        };
        n.ondblclick = () => this._send({ op: 'activate', child: name });
        break;
      case 'TextBox':
        n = document.createElement('input');
        n.readOnly = true;
        break;
      case 'MultiLineTextBox':
        n = document.createElement('textarea');
        n.oninput = () => this._send({ op: 'text', child: name, value: n.value.replace(/\r?\n/g, '\r\n') });
        break;
      case 'ProgressBar':
        n = document.createElement('div');
        n.className = 'bar';
        n.setAttribute('role', 'progressbar');
        n.append(document.createElement('div'));
        break;
      default:
        n = document.createElement('div');
    }
    n.classList.add('kid');
    n.dataset.name = name;
    n.addEventListener('focus', () => this._send({ op: 'focus', child: name }));
    return n;
  }

  _ev_zorder({ zorder }) {
    (zorder || []).forEach((name, i) => {
      const kid = this._kids.get(name);
      if (kid) kid.node.style.zIndex = String(i + 1);
    });
  }

  _ev_extent({ width, height }) {
    this._sent = [Math.round(width), Math.round(height)];
    this.style.width = this._px(width);
    this.style.height = this._px(height);
  }

  _ev_pointer({ value }) {
    this._surface.classList.toggle('wait', value === 'hourglass');
  }

  _ev_focus({ child }) {
    const kid = this._kids.get(child);
    if (kid) kid.node.focus();
  }

  _ev_beep() {
    try {
      const ctx = new AudioContext();
      const osc = ctx.createOscillator();
      osc.connect(ctx.destination);
      osc.start();
      osc.stop(ctx.currentTime + 0.12);
      osc.onended = () => ctx.close();
    } catch {
      // No sound: nothing is lost.
    }
  }

  async _ev_preview({ url }) {
    const img = this._kids.get('Image1')?.node.querySelector('img');
    const old = this._previewUrl;
    this._previewUrl = url ? await this._fetchPicture(url) : null;
    if (img) {
      if (this._previewUrl) img.src = this._previewUrl;
      else img.removeAttribute('src');
    }
    if (old) URL.revokeObjectURL(old);
  }

  async _fetchPicture(url) {
    try {
      const res = await fetch(this.service + url, { credentials: 'omit', cache: 'no-store' });
      return res.ok ? URL.createObjectURL(await res.blob()) : null;
    } catch {
      return null;
    }
  }

  _ev_key({ msg, wParam }) {
    applyKeyMessage(focusedElement(), msg, wParam);
  }

  _ev_progress({ current, total }) {
    this.dispatchEvent(new CustomEvent('progress', { detail: { current, total } }));
  }

  _ev_ScanComplete({ ask, FileName }) {
    // Listeners run now and may assign detail.FileName; the control takes that value back.
    const detail = { FileName };
    this.dispatchEvent(new CustomEvent('ScanComplete', { detail }));
    this._answer(ask, { FileName: String(detail.FileName ?? '') });
    this._refresh();
  }

  // Modal things --------------------------------------------------------------------------

  _dialog(cls, title, answer) {
    const d = document.createElement('dialog');
    d.className = cls;
    d.innerHTML = '<header><span></span><button aria-label="Close">\u2715</button></header>';
    d.querySelector('header span').textContent = title;
    let extra = {};
    d.finish = (x) => {
      extra = x || {};
      d.close();
    };
    d.querySelector('header button').onclick = () => d.finish();
    d.addEventListener('close', () => {
      d.remove();
      if (answer) answer(extra);
    });
    this._root.append(d);
    return d;
  }

  _footer(d, buttons) {
    const f = document.createElement('footer');
    for (const [label, value] of buttons) {
      const b = document.createElement('button');
      b.accessKey = renderCaption(b, label);
      b.onclick = () => d.finish(value);
      f.append(b);
    }
    d.append(f);
    return f;
  }

  _ev_msgbox({ ask, text, title, icon }) {
    const d = this._dialog('msgbox', title, () => this._answer(ask));
    d.setAttribute('role', 'alertdialog');
    const body = document.createElement('div');
    body.className = 'body';
    body.innerHTML = '<span class="glyph" aria-hidden="true"></span><span class="text"></span>';
    const [glyph, colour] = ICON_GLYPH[icon] || [];
    if (glyph) Object.assign(body.firstChild, { textContent: glyph, style: `background: ${colour}` });
    else body.firstChild.remove();
    body.lastChild.textContent = text;
    d.append(body);
    this._footer(d, [['OK']]).firstChild.autofocus = true;
    d.showModal();
    this.dispatchEvent(new CustomEvent('messagebox', { detail: { title, text, icon } }));
  }

  _ev_popup({ ask, x, y, items }) {
    const d = this._dialog('menu', '', (extra) => this._answer(ask, extra));
    d.querySelector('header').remove();
    for (const it of items) {
      const b = document.createElement('button');
      b.disabled = !it.enabled;
      renderCaption(b, it.caption);
      b.onclick = () => d.finish({ item: it.name });
      d.append(b);
    }
    const r = (this._kids.get('Image1')?.node || this).getBoundingClientRect();
    Object.assign(d.style, { left: `${r.left + x / this._tpp}px`, top: `${r.top + y / this._tpp}px` });
    d.onclick = (e) => e.target === d && d.finish();
    d.showModal();
  }

  async _ev_detail({ ask, url, width, height }) {
    const d = this._dialog('detail', 'Full Size View', () => this._answer(ask));
    const box = document.createElement('div');
    box.className = 'pic';
    const img = document.createElement('img');
    Object.assign(img.style, { width: this._px(width), height: this._px(height) });
    box.append(img);
    d.append(box);
    d.showModal();
    const src = await this._fetchPicture(url);
    if (src) {
      img.src = src;
      d.addEventListener('close', () => URL.revokeObjectURL(src));
    }
  }

  _ev_about(m) {
    const d = this._dialog('about', m.caption, (extra) => this._answer(m.ask, extra));
    const body = document.createElement('div');
    body.className = 'body';
    for (const [tag, key] of [['h2', 'lblTitle'], ['p', 'lblVersion'], ['p', 'lblDescription'],
      ['p', 'lblDescription1'], ['small', 'lblDisclaimer']]) {
      const e = document.createElement(tag);
      e.textContent = m[key] || '';
      e.dataset.name = key;
      body.append(e);
    }
    d.append(body);
    const f = this._footer(d, [[m.cmdOK, { button: 'cmdOK' }], [m.cmdSysInfo, { button: 'cmdSysInfo' }]]);
    f.firstChild.autofocus = true;
    d.showModal();
  }
}

for (const name of PROPERTIES) {
  Object.defineProperty(ScanControlElement.prototype, name, {
    get() {
      return this._props[name];
    },
    set: READ_ONLY.has(name) ? undefined : function (value) {
      this.set(name, value).catch(() => {});
    },
  });
}
for (const name of METHODS) {
  ScanControlElement.prototype[name] = function (...args) {
    return this._call(name, args);
  };
}

if (!customElements.get('scan-control')) customElements.define('scan-control', ScanControlElement);
