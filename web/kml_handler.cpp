#include "web/kml_handler.h"

#include <filesystem>
#include <system_error>

#include "common/request_pattern.h"

namespace kx {

bool IsArchiveName(std::string_view query) {
  static const RequestPattern kArchiveName("^[0-9A-F]+\\.kmz$");
  return kArchiveName.Match(query).has_value();
}

void ServeKmz(RequestScope& scope) {
  const std::string& query = scope.exchange.request.query;
  if (!IsArchiveName(query)) return;
  const std::filesystem::path archive = scope.state.File("kml") / query;
  // A name the file system refuses (too long for it) is a missing archive like any other.
  std::error_code error;
  if (!std::filesystem::is_regular_file(archive, error)) return;
  scope.exchange.response.file = web::BodyFile::Open(archive);
}

}  // namespace kx
