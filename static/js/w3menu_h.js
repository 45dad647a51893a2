// Horizontal menu bar with drop-downs.
//
//   w3mh = new w3menu_h('w3mh', 'w3mh_box', 200);
//
// The box is a table whose first row holds one cell per menu item. A cell that holds a division
// with a link and a table of class "w3mh_b" is a drop-down: the table opens under the cell while
// the pointer is over it or after a click on its link, at least `width` pixels wide, and closes
// when the pointer leaves, on Escape, or on a click elsewhere.
function w3menu_h(name, boxId, width) {
  this.name = name;
  this.box = document.getElementById(boxId);
  this.width = width;
  this.items = [];
  if (!this.box) return;
  var row = this.box.rows[0];
  if (!row) return;
  for (var i = 0; i < row.cells.length; i++) this.attach(row.cells[i]);
  var menu = this;
  document.addEventListener('click', function (event) {
    for (var j = 0; j < menu.items.length; j++) {
      if (!menu.items[j].cell.contains(event.target)) menu.close(menu.items[j]);
    }
  });
  document.addEventListener('keydown', function (event) {
    if (event.key === 'Escape') menu.closeAll();
  });
}

w3menu_h.prototype.attach = function (cell) {
  var division = cell.querySelector('div');
  var list = division && division.querySelector('table.w3mh_b');
  var link = division && division.querySelector('a');
  if (!list || !link) return;
  var item = { cell: cell, list: list, link: link, timer: 0 };
  this.items.push(item);
  cell.className += ' w3mh_drop';
  division.style.position = 'relative';
  list.style.minWidth = this.width + 'px';
  list.style.display = 'none';
  var menu = this;
  cell.addEventListener('mouseenter', function () { menu.open(item); });
  cell.addEventListener('mouseleave', function () {
    item.timer = setTimeout(function () { menu.close(item); }, 200);
  });
  link.addEventListener('click', function (event) {
    event.preventDefault();
    if (item.list.style.display === 'none') menu.open(item); else menu.close(item);
  });
};

w3menu_h.prototype.open = function (item) {
  clearTimeout(item.timer);
  this.closeAll(item);
  item.list.style.display = 'table';
  item.cell.className += ' w3mh_open';
};

w3menu_h.prototype.close = function (item) {
  clearTimeout(item.timer);
  item.list.style.display = 'none';
  item.cell.className = item.cell.className.replace(/ w3mh_open/g, '');
};

w3menu_h.prototype.closeAll = function (except) {
  for (var i = 0; i < this.items.length; i++) {
    if (this.items[i] !== except) this.close(this.items[i]);
  }
};
