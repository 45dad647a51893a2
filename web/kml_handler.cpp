#include "web/kml_handler.h"

#include <filesystem>

#include "common/request_pattern.h"

namespace kx {
namespace {

bool IsArchiveName(std::string_view query) {
  static const RequestPattern kArchiveName("^[0-9A-F]+\\.kmz$");
  return kArchiveName.Match(query).has_value();
}

}  // namespace

void ServeKmz(RequestScope& scope) {
  const std::string& query = scope.exchange.request.query;
  if (!IsArchiveName(query)) return;
  const std::filesystem::path archive = scope.state.File("kml") / query;
  if (!std::filesystem::exists(archive)) return;
  scope.exchange.response.file = web::BodyFile::Open(archive);
}

}  // namespace kx
