// Pop-up calendar with time selection for the date fields of the pages.
//
//   var cal = Calendar.setup({
//     inputField: 'BeginDate', trigger: 'BeginDate', dateFormat: '%d.%m.%Y %k:%M',
//     showTime: 24, weekNumbers: false, bottomBar: true,
//     onSelect: function () { ... this.selection.get() ... this.hide(); }
//   });
//
// A click on the trigger opens the calendar under the input field. Choosing a day writes the
// date with the chosen time into the field and calls onSelect with the calendar as `this`;
// changing the time rewrites the field. `args.min` and `args.max` (Date or yyyymmdd number)
// limit the days that can be chosen; change them and call redraw(). Days are numbers yyyymmdd:
// Calendar.dateToInt and Calendar.intToDate convert, Calendar.parseDate reads a field's text
// (day.month.year hour:minute) back into a Date and Calendar.printDate formats one.
(function (global) {
  'use strict';

  var DAY_MS = 86400000;

  function pad(n) { return n < 10 ? '0' + n : String(n); }

  function Calendar(args) {
    this.args = {
      inputField: null, trigger: null, dateFormat: '%Y-%m-%d', showTime: false,
      weekNumbers: false, bottomBar: true, onSelect: null, onTimeChange: null,
      min: null, max: null, fdow: null, minuteStep: 1, selection: null
    };
    for (var key in args) if (Object.prototype.hasOwnProperty.call(args, key)) this.args[key] = args[key];
    var now = new Date();
    this.hours = now.getHours();
    this.minutes = now.getMinutes() - now.getMinutes() % this.args.minuteStep;
    this.shown = new Date(now.getFullYear(), now.getMonth(), 1);
    this.selected = null;
    this.element = null;
    var cal = this;
    this.selection = {
      get: function () { return cal.selected; },
      set: function (day) {
        cal.selected = day === null || day === undefined ? null : Calendar.dateToInt(day);
        if (cal.selected !== null) cal.moveTo(Calendar.intToDate(cal.selected));
        cal.redraw();
      },
      clear: function () { cal.selected = null; cal.redraw(); },
      getFirstDate: function () { return cal.selected; }
    };
    if (this.args.selection) this.selection.set(this.args.selection);
    this.attachTrigger();
  }

  Calendar.I18N = {};
  Calendar.lang = null;

  Calendar.LANG = function (id, name, data) {
    data.id = id;
    data.name = name;
    Calendar.I18N[id] = data;
    Calendar.lang = id;
  };

  Calendar.text = function () {
    return Calendar.I18N[Calendar.lang] || {
      fdow: 0, goToday: 'Today', today: 'Today', time: 'Time:',
      mn: ['January', 'February', 'March', 'April', 'May', 'June', 'July', 'August',
           'September', 'October', 'November', 'December'],
      sdn: ['Su', 'Mo', 'Tu', 'We', 'Th', 'Fr', 'Sa'], weekend: '0,6'
    };
  };

  Calendar.setup = function (args) { return new Calendar(args); };

  Calendar.dateToInt = function (date) {
    if (typeof date === 'number') return date;
    return date.getFullYear() * 10000 + (date.getMonth() + 1) * 100 + date.getDate();
  };

  Calendar.intToDate = function (value, hours, minutes) {
    if (value instanceof Date) return new Date(value.getFullYear(), value.getMonth(), value.getDate(), hours || 0, minutes || 0);
    var n = Number(value);
    return new Date(Math.floor(n / 10000), Math.floor(n / 100) % 100 - 1, n % 100, hours || 0, minutes || 0);
  };

  // Reads "day.month.year hour:minute" (month first when monthFirst is true); a missing time is
  // midnight. Returns null for text that is no such date.
  Calendar.parseDate = function (text, monthFirst) {
    var m = /^\s*(\d{1,2})[.\/-](\d{1,2})[.\/-](\d{2,4})(?:[\s_]+(\d{1,2}):(\d{2})(?::(\d{2}))?)?\s*$/.exec(String(text));
    if (!m) return null;
    var day = Number(monthFirst ? m[2] : m[1]);
    var month = Number(monthFirst ? m[1] : m[2]);
    var year = Number(m[3]);
    if (year < 100) year += 2000;
    var date = new Date(year, month - 1, day, Number(m[4] || 0), Number(m[5] || 0), Number(m[6] || 0));
    if (date.getDate() !== day || date.getMonth() !== month - 1) return null;
    return date;
  };

  Calendar.printDate = function (date, format) {
    var text = Calendar.text();
    var map = {
      d: pad(date.getDate()), e: String(date.getDate()), m: pad(date.getMonth() + 1),
      Y: String(date.getFullYear()), y: pad(date.getFullYear() % 100), H: pad(date.getHours()),
      k: String(date.getHours()), M: pad(date.getMinutes()), S: pad(date.getSeconds()),
      B: text.mn[date.getMonth()], '%': '%'
    };
    return format.replace(/%([a-zA-Z%])/g, function (all, code) {
      return Object.prototype.hasOwnProperty.call(map, code) ? map[code] : all;
    });
  };

  function limit(value) {
    if (value === null || value === undefined) return null;
    return Calendar.dateToInt(value);
  }

  Calendar.prototype.isAllowed = function (day) {
    var min = limit(this.args.min), max = limit(this.args.max);
    return (min === null || day >= min) && (max === null || day <= max);
  };

  Calendar.prototype.input = function () {
    return typeof this.args.inputField === 'string' ? document.getElementById(this.args.inputField) : this.args.inputField;
  };

  Calendar.prototype.attachTrigger = function () {
    var trigger = typeof this.args.trigger === 'string' ? document.getElementById(this.args.trigger) : this.args.trigger;
    if (!trigger) return;
    var cal = this;
    trigger.addEventListener('click', function (event) {
      event.stopPropagation();
      if (cal.element && cal.element.style.display !== 'none') cal.hide(); else cal.popup(trigger);
    });
  };

  Calendar.prototype.moveTo = function (date) {
    this.shown = new Date(date.getFullYear(), date.getMonth(), 1);
    this.redraw();
  };

  Calendar.prototype.popup = function (anchor) {
    if (!this.element) this.build();
    Calendar.closeOthers(this);
    var box = (anchor || this.input()).getBoundingClientRect();
    this.element.style.left = Math.round(box.left + window.scrollX) + 'px';
    this.element.style.top = Math.round(box.bottom + window.scrollY + 4) + 'px';
    this.element.style.display = 'block';
    if (this.selected === null) {
      var min = limit(this.args.min);
      if (min !== null && Calendar.dateToInt(new Date()) < min) this.moveTo(Calendar.intToDate(min));
    }
    this.redraw();
  };

  Calendar.prototype.show = Calendar.prototype.popup;

  Calendar.prototype.hide = function () {
    if (this.element) this.element.style.display = 'none';
  };

  Calendar.all = [];
  Calendar.closeOthers = function (keep) {
    for (var i = 0; i < Calendar.all.length; i++) if (Calendar.all[i] !== keep) Calendar.all[i].hide();
  };

  Calendar.prototype.build = function () {
    var cal = this;
    var element = document.createElement('div');
    element.className = 'DynarchCalendar';
    element.style.display = 'none';
    element.addEventListener('click', function (event) { event.stopPropagation(); });
    document.body.appendChild(element);
    document.addEventListener('click', function () { cal.hide(); });
    document.addEventListener('keydown', function (event) { if (event.key === 'Escape') cal.hide(); });
    this.element = element;
    Calendar.all.push(this);
  };

  Calendar.prototype.timeHtml = function () {
    var text = Calendar.text();
    var html = '<div class="DynarchCalendar-time"><span>' + (text.time || '') + '</span> <select class="DynarchCalendar-hour">';
    for (var h = 0; h < 24; h++) html += '<option value="' + h + '"' + (h === this.hours ? ' selected' : '') + '>' + pad(h) + '</option>';
    html += '</select>:<select class="DynarchCalendar-minute">';
    for (var m = 0; m < 60; m += this.args.minuteStep) html += '<option value="' + m + '"' + (m === this.minutes ? ' selected' : '') + '>' + pad(m) + '</option>';
    return html + '</select></div>';
  };

  Calendar.prototype.gridHtml = function () {
    var text = Calendar.text();
    var fdow = this.args.fdow === null ? (text.fdow || 0) : this.args.fdow;
    var weekend = String(text.weekend || '0,6');
    var first = this.shown;
    var start = new Date(first.getFullYear(), first.getMonth(), 1 - ((first.getDay() - fdow + 7) % 7));
    var today = Calendar.dateToInt(new Date());
    var html = '<table class="DynarchCalendar-dayNames"><tr>';
    if (this.args.weekNumbers) html += '<th class="DynarchCalendar-wk">' + (text.wk || 'wk') + '</th>';
    for (var d = 0; d < 7; d++) html += '<th>' + text.sdn[(d + fdow) % 7] + '</th>';
    html += '</tr>';
    for (var week = 0; week < 6; week++) {
      html += '<tr>';
      if (this.args.weekNumbers) html += '<td class="DynarchCalendar-wk"></td>';
      for (var i = 0; i < 7; i++) {
        var day = new Date(start.getFullYear(), start.getMonth(), start.getDate() + week * 7 + i);
        var value = Calendar.dateToInt(day);
        var classes = ['DynarchCalendar-day'];
        if (day.getMonth() !== first.getMonth()) classes.push('DynarchCalendar-day-othermonth');
        if (weekend.indexOf(String(day.getDay())) >= 0) classes.push('DynarchCalendar-weekend');
        if (value === today) classes.push('DynarchCalendar-day-today');
        if (value === this.selected) classes.push('DynarchCalendar-day-selected');
        if (!this.isAllowed(value)) classes.push('DynarchCalendar-day-disabled');
        html += '<td class="' + classes.join(' ') + '" data-date="' + value + '">' + day.getDate() + '</td>';
      }
      html += '</tr>';
    }
    return html + '</table>';
  };

  Calendar.prototype.redraw = function () {
    if (!this.element) return;
    var text = Calendar.text();
    var html = '<div class="DynarchCalendar-topBar"><a href="#" class="DynarchCalendar-nav" data-step="-1">&#8249;</a>' +
        '<div class="DynarchCalendar-title">' + text.mn[this.shown.getMonth()] + ' ' + this.shown.getFullYear() + '</div>' +
        '<a href="#" class="DynarchCalendar-nav" data-step="1">&#8250;</a></div>' + this.gridHtml();
    if (this.args.showTime) html += this.timeHtml();
    if (this.args.bottomBar) html += '<div class="DynarchCalendar-bottomBar"><a href="#" class="DynarchCalendar-bottomBar-today">' + text.goToday + '</a></div>';
    this.element.innerHTML = html;
    this.bindControls();
  };

  Calendar.prototype.bindControls = function () {
    var cal = this;
    var navs = this.element.querySelectorAll('.DynarchCalendar-nav');
    for (var i = 0; i < navs.length; i++) {
      navs[i].addEventListener('click', function (event) {
        event.preventDefault();
        var step = Number(this.getAttribute('data-step'));
        cal.moveTo(new Date(cal.shown.getFullYear(), cal.shown.getMonth() + step, 1));
      });
    }
    var days = this.element.querySelectorAll('.DynarchCalendar-day');
    for (var j = 0; j < days.length; j++) {
      days[j].addEventListener('click', function () {
        var value = Number(this.getAttribute('data-date'));
        if (cal.isAllowed(value)) cal.choose(value);
      });
    }
    var hour = this.element.querySelector('.DynarchCalendar-hour');
    var minute = this.element.querySelector('.DynarchCalendar-minute');
    if (hour) hour.addEventListener('change', function () { cal.setTime(Number(hour.value), cal.minutes); });
    if (minute) minute.addEventListener('change', function () { cal.setTime(cal.hours, Number(minute.value)); });
    var today = this.element.querySelector('.DynarchCalendar-bottomBar-today');
    if (today) {
      today.addEventListener('click', function (event) {
        event.preventDefault();
        var value = Calendar.dateToInt(new Date());
        if (cal.isAllowed(value)) cal.choose(value); else cal.moveTo(new Date());
      });
    }
  };

  Calendar.prototype.writeInput = function () {
    var input = this.input();
    if (!input || this.selected === null) return;
    input.value = Calendar.printDate(Calendar.intToDate(this.selected, this.args.showTime ? this.hours : 0, this.args.showTime ? this.minutes : 0), this.args.dateFormat);
  };

  Calendar.prototype.choose = function (value) {
    this.selected = value;
    this.writeInput();
    this.redraw();
    if (this.args.onSelect) this.args.onSelect.call(this, this);
  };

  Calendar.prototype.setTime = function (hours, minutes) {
    this.hours = hours;
    this.minutes = minutes;
    var input = this.input();
    if (input && input.value !== '') this.writeInput();
    if (this.args.onTimeChange) this.args.onTimeChange.call(this, hours * 100 + minutes);
  };

  Calendar.prototype.getHours = function () { return this.hours; };
  Calendar.prototype.getMinutes = function () { return this.minutes; };

  Calendar.DAY_MS = DAY_MS;
  global.Calendar = Calendar;
})(window);
