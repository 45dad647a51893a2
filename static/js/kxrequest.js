// Asynchronous requests of the pages.

// The request object: the ActiveX forms where a browser has them, else XMLHttpRequest.
function getXmlHttp() {
  var request;
  try {
    request = new ActiveXObject('Msxml2.XMLHTTP');
  } catch (e) {
    try {
      request = new ActiveXObject('Microsoft.XMLHTTP');
    } catch (e2) {
      request = false;
    }
  }
  if (!request && typeof XMLHttpRequest != 'undefined') request = new XMLHttpRequest();
  return request;
}

// Sends a request with its parameters in the address and an empty body; onDone(status, text)
// runs when the reply has arrived.
function SendRequest(method, address, onDone) {
  var request = getXmlHttp();
  request.open(method, address, true);
  request.onreadystatechange = function () {
    if (request.readyState == 4) onDone(request.status, request.responseText);
  };
  request.send(method == 'POST' ? '' : null);
}
