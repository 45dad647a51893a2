#include "web/kml_handler.h"

#include "common/request_pattern.h"
#include "web/folder_file.h"

namespace kx {

bool IsArchiveName(std::string_view query) {
  static const RequestPattern kArchiveName("^[0-9A-F]+\\.kmz$");
  return kArchiveName.Match(query).has_value();
}

void ServeKmz(RequestScope& scope) {
  const std::string& query = scope.exchange.request.query;
  if (!IsArchiveName(query)) return;
  // A name the file system refuses (too long for it) is a missing archive like any other, and so
  // is a link out of the folder.
  if (const auto archive = FileInFolder(scope.state.File("kml"), query)) {
    scope.exchange.response.file = web::BodyFile::Open(*archive);
  }
}

}  // namespace kx
