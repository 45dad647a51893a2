// Draws a map archive (KMZ) of the service: fetches the archive from the same origin, takes the
// KML out of it, converts it to GeoJSON (toGeoJSON, installed next to this file) and draws points
// with their names and descriptions, event icons and tracks as lines. Two renderers draw the same
// shapes: Google Maps when the page loaded its script (the site has a key), otherwise Leaflet on
// the tile layers the page defines in kxMapLayers, over an outline of the world shipped with the
// service, so that positions and tracks stay in place where no tile server answers.
//
//   KxMap.load(kmlAddress, onShapes, onError)    onShapes(GeoJSON feature collection)
//   KxMap.drawGoogle(map, collection)            the bounds of what was drawn, or null
//   KxMap.openMap(element, type, zoom, options)  a Leaflet map on the tile layer of the type
//   KxMap.drawOpen(map, collection)              the bounds of what was drawn, or null
//
// kmlAddress is the address the service answered (its query names the archive in the service's
// kml folder); the archive is always fetched from this origin.
var KxMap = (function () {
  'use strict';

  var TRACK_COLOR = '#1a5fd0';
  var MAX_ZOOM = 19;
  // Tiles of the terrain layer end here (the public one has no deeper level); deeper views
  // enlarge them.
  var TERRAIN_NATIVE_ZOOM = 17;
  var IMAGES = '/kxserver/img?';
  // The system's own event icons (KX_park.gif ...) are 22 pixels wide, centred on their point.
  var EVENT_ICON_SIZE = 22;
  var OUTLINE_PANE = 'kxOutline';
  var OUTLINE_PANE_Z = 150;  // under Leaflet's tile pane (200)
  var GRATICULE_STEP = 10;   // degrees

  var LOCAL_HEADER = 0x04034b50;
  var CENTRAL_HEADER = 0x02014b50;
  var END_OF_CENTRAL = 0x06054b50;

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

  // Text for markers and info windows

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

  // An icon the KML names: the system's own event icons (KX_<event>.gif, wherever the KML says
  // they lie) come from this service's img folder; any other address is used as it is.
  function localIcon(href) {
    if (!href) return null;
    var name = /(?:^|[\/?=])(KX_[A-Za-z0-9_]+\.(?:gif|png))$/.exec(String(href));
    return name ? IMAGES + name[1] : String(href);
  }

  // Calls shapes.point(lat, lng, properties) and shapes.line([[lat, lng], ...], properties) for
  // every drawable geometry of the collection; returns how many were drawn.
  function eachShape(collection, shapes) {
    function line(coordinates, properties) {
      var path = [];
      for (var i = 0; i < coordinates.length; i++) path.push([coordinates[i][1], coordinates[i][0]]);
      shapes.line(path, properties);
      return 1;
    }
    function geometry(shape, properties) {
      if (!shape) return 0;
      switch (shape.type) {
        case 'Point': shapes.point(shape.coordinates[1], shape.coordinates[0], properties); return 1;
        case 'LineString': return line(shape.coordinates, properties);
        case 'MultiLineString':
          for (var i = 0; i < shape.coordinates.length; i++) line(shape.coordinates[i], properties);
          return shape.coordinates.length;
        case 'GeometryCollection':
          var drawn = 0;
          for (var j = 0; j < shape.geometries.length; j++) drawn += geometry(shape.geometries[j], properties);
          return drawn;
        default: return 0;
      }
    }
    var drawn = 0;
    for (var k = 0; k < collection.features.length; k++) {
      var feature = collection.features[k];
      drawn += geometry(feature.geometry, feature.properties || {});
    }
    return drawn;
  }

  function lineWeight(properties) {
    return Number(properties['stroke-width']) || 4;
  }

  // Google Maps

  function drawGoogle(map, collection) {
    var bounds = new google.maps.LatLngBounds();
    var info = new google.maps.InfoWindow();
    var drawn = eachShape(collection, {
      point: function (lat, lng, properties) {
        var position = new google.maps.LatLng(lat, lng);
        var options = { map: map, position: position, title: properties.name || '' };
        var icon = localIcon(properties.icon);
        if (icon) options.icon = icon;
        var marker = new google.maps.Marker(options);
        marker.addListener('click', function () {
          info.setContent(infoContent(properties));
          info.open(map, marker);
        });
        bounds.extend(position);
      },
      line: function (points, properties) {
        var path = [];
        for (var i = 0; i < points.length; i++) {
          path.push(new google.maps.LatLng(points[i][0], points[i][1]));
          bounds.extend(path[i]);
        }
        new google.maps.Polyline({
          map: map, path: path, strokeColor: properties.stroke || TRACK_COLOR,
          strokeOpacity: 0.9, strokeWeight: lineWeight(properties)
        });
      }
    });
    return drawn > 0 ? bounds : null;
  }

  // Leaflet

  // An attribution is the settings' text with links: only its text and links to http(s)
  // addresses reach the page, whatever markup it holds.
  function attributionHtml(text) {
    var source = new DOMParser().parseFromString('<body>' + String(text || ''), 'text/html').body;
    var out = document.createElement('span');
    copyTextAndLinks(source, out);
    return out.innerHTML;
  }

  function copyTextAndLinks(from, to) {
    for (var node = from.firstChild; node; node = node.nextSibling) {
      if (node.nodeType === Node.TEXT_NODE) {
        to.appendChild(document.createTextNode(node.nodeValue));
      } else if (node.nodeType !== Node.ELEMENT_NODE || /^(SCRIPT|STYLE|TEMPLATE)$/.test(node.tagName)) {
        continue;
      } else if (node.tagName === 'A' && /^https?:\/\//i.test(node.getAttribute('href') || '')) {
        var link = document.createElement('a');
        link.href = node.getAttribute('href');
        link.target = '_blank';
        link.rel = 'noopener noreferrer';
        copyTextAndLinks(node, link);
        to.appendChild(link);
      } else {
        copyTextAndLinks(node, to);
      }
    }
  }

  // Tiles come from http(s) addresses or from this site; anything else (an empty value, a
  // javascript: address) gives a layer without tiles.
  function isTileAddress(template) {
    return /^(https?:\/\/|\/)/i.test(String(template || ''));
  }

  function tileLayer(layer, type) {
    var options = { maxZoom: MAX_ZOOM, attribution: attributionHtml(layer.attribution) };
    if (type === 2) options.maxNativeZoom = TERRAIN_NATIVE_ZOOM;
    if (isTileAddress(layer.tiles)) return L.tileLayer(layer.tiles, options);
    var empty = L.layerGroup([], options);
    empty.kxNoTiles = true;
    return empty;
  }

  function graticule() {
    var lines = [];
    for (var lat = -80; lat <= 80; lat += GRATICULE_STEP) lines.push([[lat, -180], [lat, 180]]);
    for (var lng = -180; lng <= 180; lng += GRATICULE_STEP) lines.push([[-85, lng], [85, lng]]);
    return lines;
  }

  // The world's land and country borders (Natural Earth, 1:110m) and a graticule, in a pane under
  // the tiles: tiles that load cover it, tiles that fail leave it in sight.
  function outlineLayer(map) {
    if (typeof kxWorldOutline === 'undefined' || typeof topojson === 'undefined') return null;
    map.createPane(OUTLINE_PANE).style.zIndex = OUTLINE_PANE_Z;
    var renderer = L.svg({ pane: OUTLINE_PANE });
    var common = { renderer: renderer, pane: OUTLINE_PANE, interactive: false };
    var land = topojson.feature(kxWorldOutline, kxWorldOutline.objects.land);
    var borders = topojson.mesh(kxWorldOutline, kxWorldOutline.objects.countries, function (a, b) { return a !== b; });
    return L.layerGroup([
      L.polyline(graticule(), L.extend({ color: '#b9cde0', weight: 0.7 }, common)),
      L.geoJSON(land, L.extend({ style: { color: '#8fa3b8', weight: 1, fillColor: '#f4f1e8', fillOpacity: 1 } }, common)),
      L.geoJSON(borders, L.extend({ style: { color: '#b3a6ab', weight: 0.8 } }, common))
    ], { attribution: 'Natural Earth' });
  }

  // The notice in a corner while the shown layer's tiles fail: shown when a tile of the current
  // batch fails, taken away when a batch loads without failures or another layer is chosen.
  function watchTiles(map, layers, text) {
    var notice = L.control({ position: 'bottomleft' });
    notice.onAdd = function () {
      var box = L.DomUtil.create('div', 'kx-map-notice');
      box.textContent = text;
      return box;
    };
    var shown = false;
    function show(visible) {
      if (visible === shown) return;
      shown = visible;
      if (visible) notice.addTo(map); else notice.remove();
    }
    layers.forEach(function (layer) {
      var failures = 0;
      layer.on('loading', function () { failures = 0; });
      layer.on('tileerror', function () { failures++; show(true); });
      layer.on('load', function () { show(failures > 0); });
    });
    map.on('baselayerchange', function (event) { show(event.layer.kxNoTiles === true); });
    return show;
  }

  // A Leaflet map in element at the zoom, on the tile layer of the map type (0 road map,
  // 1 satellite, 2 terrain), with a switcher among options.layers ({name, tiles, attribution}
  // each), the outline under them and options.notice shown while tiles fail.
  function openMap(element, type, zoom, options) {
    var map = L.map(element, { center: [55.75, 37.62], zoom: zoom, maxZoom: MAX_ZOOM });
    L.DomUtil.addClass(map.getContainer(), 'kx-open-map');
    var outline = outlineLayer(map);
    if (outline) outline.addTo(map);
    var layers = [];
    var switcher = {};
    for (var i = 0; i < options.layers.length; i++) {
      layers.push(tileLayer(options.layers[i], i));
      switcher[options.layers[i].name] = layers[i];
    }
    var show = watchTiles(map, layers, options.notice);
    var initial = layers[type] || layers[0];
    initial.addTo(map);
    show(initial.kxNoTiles === true);
    L.control.layers(switcher, null, { position: 'topright' }).addTo(map);
    return map;
  }

  // Vehicles get Leaflet's marker, its images served from the img folder.
  function vehicleIcon() {
    return L.icon({
      iconUrl: IMAGES + 'leaflet-marker-icon.png', iconRetinaUrl: IMAGES + 'leaflet-marker-icon-2x.png',
      shadowUrl: IMAGES + 'leaflet-marker-shadow.png', iconSize: [25, 41], iconAnchor: [12, 41],
      popupAnchor: [1, -34], shadowSize: [41, 41]
    });
  }

  function markerIcon(properties) {
    var icon = localIcon(properties.icon);
    if (!icon) return vehicleIcon();
    var half = EVENT_ICON_SIZE / 2;
    return L.icon({ iconUrl: icon, iconSize: [EVENT_ICON_SIZE, EVENT_ICON_SIZE], iconAnchor: [half, half], popupAnchor: [0, -half] });
  }

  function drawOpen(map, collection) {
    var bounds = L.latLngBounds([]);
    var drawn = eachShape(collection, {
      point: function (lat, lng, properties) {
        L.marker([lat, lng], { icon: markerIcon(properties), title: properties.name || '' })
          .bindPopup(function () { return infoContent(properties); })
          .addTo(map);
        bounds.extend([lat, lng]);
      },
      line: function (points, properties) {
        L.polyline(points, { color: properties.stroke || TRACK_COLOR, opacity: 0.9, weight: lineWeight(properties) })
          .addTo(map);
        bounds.extend(points);
      }
    });
    return drawn > 0 ? bounds : null;
  }

  // Archive

  function load(address, onShapes, onError) {
    fetch(archivePath(address), { credentials: 'same-origin', cache: 'no-store' })
      .then(function (response) {
        if (!response.ok) throw new Error('archive status ' + response.status);
        return response.arrayBuffer();
      })
      .then(readKml)
      .then(onShapes)
      .catch(function (error) { if (onError) onError(error.message || String(error)); });
  }

  return { load: load, archivePath: archivePath, drawGoogle: drawGoogle, openMap: openMap, drawOpen: drawOpen };
})();

// The main pages' side of the map requests (getXmlHttp comes from kxrequest.js). The page
// defines kxMessages: the texts of the replies "1", "2" and "3", the wait text, the text shown
// when the map script is missing and the notice shown while map tiles fail; without a Google Maps
// key it also defines kxMapLayers, the tile layers of the open map.

// The open map shown in the map area (it is taken down before the area is written again), and a
// count of the area's contents, so that an archive arriving for an earlier map is dropped.
var kxOpenMap = null;
var kxMapShown = 0;

function ClearMapArea() {
  if (kxOpenMap) {
    kxOpenMap.remove();
    kxOpenMap = null;
  }
  kxMapShown++;
  var frame = document.getElementById('GoogleFrame');
  frame.innerHTML = '';
  return frame;
}

// Writes a message into the map area: a no-break space and the text in a font element.
function ShowMessage(text, className) {
  var frame = ClearMapArea();
  var font = document.createElement('font');
  font.className = className;
  font.textContent = text;
  frame.appendChild(document.createTextNode('\u00a0'));
  frame.appendChild(font);
}

// A Google map in the map area; null when the Maps script is not loaded. The first time the
// map's zoom differs from the user's (fitting the view to the archive changes it), the user's
// zoom is set back.
function GoogleMapView(zoom, type) {
  if (typeof google === 'undefined' || !google.maps) return null;
  var types = [google.maps.MapTypeId.ROADMAP, google.maps.MapTypeId.HYBRID, google.maps.MapTypeId.TERRAIN];
  var map = new google.maps.Map(ClearMapArea(), {
    zoom: zoom,
    center: new google.maps.LatLng(55.75, 37.62),
    mapTypeId: types[type] || google.maps.MapTypeId.ROADMAP
  });
  var restored = false;
  google.maps.event.addListener(map, 'zoom_changed', function () {
    if (restored || map.getZoom() == zoom) return;
    restored = true;
    map.setZoom(zoom);
  });
  return {
    draw: function (collection) { return KxMap.drawGoogle(map, collection); },
    fit: function (bounds) { map.fitBounds(bounds); }
  };
}

// The open map in the map area, on the layers of kxMapLayers; null when Leaflet is not loaded.
// The user's zoom is set back once, as on the Google map.
function OpenMapView(zoom, type) {
  if (typeof L === 'undefined') return null;
  var element = document.createElement('div');
  element.style.width = '100%';
  element.style.height = '100%';
  ClearMapArea().appendChild(element);
  var map = kxOpenMap = KxMap.openMap(element, type, zoom, { layers: kxMapLayers, notice: kxMessages.noTiles });
  map.on('zoomend', function restore() {
    if (map.getZoom() === zoom) return;
    map.off('zoomend', restore);
    map.setZoom(zoom, { animate: false });
  });
  return {
    draw: function (collection) { return KxMap.drawOpen(map, collection); },
    fit: function (bounds) { map.fitBounds(bounds, { animate: false }); }
  };
}

// Draws the archive at kmlAddress on a new map with the user's zoom and map type (0 road map,
// 1 hybrid or satellite, 2 terrain), fitted to the archive's content.
function LoadMap(zoom, type, kmlAddress) {
  var requestedZoom = parseInt(zoom, 10);
  if (isNaN(requestedZoom)) requestedZoom = 10;
  var mapType = parseInt(type, 10) || 0;
  var view = typeof kxMapLayers !== 'undefined' ? OpenMapView(requestedZoom, mapType)
                                                 : GoogleMapView(requestedZoom, mapType);
  if (!view) {
    ShowMessage(kxMessages.noMap, 'error');
    return;
  }
  var shown = kxMapShown;
  KxMap.load(kmlAddress, function (collection) {
    if (shown !== kxMapShown) return;
    var bounds = view.draw(collection);
    if (bounds) view.fit(bounds);
  }, function () {
    if (shown === kxMapShown) ShowMessage(kxMessages['1'], 'error');
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
  var frame = ClearMapArea();
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
