// Folirex console script: the functions that the console pages call from their lists and forms.
// Written for standard browsers; every function keeps the name and arguments the pages use.

// The select-all box of a list: every check box of its form takes the box's own state.
// Boxes that are disabled (rows that may not be chosen) are left as they are.
function doCheckAll(box) {
  var items = box.form ? box.form.elements : document.getElementsByTagName('input');
  for (var i = 0; i < items.length; i++) {
    var e = items[i];
    if (e === box || e.type !== 'checkbox' || e.disabled) continue;
    e.checked = box.checked;
  }
}

// The list form that an action button belongs to. A button written in a row after the list's
// form has been closed belongs to no form; the list form is then the one holding checkaction.
function adminListForm(button) {
  if (button && button.form) return button.form;
  var names = ['delform', 'listform'];
  for (var i = 0; i < names.length; i++) {
    if (document.forms[names[i]]) return document.forms[names[i]];
  }
  for (var j = 0; j < document.forms.length; j++) {
    if (document.forms[j].elements['checkaction']) return document.forms[j];
  }
  return null;
}

// The bulk action of a list: the chosen checkaction value completes the form's address (which
// ends in "action=") and the form is posted.
function doAction(button) {
  var f = adminListForm(button);
  if (!f) return false;
  var select = f.elements['checkaction'] || document.getElementsByName('checkaction')[0];
  var value = '';
  if (select) {
    if (select.options && select.selectedIndex >= 0) {
      value = select.options[select.selectedIndex].value;
    } else {
      value = select.value;
    }
  }
  // The address as the page wrote it, kept once, so that a second click does not append twice.
  var base = f.getAttribute('data-base-action');
  if (base === null) {
    base = f.getAttribute('action') || '';
    f.setAttribute('data-base-action', base);
  }
  f.setAttribute('action', base + encodeURIComponent(value));
  f.submit();
  return false;
}

// A pop-up window of the given size, centred on the screen.
function g_OpenWindow(url, width, height) {
  var w = parseInt(width, 10) || 400;
  var h = parseInt(height, 10) || 300;
  var left = Math.max(0, Math.round((screen.availWidth - w) / 2));
  var top = Math.max(0, Math.round((screen.availHeight - h) / 2));
  var features = 'width=' + w + ',height=' + h + ',left=' + left + ',top=' + top +
      ',toolbar=no,menubar=no,scrollbars=yes,resizable=yes,location=no,status=no';
  var win = window.open(url, '', features);
  if (win) win.focus();
  return win;
}

// Display length as the server counts it: a character beyond Latin-1 counts two.
function adminTextLength(text) {
  var n = 0;
  for (var i = 0; i < text.length; i++) n += text.charCodeAt(i) > 255 ? 2 : 1;
  return n;
}

// A text field's check: false, after showing the message, when a required field is empty or
// the text is longer than the maximum; true otherwise.
function ChkText(field, maxLength, message, required) {
  if (!field) return true;
  var value = String(field.value);
  var empty = value.replace(/^\s+|\s+$/g, '') === '';
  var max = parseInt(maxLength, 10);
  if ((required && empty) || (!isNaN(max) && max > 0 && adminTextLength(value) > max)) {
    return BaseAlert(field, message);
  }
  return true;
}

// True when the value is not a whole number (an empty value is not one either).
function BASEisNotInt(value) {
  return !/^\s*\d+\s*$/.test(String(value === null || value === undefined ? '' : value));
}

// Shows the message for a field and puts the cursor there; false, so that a check can return it.
function BaseAlert(field, message) {
  alert(message);
  if (field && field.focus) {
    try {
      field.focus();
      if (field.select) field.select();
    } catch (e) {
      // A hidden field cannot take the focus; the message has been shown all the same.
    }
  }
  return false;
}
