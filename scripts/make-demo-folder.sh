#!/usr/bin/env bash
# Lays out a complete service folder: the executable, Settings.ini, Users.ini, the static files,
# the kml folder, and the demo fleet (for the dispatcher stand-in, DeviceList.ini and the
# dispatcher's LastPosition folder for the file mode). Settings.ini and Users.ini are kept when
# the folder exists already, so changes made through the web interface survive a restart.
set -euo pipefail
cd "$(dirname "$0")/.."
folder=${1:?usage: make-demo-folder.sh FOLDER}
build=${KX_BUILD_DIR:-build}
mkdir -p "$folder/kml" "$folder/js" "$folder/css" "$folder/img"
cp "$build/service/KXWebServer" "$folder/"
[ -f "$build/reports/KXReports" ] && cp "$build/reports/KXReports" "$folder/"
for file in Settings.ini Users.ini; do
  [ -f "$folder/$file" ] || cp "demo/service-folder/$file" "$folder/"
done
# The dispatcher's folder of the file mode lies inside the demo folder.
sed -i "s|^KXServerPath=.*|KXServerPath=$folder/dispatcher/\r|" "$folder/Settings.ini"
# The file paths serve plain names only, so the vendor files go beside our own.
cp static/js/*.js static/js/vendor/*.js "$folder/js/"
cp static/css/*.css static/css/vendor/*.css "$folder/css/"
cp static/img/*.png static/img/*.gif static/img/*.ico static/img/vendor/*.png "$folder/img/"
if [ -x "$build/demo/kx_make_demo" ]; then "$build/demo/kx_make_demo" "$folder"; fi
