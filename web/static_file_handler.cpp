#include "web/static_file_handler.h"

#include <algorithm>

#include "web/folder_file.h"

namespace kx {
namespace {

bool IsNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-';
}

// Sends the file as the body when the folder holds it; the empty reply otherwise (a link out of
// the folder included). A file that exists but cannot be opened throws, which the server answers
// with its error reply.
void SendFileIfPresent(RequestScope& scope, std::string_view folder, std::string_view name) {
  if (const auto file = FileInFolder(scope.state.File(folder), name)) {
    scope.exchange.response.file = web::BodyFile::Open(*file);
  }
}

void ServeFromFolder(RequestScope& scope, std::string_view folder,
                     std::initializer_list<std::string_view> extensions) {
  const std::string_view name = scope.exchange.request.query;
  if (!IsAcceptedStaticName(name, extensions)) return;
  SendFileIfPresent(scope, folder, name);
}

}  // namespace

bool IsAcceptedStaticName(std::string_view query,
                          std::initializer_list<std::string_view> extensions) {
  const size_t dot = query.find('.');
  if (dot == 0 || dot == std::string_view::npos) return false;
  const std::string_view name = query.substr(0, dot);
  const std::string_view extension = query.substr(dot + 1);
  return std::all_of(name.begin(), name.end(), IsNameCharacter) &&
         std::find(extensions.begin(), extensions.end(), extension) != extensions.end();
}

void HandleJsFile(RequestScope& scope) {
  ServeFromFolder(scope, "js", {"js"});
}

void HandleCssFile(RequestScope& scope) {
  ServeFromFolder(scope, "css", {"css"});
}

void HandleImageFile(RequestScope& scope) {
  ServeFromFolder(scope, "img", {"gif", "png", "ico"});
}

void HandleFavicon(RequestScope& scope) {
  SendFileIfPresent(scope, "img", "favicon.ico");
}

}  // namespace kx
