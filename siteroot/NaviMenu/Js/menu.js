// Folirex navigation menu: turns the hidden nested list <ul id="menu"> that a channel's
// Js/default.js writes into a drop-down menu bar. A sub-menu opens while the pointer rests on its
// item (hover) and opens when its item is clicked (a tap or a key opens and closes it); the Escape key and a click
// elsewhere close every open sub-menu. Written for current browsers (no old-browser events).
(function () {
  'use strict';

  var OPEN = 'navimenu-open';
  var PARENT = 'navimenu-parent';

  function hasClass(node, name) {
    return (' ' + node.className + ' ').indexOf(' ' + name + ' ') >= 0;
  }
  function addClass(node, name) {
    if (!hasClass(node, name)) node.className = (node.className ? node.className + ' ' : '') + name;
  }
  function removeClass(node, name) {
    node.className = (' ' + node.className + ' ').replace(' ' + name + ' ', ' ').trim();
  }
  function childList(item) {
    for (var n = item.firstElementChild; n; n = n.nextElementSibling) {
      if (n.tagName === 'UL') return n;
    }
    return null;
  }

  function closeWithin(root, keep) {
    var open = root.querySelectorAll('li.' + OPEN);
    for (var i = 0; i < open.length; i++) {
      if (!keep || !open[i].contains(keep)) {
        removeClass(open[i], OPEN);
        open[i].setAttribute('aria-expanded', 'false');
      }
    }
  }

  function open(root, item) {
    closeWithin(root, item);
    addClass(item, OPEN);
    item.setAttribute('aria-expanded', 'true');
  }

  function close(item) {
    removeClass(item, OPEN);
    item.setAttribute('aria-expanded', 'false');
    closeWithin(item, null);
  }

  function setUp(root) {
    if (root.getAttribute('data-navimenu')) return;
    root.setAttribute('data-navimenu', '1');
    addClass(root, 'navimenu');
    root.setAttribute('role', 'menubar');
    var items = root.getElementsByTagName('li');
    for (var i = 0; i < items.length; i++) {
      (function (item) {
        var sub = childList(item);
        if (!sub) return;
        addClass(item, PARENT);
        item.setAttribute('aria-haspopup', 'true');
        item.setAttribute('aria-expanded', 'false');
        item.addEventListener('mouseenter', function () { open(root, item); });
        item.addEventListener('mouseleave', function () { close(item); });
        item.addEventListener('click', function (event) {
          // Only a click on this item's own label, not inside its sub-menu.
          if (sub.contains(event.target)) return;
          var link = event.target.closest('a');
          if (link) {
            // The link of an open item is followed; a closed item's first click opens it.
            if (hasClass(item, OPEN)) return;
            event.preventDefault();
            open(root, item);
          } else if (event.pointerType === 'mouse' || !hasClass(item, OPEN)) {
            // A mouse has opened the item by hovering already: its click keeps it open.
            open(root, item);
          } else {
            close(item);
          }
        });
      })(items[i]);
    }
    document.addEventListener('click', function (event) {
      if (!root.contains(event.target)) closeWithin(root, null);
    });
    document.addEventListener('keydown', function (event) {
      if (event.key === 'Escape') closeWithin(root, null);
    });
    root.style.display = '';
  }

  function start() {
    var root = document.getElementById('menu');
    if (root && root.tagName === 'UL') setUp(root);
  }

  if (document.readyState === 'loading') {
    document.addEventListener('DOMContentLoaded', start);
  } else {
    start();
  }
})();
