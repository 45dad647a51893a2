// Vehicle tree for the pages: a tree of nodes written into the document as HTML.
//
//   d = new dTree('d');                       // the global variable that holds the tree
//   d.add(id, parentId, text, checkBox, action, device);
//   document.write(d);                        // the tree's text form
//
// Node 0 is the root (parent -1). A node whose check-box flag is true (or -1) shows a check box
// inside the page's form: a vehicle node (one with a device number) names it "chb" + device and
// gives it the device number as its value; a node without a device number gets a check box that
// checks or clears the boxes below it. Without the flag, a click on a node runs its action, a
// script text such as "window.parent.CarSelect(12)". Texts are written as text, never as markup.
function dTree(objName) {
  this.obj = objName;
  this.nodes = [];
  this.byId = {};
}

dTree.escapeHtml = function (text) {
  return String(text).replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;')
      .replace(/"/g, '&quot;').replace(/'/g, '&#39;');
};

dTree.prototype.add = function (id, pid, name, checkBox, action, device) {
  var node = {
    id: id, pid: pid, name: name, checkBox: checkBox === true || checkBox === -1,
    action: action, device: device, children: [], open: true
  };
  this.nodes.push(node);
  this.byId[id] = node;
};

// Links every node to its parent; nodes whose parent is unknown hang from the root.
dTree.prototype.link = function () {
  var roots = [];
  for (var i = 0; i < this.nodes.length; i++) {
    var node = this.nodes[i];
    node.children = [];
    node.index = i;
  }
  for (var j = 0; j < this.nodes.length; j++) {
    var n = this.nodes[j];
    var parent = n.pid === -1 ? null : this.byId[n.pid];
    if (parent && parent !== n) parent.children.push(n); else roots.push(n);
  }
  return roots;
};

dTree.prototype.nodeHtml = function (node, isRoot) {
  var hasChildren = node.children.length > 0;
  var html = '<div class="dTreeNode' + (isRoot ? ' dTreeRoot' : '') + '" id="' + this.obj + 'n' +
      node.index + '">';
  if (hasChildren && !isRoot) {
    html += '<a href="#" class="dTreeToggle' + (node.open ? ' open' : '') + '" onclick="' +
        this.obj + '.o(' + node.index + '); return false;" aria-label="+/-"></a>';
  } else if (!isRoot) {
    html += '<span class="dTreeLeaf"></span>';
  }
  var text = dTree.escapeHtml(node.name);
  if (node.checkBox) {
    var boxId = this.obj + 'cb' + node.index;
    if (node.device !== undefined) {
      var device = dTree.escapeHtml(node.device);
      html += '<input type="checkbox" class="dTreeBox" id="' + boxId + '" name="chb' + device +
          '" value="' + device + '" />';
    } else {
      html += '<input type="checkbox" class="dTreeBox" id="' + boxId + '" value="undefined" ' +
          'onclick="' + this.obj + '.checkBranch(' + node.index + ', this.checked);" />';
    }
    html += '<label class="node' + (hasChildren ? ' group' : '') + '" for="' + boxId + '">' +
        text + '</label>';
  } else if (isRoot) {
    html += '<span class="node root">' + text + '</span>';
  } else {
    html += '<a href="#" class="node' + (hasChildren ? ' group' : '') + '" onclick="' + this.obj +
        '.s(' + node.index + '); return false;">' + text + '</a>';
  }
  if (hasChildren) {
    html += '<div class="clip" id="' + this.obj + 'c' + node.index + '" style="display:' +
        (node.open || isRoot ? 'block' : 'none') + '">';
    for (var i = 0; i < node.children.length; i++) html += this.nodeHtml(node.children[i], false);
    html += '</div>';
  }
  return html + '</div>';
};

dTree.prototype.toString = function () {
  var roots = this.link();
  var html = '<div class="dtree-body">';
  for (var i = 0; i < roots.length; i++) html += this.nodeHtml(roots[i], roots[i].pid === -1);
  return html + '</div>';
};

// Runs a node's action (a click on it).
dTree.prototype.s = function (index) {
  var node = this.nodes[index];
  var links = document.querySelectorAll('.dtree a.node.selected');
  for (var i = 0; i < links.length; i++) links[i].className = links[i].className.replace(' selected', '');
  var element = document.getElementById(this.obj + 'n' + index);
  if (element) {
    var link = element.querySelector('a.node');
    if (link) link.className += ' selected';
  }
  if (node.action && node.action !== 'this') (new Function(node.action))();
};

// Opens or closes one node.
dTree.prototype.o = function (index) {
  this.setOpen(this.nodes[index], !this.nodes[index].open);
};

dTree.prototype.setOpen = function (node, open) {
  node.open = open;
  var clip = document.getElementById(this.obj + 'c' + node.index);
  if (clip) clip.style.display = open ? 'block' : 'none';
  var element = document.getElementById(this.obj + 'n' + node.index);
  var toggle = element && element.querySelector('.dTreeToggle');
  if (toggle) toggle.className = 'dTreeToggle' + (open ? ' open' : '');
};

dTree.prototype.all = function (open) {
  for (var i = 0; i < this.nodes.length; i++) {
    if (this.nodes[i].children.length > 0 && this.nodes[i].pid !== -1) this.setOpen(this.nodes[i], open);
  }
};

dTree.prototype.openAll = function () { this.all(true); };
dTree.prototype.closeAll = function () { this.all(false); };

// Checks or clears every check box below a node.
dTree.prototype.checkBranch = function (index, state) {
  var element = document.getElementById(this.obj + 'n' + index);
  if (!element) return;
  var boxes = element.querySelectorAll('input[type=checkbox]');
  for (var i = 0; i < boxes.length; i++) boxes[i].checked = state;
};
