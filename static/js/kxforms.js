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
