// Draws a map archive (KMZ) of the service on a Google map: fetches the archive from the same
// origin, takes the KML out of it, converts it to GeoJSON (toGeoJSON, installed next to this
// file) and draws points with their names and descriptions and tracks as lines.
//
//   KxMap.load(map, kmlAddress, onReady)
//
// kmlAddress is the address the service answered (its query names the archive in the service's
// kml folder); the archive is always fetched from this origin. onReady(bounds) runs after
// drawing, with the bounds of everything drawn (null when nothing was), so that the caller can fit
// the view. Errors reach onError(message).
var KxMap = (function () {
  'use strict';

  var LOCAL_HEADER = 0x04034b50;
  var CENTRAL_HEADER = 0x02014b50;
  var END_OF_CENTRAL = 0x06054b50;
  var TRACK_COLOR = '#1a5fd0';

  // The archive's address on this origin: "/kxserver/kml?" and the query of the given address.
  function archivePath(address) {
    var query = String(address).indexOf('?');
    return '/kxserver/kml?' + (query < 0 ? '' : String(address).substring(query + 1));
  }

  // Finds the first entry of a ZIP archive: method, compressed size and where its data starts.
  // The central directory is preferred (its sizes are always right); the local header serves
  // when there is none.
  function firstEntry(view) {
    var entry = null;
    for (var end = view.byteLength - 22; end >= 0 && end >= view.byteLength - 65557; end--) {
      if (view.getUint32(end, true) !== END_OF_CENTRAL) continue;
      var central = view.getUint32(end + 16, true);
      if (central + 46 <= view.byteLength && view.getUint32(central, true) === CENTRAL_HEADER) {
        entry = {
          method: view.getUint16(central + 10, true),
          size: view.getUint32(central + 20, true),
          local: view.getUint32(central + 42, true)
        };
      }
      break;
    }
    var local = entry ? entry.local : 0;
    if (local + 30 > view.byteLength || view.getUint32(local, true) !== LOCAL_HEADER) {
      throw new Error('not a ZIP archive');
    }
    if (!entry) {
      entry = { method: view.getUint16(local + 8, true), size: view.getUint32(local + 18, true) };
    }
    entry.start = local + 30 + view.getUint16(local + 26, true) + view.getUint16(local + 28, true);
    if (entry.start + entry.size > view.byteLength) throw new Error('truncated ZIP archive');
    return entry;
  }

  function inflate(bytes, method) {
    if (method === 0) return Promise.resolve(bytes);
    if (method !== 8) return Promise.reject(new Error('unsupported ZIP method ' + method));
    var stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('deflate-raw'));
    return new Response(stream).arrayBuffer().then(function (buffer) { return new Uint8Array(buffer); });
  }

  // KML text in the character set its XML declaration names (UTF-8 when it names none).
  function decodeKml(bytes) {
    var head = String.fromCharCode.apply(null, bytes.subarray(0, Math.min(bytes.length, 200)));
    var declared = /encoding\s*=\s*["']([A-Za-z0-9_.:-]+)["']/.exec(head);
    var label = declared ? declared[1] : 'utf-8';
    try {
      return new TextDecoder(label).decode(bytes);
    } catch (e) {
      return new TextDecoder('utf-8').decode(bytes);
    }
  }

  function readKml(buffer) {
    var view = new DataView(buffer);
    var entry = firstEntry(view);
    return inflate(new Uint8Array(buffer, entry.start, entry.size), entry.method).then(function (kml) {
      var doc = new DOMParser().parseFromString(decodeKml(kml), 'text/xml');
      if (doc.getElementsByTagName('parsererror').length > 0) throw new Error('bad KML');
      return toGeoJSON.kml(doc);
    });
  }

  // A description may carry markup; only its text (with line breaks kept) is shown.
  function descriptionText(description) {
    if (description === undefined || description === null) return '';
    if (typeof description === 'object' && description.value !== undefined) description = description.value;
    var body = new DOMParser().parseFromString(String(description).replace(/<br\s*\/?>/gi, '\n'), 'text/html').body;
    return body ? body.textContent : '';
  }

  function infoContent(properties) {
    var box = document.createElement('div');
    box.className = 'kx-info';
    var title = document.createElement('div');
    title.style.fontWeight = 'bold';
    title.textContent = properties.name || '';
    var text = document.createElement('div');
    text.style.whiteSpace = 'pre-line';
    text.textContent = descriptionText(properties.description);
    box.appendChild(title);
    box.appendChild(text);
    return box;
  }

  function latLng(coordinates) {
    return new google.maps.LatLng(coordinates[1], coordinates[0]);
  }

  function drawPoint(map, coordinates, properties, bounds, info) {
    var position = latLng(coordinates);
    var options = { map: map, position: position, title: properties.name || '' };
    if (properties.icon) options.icon = properties.icon;
    var marker = new google.maps.Marker(options);
    marker.addListener('click', function () {
      info.setContent(infoContent(properties));
      info.open(map, marker);
    });
    bounds.extend(position);
  }

  function drawLine(map, coordinates, properties, bounds) {
    var path = [];
    for (var i = 0; i < coordinates.length; i++) {
      path.push(latLng(coordinates[i]));
      bounds.extend(path[i]);
    }
    new google.maps.Polyline({
      map: map, path: path, strokeColor: properties.stroke || TRACK_COLOR,
      strokeOpacity: 0.9, strokeWeight: Number(properties['stroke-width']) || 4
    });
  }

  function drawGeometry(map, geometry, properties, bounds, info) {
    if (!geometry) return 0;
    switch (geometry.type) {
      case 'Point': drawPoint(map, geometry.coordinates, properties, bounds, info); return 1;
      case 'LineString': drawLine(map, geometry.coordinates, properties, bounds); return 1;
      case 'MultiLineString':
        for (var i = 0; i < geometry.coordinates.length; i++) drawLine(map, geometry.coordinates[i], properties, bounds);
        return geometry.coordinates.length;
      case 'GeometryCollection':
        var drawn = 0;
        for (var j = 0; j < geometry.geometries.length; j++) drawn += drawGeometry(map, geometry.geometries[j], properties, bounds, info);
        return drawn;
      default: return 0;
    }
  }

  function draw(map, collection) {
    var bounds = new google.maps.LatLngBounds();
    var info = new google.maps.InfoWindow();
    var drawn = 0;
    for (var i = 0; i < collection.features.length; i++) {
      var feature = collection.features[i];
      drawn += drawGeometry(map, feature.geometry, feature.properties || {}, bounds, info);
    }
    return drawn > 0 ? bounds : null;
  }

  function load(map, address, onReady, onError) {
    fetch(archivePath(address), { credentials: 'same-origin', cache: 'no-store' })
      .then(function (response) {
        if (!response.ok) throw new Error('archive status ' + response.status);
        return response.arrayBuffer();
      })
      .then(readKml)
      .then(function (collection) { onReady(draw(map, collection)); })
      .catch(function (error) { if (onError) onError(error.message || String(error)); });
  }

  return { load: load, archivePath: archivePath };
})();

// The main pages' side of the map requests (getXmlHttp comes from kxrequest.js). The page
// defines kxMessages: the texts of the
// replies "1", "2" and "3", the wait text, and the text shown when the map script is missing.

// Writes a message into the map area: a no-break space and the text in a font element.
function ShowMessage(text, className) {
  var frame = document.getElementById('GoogleFrame');
  frame.innerHTML = '';
  var font = document.createElement('font');
  font.className = className;
  font.textContent = text;
  frame.appendChild(document.createTextNode('\u00a0'));
  frame.appendChild(font);
}

// Draws the archive at kmlAddress on a new map with the user's zoom and map type (0 road map,
// 1 hybrid, 2 terrain). Fitting the view to the archive changes the zoom; the user's zoom is then
// restored once.
function LoadMap(zoom, type, kmlAddress) {
  if (typeof google === 'undefined' || !google.maps) {
    ShowMessage(kxMessages.noMap, 'error');
    return;
  }
  var types = [google.maps.MapTypeId.ROADMAP, google.maps.MapTypeId.HYBRID, google.maps.MapTypeId.TERRAIN];
  var requestedZoom = parseInt(zoom, 10);
  if (isNaN(requestedZoom)) requestedZoom = 10;
  var frame = document.getElementById('GoogleFrame');
  frame.innerHTML = '';
  var map = new google.maps.Map(frame, {
    zoom: requestedZoom,
    center: new google.maps.LatLng(55.75, 37.62),
    mapTypeId: types[parseInt(type, 10)] || google.maps.MapTypeId.ROADMAP
  });
  var restored = false;
  google.maps.event.addListener(map, 'zoom_changed', function () {
    if (restored || map.getZoom() == requestedZoom) return;
    restored = true;
    map.setZoom(requestedZoom);
  });
  KxMap.load(map, kmlAddress, function (bounds) {
    if (bounds) map.fitBounds(bounds);
  }, function () {
    ShowMessage(kxMessages['1'], 'error');
  });
}

// Sends a map request and shows its reply: an error message for "1", "2" and "3", otherwise
// zoom|type|address drawn with LoadMap. Any status but 200 sends the window to the sign-in.
function SendMapRequest(address) {
  var request = getXmlHttp();
  request.open('GET', address, true);
  request.onreadystatechange = function () {
    if (request.readyState != 4) return;
    if (request.status != 200) {
      window.parent.location.href = 'kxserver/login';
      return;
    }
    var reply = request.responseText;
    if (reply == '1' || reply == '2' || reply == '3') {
      ShowMessage(kxMessages[reply], 'error');
      return;
    }
    var first = reply.indexOf('|');
    var last = reply.lastIndexOf('|');
    LoadMap(reply.substring(0, first), reply.substring(first + 1, last), reply.substring(last + 1));
  };
  var frame = document.getElementById('GoogleFrame');
  frame.innerHTML = '';
  var wait = document.createElement('span');
  wait.className = 'kx-wait';
  wait.textContent = kxMessages.wait;
  frame.appendChild(wait);
  request.send(null);
}

// A group clicked in the tree: the last positions of the group's vehicles.
function GroupSelect(group) {
  SendMapRequest('/kxserver/car?GroupFileName=' + group + '&GMT=' + document.getElementById('GMTTime').value);
}
