// Folirex console: the on-screen keyboard of the login page. The file is plain ASCII (labels
// written as \u escapes), so it reads the same whatever code page it is served in. When the site asks for it, the
// password field is read-only and its focus handler runs
//   password1=this;showkeyboard();this.readOnly=1;Calc.password.value=''
// so the page relies on: the global password1 (the field the keyboard fills), showkeyboard()
// (opens the keyboard), and a form named Calc whose field password holds what has been typed
// on the keyboard since the field last took the focus. Each key press writes that text into
// password1.

var password1 = null;
var softkeyCaps = false;

var softkeyRows = [
  '1234567890',
  'qwertyuiop',
  'asdfghjkl',
  'zxcvbnm',
  '~!@#$%^&*()',
  '-_=+[]{}\\|',
  ';:,.<>/?`'
];

function softkeyLabel(ch) {
  return softkeyCaps ? ch.toUpperCase() : ch;
}

function softkeyButton(label, title, handler, width) {
  var b = document.createElement('input');
  b.type = 'button';
  b.setAttribute('value', label);
  b.title = title;
  b.className = 'softkey';
  b.style.cssText = 'margin:1px;padding:0;height:24px;min-width:' + (width || 24) + 'px;' +
      'font:12px monospace;border:1px solid #7d92d6;background:#f4f6fe;cursor:pointer;';
  // The password field keeps the focus while keys are clicked, so its focus handler does not
  // start the entry again in the middle of typing.
  b.onmousedown = function (e) { e.preventDefault(); return false; };
  b.onclick = handler;
  return b;
}

function softkeyInit() {
  if (document.getElementById('softkeyboard')) return;
  var box = document.createElement('div');
  box.id = 'softkeyboard';
  box.style.cssText = 'position:absolute;z-index:1000;display:none;padding:6px;' +
      'background:#e3e8fa;border:1px solid #2f4fa8;box-shadow:2px 2px 6px rgba(0,0,0,.3);' +
      'font-size:12px;text-align:center;';

  var form = document.createElement('form');
  form.name = 'Calc';
  form.id = 'Calc';
  form.style.margin = '0';
  form.onsubmit = function () { return false; };

  var title = document.createElement('div');
  title.style.cssText = 'text-align:left;color:#24408f;font-weight:bold;margin-bottom:4px;';
  title.appendChild(document.createTextNode('\u8f6f\u952e\u76d8 '));
  var shown = document.createElement('input');
  shown.type = 'password';
  shown.name = 'password';
  shown.readOnly = true;
  shown.tabIndex = -1;
  shown.style.cssText = 'width:150px;border:1px solid #7d92d6;';
  title.appendChild(shown);
  form.appendChild(title);

  for (var r = 0; r < softkeyRows.length; r++) {
    var row = document.createElement('div');
    var keys = softkeyRows[r];
    for (var i = 0; i < keys.length; i++) {
      var ch = keys.charAt(i);
      var key = softkeyButton(softkeyLabel(ch), ch, softkeyPressKey);
      key.setAttribute('data-key', ch);
      row.appendChild(key);
    }
    form.appendChild(row);
  }

  var controls = document.createElement('div');
  controls.style.marginTop = '3px';
  controls.appendChild(softkeyButton('\u5927\u5c0f\u5199', 'Caps Lock', softkeyToggleCaps, 56));
  controls.appendChild(softkeyButton('\u9000\u683c', 'Backspace', softkeyBackspace, 48));
  controls.appendChild(softkeyButton('\u6e05\u7a7a', 'Clear', softkeyClear, 48));
  controls.appendChild(softkeyButton('\u786e\u5b9a', 'OK', hidekeyboard, 48));
  form.appendChild(controls);

  box.appendChild(form);
  document.body.appendChild(box);
}

function softkeySet(text) {
  var form = document.forms['Calc'];
  form.elements['password'].value = text;
  if (password1) password1.value = text;
}

function softkeyPressKey() {
  var form = document.forms['Calc'];
  softkeySet(form.elements['password'].value + softkeyLabel(this.getAttribute('data-key')));
}

function softkeyBackspace() {
  var value = document.forms['Calc'].elements['password'].value;
  softkeySet(value.substring(0, value.length - 1));
}

function softkeyClear() {
  softkeySet('');
}

function softkeyToggleCaps() {
  softkeyCaps = !softkeyCaps;
  var keys = document.getElementById('softkeyboard').getElementsByTagName('input');
  for (var i = 0; i < keys.length; i++) {
    var ch = keys[i].getAttribute('data-key');
    if (ch) keys[i].setAttribute('value', softkeyLabel(ch));
  }
}

function showkeyboard() {
  softkeyInit();
  var box = document.getElementById('softkeyboard');
  var left = 0;
  var top = 0;
  if (password1 && password1.getBoundingClientRect) {
    var rect = password1.getBoundingClientRect();
    left = rect.left + window.pageXOffset;
    top = rect.bottom + window.pageYOffset + 4;
  }
  box.style.left = left + 'px';
  box.style.top = top + 'px';
  box.style.display = 'block';
}

function hidekeyboard() {
  var box = document.getElementById('softkeyboard');
  if (box) box.style.display = 'none';
  // The next click on the field must be a new focus, so that it opens the keyboard again.
  if (password1 && document.activeElement === password1) password1.blur();
}
