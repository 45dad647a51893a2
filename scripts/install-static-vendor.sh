#!/usr/bin/env bash
# Installs the outside files the pages load into the vendor folders of static/js, static/css and
# static/img (not kept in git): the KML-to-GeoJSON converter the map page draws archives with,
# Leaflet with its style sheet and images, the TopoJSON reader and the world outline (Natural
# Earth land and borders at 1:110m) that lies under the map's tiles. The service serves files by
# plain names only (no folders, one dot), so each lands under such a name, and whoever lays out a
# service folder copies static/<kind>/*.* and static/<kind>/vendor/*.* side by side into its
# <kind> folder. The service serves no JSON, so the outline is wrapped as a script.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
modules=node_modules
if [ ! -f $modules/@tmcw/togeojson/dist/togeojson.umd.js ] || [ ! -f $modules/leaflet/dist/leaflet.js ] ||
   [ ! -f $modules/topojson-client/dist/topojson-client.min.js ] || [ ! -f $modules/world-atlas/countries-110m.json ]; then
  PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund
fi
mkdir -p static/js/vendor static/css/vendor static/img/vendor
cp $modules/@tmcw/togeojson/dist/togeojson.umd.js static/js/vendor/togeojson.js
cp $modules/leaflet/dist/leaflet.js static/js/vendor/leaflet.js
cp $modules/topojson-client/dist/topojson-client.min.js static/js/vendor/topojson.js
# Leaflet's style sheet names its images relative to itself ("images/x.png"); here they are served
# from the img path under names of their own.
sed -e 's|url(images/\([a-z0-9-]*\)\.png)|url(/kxserver/img?leaflet-\1.png)|g' \
  $modules/leaflet/dist/leaflet.css >static/css/vendor/leaflet.css
for image in $modules/leaflet/dist/images/*.png; do
  cp "$image" "static/img/vendor/leaflet-$(basename "$image")"
done
# Only the shapes are kept: the country names and codes are of no use to an outline.
node -e '
const atlas = JSON.parse(require("fs").readFileSync(process.argv[1], "utf8"));
for (const country of atlas.objects.countries.geometries) { delete country.properties; delete country.id; }
process.stdout.write("var kxWorldOutline = " + JSON.stringify(atlas) + ";\n");
' $modules/world-atlas/countries-110m.json >static/js/vendor/worldoutline.js
for kind in js css img; do echo "static/$kind/vendor: $(ls static/$kind/vendor | tr '\n' ' ')"; done
