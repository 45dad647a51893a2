// The parts of KmlDocument that are the same on every platform's DOM.
#include "mapdata/kml_document.h"

namespace kx {

KmlElement KmlElement::RequiredChild(std::string_view local_name) const {
  const auto child = Child(local_name);
  if (!child) {
    throw KmlError("\"" + LocalName() + "\" has no element \"" + std::string(local_name) + "\"");
  }
  return *child;
}

}  // namespace kx
