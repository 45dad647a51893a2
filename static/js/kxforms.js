// Checks and requests of the settings, password and user administration pages (with
// kxrequest.js). A page lists its checks as flags; the button "bOK" is usable exactly while no
// flag has failed. Each check shows its error field while it fails. The page defines kxMessages
// with the texts of its alerts.

var kxFlags = {};

// Login: a Latin letter, then Latin letters, digits, "_" or "-", in either case.
var kxLoginPattern = /^([a-z])+[a-z0-9_-]*$/i;
// Password characters: printable ASCII but "&" and the blank, and Cyrillic a-ya in either case
// (not yo). The add-user page accepts an empty password, the other pages do not.
var kxPasswordMayBeEmpty = /^[!-%'-~\u0430-\u044f]*$/i;
var kxPasswordNotEmpty = /^[!-%'-~\u0430-\u044f]+$/i;

// windows-1251 bytes 0x80-0xBF as the characters they stand for; 0xC0-0xFF are U+0410-U+044F.
var kxCp1251High =
    '\u0402\u0403\u201a\u0453\u201e\u2026\u2020\u2021\u20ac\u2030\u0409\u2039\u040a\u040c\u040b\u040f' +
    '\u0452\u2018\u2019\u201c\u201d\u2022\u2013\u2014\u0098\u2122\u0459\u203a\u045a\u045c\u045b\u045f' +
    '\u00a0\u040e\u045e\u0408\u00a4\u0490\u00a6\u00a7\u0401\u00a9\u0404\u00ab\u00ac\u00ad\u00ae\u0407' +
    '\u00b0\u00b1\u0406\u0456\u0491\u00b5\u00b6\u00b7\u0451\u2116\u0454\u00bb\u0458\u0405\u0455\u0457';

// The windows-1251 byte of one character, or -1 when the code page lacks it.
function Cp1251Byte(c) {
  var code = c.charCodeAt(0);
  if (code < 0x80) return code;
  if (code >= 0x410 && code <= 0x44f) return code - 0x410 + 0xc0;
  var high = kxCp1251High.indexOf(c);
  return high < 0 ? -1 : 0x80 + high;
}

// A text as a form of a windows-1251 page sends it (application/x-www-form-urlencoded):
// A-Z a-z 0-9 * - . _ stay, a blank becomes "+", every other byte "%XX"; a character the code
// page lacks goes as its numeric character reference, as the browser sends it. The sign-in form
// sends the password so and the service digests it as received, so the pages that set or check a
// password send it alike; otherwise the stored digest would never match a sign-in.
function FormEncoded(text) {
  var out = '';
  for (var i = 0; i < text.length; i++) {
    var c = text.charAt(i);
    var code = text.charCodeAt(i);
    var byte = Cp1251Byte(c);
    if (/[A-Za-z0-9*._-]/.test(c)) {
      out += c;
    } else if (c == ' ') {
      out += '+';
    } else if (byte >= 0) {
      out += '%' + (byte < 16 ? '0' : '') + byte.toString(16).toUpperCase();
    } else {
      var low = text.charCodeAt(i + 1);
      if (code >= 0xd800 && code < 0xdc00 && low >= 0xdc00 && low < 0xe000) {
        code = 0x10000 + (code - 0xd800) * 0x400 + (low - 0xdc00);
        i++;
      }
      out += FormEncoded('&#' + code + ';');
    }
  }
  return out;
}

// The value of a password field, encoded for the request address.
function PasswordValue(id) {
  return FormEncoded(document.getElementById(id).value);
}

function SetButtonEnabled(enabled) {
  var button = document.getElementById('bOK');
  if (enabled) button.removeAttribute('disabled'); else button.setAttribute('disabled', 'disabled');
}

// Records one check's outcome, shows or hides its error field and updates the button.
function SetFlag(name, passed, errorField) {
  kxFlags[name] = passed;
  if (errorField) document.getElementById(errorField).style.display = passed ? 'none' : '';
  var allPassed = true;
  for (var flag in kxFlags) if (!kxFlags[flag]) allPassed = false;
  SetButtonEnabled(allPassed);
}

function CheckField(name, pattern, errorField) {
  SetFlag(name, pattern.test(document.getElementById(name).value), errorField);
}

function CheckLogin() {
  SetFlag('login', kxLoginPattern.test(document.getElementById('kx_login').value), 'loginErr');
}

// Both password fields hold the same text made of allowed characters.
function CheckPasswords(allowEmpty) {
  var first = document.getElementById('password').value;
  var second = document.getElementById('password2').value;
  var pattern = allowEmpty ? kxPasswordMayBeEmpty : kxPasswordNotEmpty;
  SetFlag('password', first == second && pattern.test(first), 'passErr');
}

// Administrators see every vehicle, so the vehicle frame is hidden for rights 2.
function ShowCarList() {
  var rights = document.getElementById('rights').value;
  document.getElementById('CarListDiv').style.display = rights == '2' ? 'none' : '';
}

// The checked vehicles of the tree frame for rights 0 and 1 ("" for rights 2); null after
// telling the user that none is checked.
function ChosenCarList() {
  if (document.getElementById('rights').value == '2') return '';
  var list = window.frames['Carlist'].GetCarList();
  if (list == '') {
    alert(kxMessages.noCars);
    return null;
  }
  return list;
}

// Shows the alert of a reply code; codes without a text are ignored.
function AlertReply(status, text) {
  if (status == 200 && kxMessages.replies[text] !== undefined) alert(kxMessages.replies[text]);
}
