// Kelmira: the console's rich-text editor, written over the browser's own editing
// (contenteditable and document.execCommand). The forms load kelmira.htm in a frame:
//   kelmira.htm?id=<hidden field>[&savepathfilename=<hidden field>]
// The editor starts from the parent's hidden field `id`, keeps it equal to the edited HTML, and
// offers getHTML() on its frame element (Kelmira1.getHTML() in the parent) and on its window.
// Every file uploaded through it is appended to the parent's `savepathfilename` field ("|"
// between addresses) and that field's change event is fired.
//
// Stored HTML that is not edited comes back exactly as stored: the editor answers the stored
// text until the first edit. Stored HTML is shown inert: scripts, frames and plug-ins stand as
// placeholders and event-handler attributes are set aside, and all of them are put back when the
// edited HTML is written out.
(function () {
  'use strict';

  var RAW_ATTR = 'data-kelmira-raw';
  var SAVED_PREFIX = 'data-kelmira-saved-';
  // Elements that would run or load something in the console page.
  var INERT_TAGS = {
    script: 1, iframe: 1, frame: 1, frameset: 1, object: 1, embed: 1, applet: 1, base: 1,
    meta: 1, link: 1, noscript: 1, template: 1,
  };
  // Attributes whose javascript: value would run.
  var URL_ATTRS = { href: 1, src: 1, action: 1, formaction: 1, data: 1, 'xlink:href': 1 };

  var params = new URLSearchParams(location.search);
  var fieldName = params.get('id') || '';
  var uploadListName = params.get('savepathfilename') || '';
  var parentDoc = null;
  try {
    parentDoc = window.parent !== window ? window.parent.document : null;
  } catch (e) {
    parentDoc = null;
  }

  var area = document.getElementById('kelmira_area');
  // Any change of the shown text, by typing, a command, a paste or a drop, is an edit (the
  // area's own attributes are the editor's: showing and hiding it is none).
  var observer = new MutationObserver(function (records) {
    for (var i = 0; i < records.length; i++) {
      if (records[i].type !== 'attributes' || records[i].target !== area) return changed();
    }
  });
  var source = document.getElementById('kelmira_source');
  var uploadField = document.kelmira.upload;

  var original = '';   // the stored HTML, answered until the first edit
  var edited = false;  // the user changed something
  var sourceView = false;
  var rawParts = [];   // outer HTML of each placeholder, by number
  var savedRange = null;

  // The parent's field of that name: in the form that holds the frame when there is one.
  function parentField(name) {
    if (!parentDoc || !name) return null;
    var frame = window.frameElement;
    var form = frame && frame.closest ? frame.closest('form') : null;
    if (form && form.elements[name] && form.elements[name].tagName) return form.elements[name];
    var byName = parentDoc.getElementsByName(name);
    if (byName.length) return byName[0];
    return parentDoc.getElementById(name);
  }

  function isJavascriptUrl(value) {
    return /^\s*(javascript|vbscript)\s*:/i.test(String(value).replace(/[\u0000-\u001f]/g, ''));
  }

  // Turns the nodes under root (of an inert document) into their shown form.
  function makeInert(root) {
    var all = root.querySelectorAll('*');
    for (var i = 0; i < all.length; i++) {
      var el = all[i];
      if (!root.contains(el)) continue;  // inside an element already set aside
      var tag = el.localName.toLowerCase();
      if (INERT_TAGS[tag]) {
        var holder = el.ownerDocument.createElement('span');
        holder.setAttribute(RAW_ATTR, String(rawParts.length));
        holder.setAttribute('contenteditable', 'false');
        holder.className = 'kelmira-raw';
        holder.textContent = '[' + tag + ']';
        rawParts.push(el.outerHTML);
        el.parentNode.replaceChild(holder, el);
        continue;
      }
      var names = [];
      for (var j = 0; j < el.attributes.length; j++) names.push(el.attributes[j].name);
      for (var k = 0; k < names.length; k++) {
        var name = names[k];
        var lower = name.toLowerCase();
        var value = el.getAttribute(name);
        if (lower.indexOf('on') === 0 || lower === 'srcdoc' ||
            (URL_ATTRS[lower] && isJavascriptUrl(value))) {
          el.setAttribute(SAVED_PREFIX + lower, value);
          el.removeAttribute(name);
        }
      }
    }
  }

  // Shows html in the editing area without running anything in it.
  function loadHtml(html) {
    rawParts = [];
    var doc = document.implementation.createHTMLDocument('');
    doc.body.innerHTML = html;
    makeInert(doc.body);
    // The nodes are moved over, not parsed a second time, so what is shown is what was checked.
    area.textContent = '';
    while (doc.body.firstChild) area.appendChild(document.adoptNode(doc.body.firstChild));
    observer.takeRecords();  // loading is no edit
  }

  // The edited HTML with placeholders and set-aside attributes put back; built in an inert
  // document, so nothing loads or runs on the way.
  function serialize() {
    var doc = document.implementation.createHTMLDocument('');
    var root = doc.importNode(area, true);
    var all = root.querySelectorAll('*');
    var markers = [];
    for (var i = 0; i < all.length; i++) {
      var el = all[i];
      if (el.hasAttribute(RAW_ATTR)) {
        var n = Number(el.getAttribute(RAW_ATTR));
        var marker = doc.createComment('kelmira-raw-' + markers.length);
        markers.push(rawParts[n] || '');
        el.parentNode.replaceChild(marker, el);
        continue;
      }
      var names = [];
      for (var j = 0; j < el.attributes.length; j++) names.push(el.attributes[j].name);
      for (var k = 0; k < names.length; k++) {
        if (names[k].indexOf(SAVED_PREFIX) === 0) {
          el.setAttribute(names[k].substring(SAVED_PREFIX.length), el.getAttribute(names[k]));
          el.removeAttribute(names[k]);
        }
      }
    }
    var html = root.innerHTML;
    for (var m = 0; m < markers.length; m++) {
      html = html.split('<!--kelmira-raw-' + m + '-->').join(markers[m]);
    }
    return html;
  }

  // Nothing a reader would see: no text and no picture, table, rule or embedded object.
  function isEmptyHtml(html) {
    if (!html) return true;
    var doc = document.implementation.createHTMLDocument('');
    doc.body.innerHTML = html;
    if (doc.body.textContent.replace(/[\s\u00a0]+/g, '') !== '') return false;
    return !doc.body.querySelector('img,table,hr,iframe,object,embed,video,audio,input,select');
  }

  function currentHtml() {
    if (!edited) return original;
    return sourceView ? source.value : serialize();
  }

  function getHTML() {
    var html = currentHtml();
    return isEmptyHtml(html) ? '' : html;
  }

  // Keeps the parent's hidden field equal to the edited HTML.
  function sync() {
    var field = parentField(fieldName);
    if (field && edited) field.value = currentHtml();
  }

  function changed() {
    edited = true;
    sync();
  }

  function rememberRange() {
    var selection = window.getSelection();
    if (selection.rangeCount && area.contains(selection.getRangeAt(0).commonAncestorContainer)) {
      savedRange = selection.getRangeAt(0).cloneRange();
    }
  }

  // Puts the caret back where it was before a prompt or a pop-up took the focus (at the end of
  // the text when it never was in the editor).
  function restoreRange() {
    area.focus();
    var selection = window.getSelection();
    selection.removeAllRanges();
    if (savedRange) {
      selection.addRange(savedRange);
    } else {
      var range = document.createRange();
      range.selectNodeContents(area);
      range.collapse(false);
      selection.addRange(range);
    }
  }

  function run(command, value) {
    if (sourceView) return;
    restoreRange();
    document.execCommand('styleWithCSS', false, false);
    document.execCommand(command, false, value === undefined ? null : value);
    rememberRange();
    // A command that changed nothing (bold at a bare caret) is no edit: the observer below
    // tells.
  }

  // Puts the node at the caret and the caret after it. The node goes in as built: inserting
  // markup through the browser's command would copy the editor's computed style onto it.
  function insertNode(node) {
    if (sourceView) return;
    restoreRange();
    var selection = window.getSelection();
    var range = selection.getRangeAt(0);
    range.deleteContents();
    range.insertNode(node);
    range.setStartAfter(node);
    range.collapse(true);
    selection.removeAllRanges();
    selection.addRange(range);
    rememberRange();
    changed();
  }

  function insertLink() {
    var url = window.prompt('\u94fe\u63a5\u5730\u5740\uff1a', 'http://');
    if (url && url !== 'http://') run('createLink', url);
  }

  function insertTable() {
    var rows = parseInt(window.prompt('\u884c\u6570\uff1a', '2'), 10);
    var cols = parseInt(window.prompt('\u5217\u6570\uff1a', '2'), 10);
    if (!(rows > 0 && cols > 0 && rows <= 100 && cols <= 30)) return;
    var table = document.createElement('table');
    table.setAttribute('border', '1');
    table.setAttribute('cellspacing', '0');
    table.setAttribute('cellpadding', '3');
    for (var r = 0; r < rows; r++) {
      var row = table.insertRow(-1);
      for (var c = 0; c < cols; c++) row.insertCell(-1).innerHTML = '&nbsp;';
    }
    insertNode(table);
  }

  // The upload pop-up: an article form's editor stores into the channel's upload folder, any
  // other into the site's Uploads folder.
  function openUpload() {
    var channelId = '';
    try {
      channelId = new URLSearchParams(window.parent.location.search).get('channelid') || '';
    } catch (e) {
      channelId = '';
    }
    var query = uploadListName && /^\d+$/.test(channelId)
        ? 'channelid=' + channelId + '&type=article&lm=article'
        : 'type=image&lm=web';
    uploadField.value = '';
    window.open('../admin.asp?m=uploadfile&' + query + '&field=kelmira.upload', '',
        'width=350,height=50,left=200,top=200,resizable=yes,scrollbars=no,status=no');
  }

  // The pop-up wrote an uploaded file's address into kelmira.upload.
  function uploaded() {
    var url = uploadField.value;
    if (!url) return;
    uploadField.value = '';
    if (sourceView) toggleSource();
    var node;
    if (/\.(gif|jpe?g|png|bmp|webp)$/i.test(url)) {
      node = document.createElement('img');
      node.setAttribute('src', url);
      node.setAttribute('border', '0');
    } else {
      node = document.createElement('a');
      node.setAttribute('href', url);
      node.textContent = url;
    }
    insertNode(node);
    var list = parentField(uploadListName);
    if (list) {
      list.value = list.value ? list.value + '|' + url : url;
      list.dispatchEvent(new Event('change', { bubbles: true }));
    }
  }

  function toggleSource() {
    if (!sourceView) {
      source.value = currentHtml();
      area.style.display = 'none';
      source.style.display = '';
      sourceView = true;
    } else {
      if (edited) loadHtml(source.value);
      else loadHtml(original);
      source.style.display = 'none';
      area.style.display = '';
      sourceView = false;
      sync();
    }
  }

  var actions = {
    bold: function () { run('bold'); },
    italic: function () { run('italic'); },
    underline: function () { run('underline'); },
    left: function () { run('justifyLeft'); },
    center: function () { run('justifyCenter'); },
    right: function () { run('justifyRight'); },
    ol: function () { run('insertOrderedList'); },
    ul: function () { run('insertUnorderedList'); },
    link: insertLink,
    image: openUpload,
    table: insertTable,
    source: toggleSource,
  };

  var buttons = document.querySelectorAll('#kelmira_toolbar [data-action]');
  for (var b = 0; b < buttons.length; b++) {
    // The editing area keeps its selection: a button never takes the focus.
    buttons[b].addEventListener('mousedown', function (event) {
      event.preventDefault();
      rememberRange();
    });
    buttons[b].addEventListener('click', function (event) {
      var action = actions[event.currentTarget.getAttribute('data-action')];
      if (action) action();
    });
  }
  var colour = document.getElementById('kelmira_colour');
  colour.addEventListener('mousedown', rememberRange);
  colour.addEventListener('change', function () {
    if (colour.value) run('foreColor', colour.value);
    colour.selectedIndex = 0;
  });

  area.addEventListener('input', changed);
  area.addEventListener('keyup', rememberRange);
  area.addEventListener('mouseup', rememberRange);
  source.addEventListener('input', changed);
  uploadField.addEventListener('change', uploaded);

  var field = parentField(fieldName);
  original = field ? field.value : '';
  loadHtml(original);
  observer.observe(area, { childList: true, subtree: true, characterData: true, attributes: true });

  window.getHTML = getHTML;
  if (window.frameElement) window.frameElement.getHTML = getHTML;
})();
