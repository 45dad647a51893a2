#include "registry/session_list.h"

#include <algorithm>

#include "common/ini_file.h"

namespace kx {

int MySessionList::AddSession(std::string_view sessionId, std::string_view login, int rights,
                              VehicleKeys vehicles) {
  entries_.push_back(
      {std::string(sessionId), std::string(login), std::to_string(rights), std::move(vehicles)});
  return static_cast<int>(entries_.size()) - 1;
}

const MySessionList::Entry* MySessionList::Find(std::string_view sessionId) const {
  const auto it = std::find_if(entries_.begin(), entries_.end(),
                               [&](const Entry& entry) { return entry.sessionId == sessionId; });
  return it == entries_.end() ? nullptr : &*it;
}

int MySessionList::AddSession(std::string_view sessionId, std::string_view login, int rights,
                              const std::vector<std::string>& vehicles) {
  return AddSession(sessionId, login, rights,
                    std::make_shared<const std::vector<std::string>>(vehicles));
}

int MySessionList::IndexOfSession(std::string_view sessionId) const {
  const Entry* entry = Find(sessionId);
  return entry == nullptr ? -1 : static_cast<int>(entry - entries_.data());
}

std::string MySessionList::SessionLogin(std::string_view sessionId) const {
  const Entry* entry = Find(sessionId);
  return entry == nullptr ? "0" : entry->login;
}

int MySessionList::SessionRights(std::string_view sessionId) const {
  const Entry* entry = Find(sessionId);
  return entry == nullptr ? 0 : ParseIniInteger(entry->rights).value_or(0);
}

const std::vector<std::string>* MySessionList::SessionVehicles(std::string_view sessionId) const {
  const Entry* entry = Find(sessionId);
  return entry == nullptr ? nullptr : entry->vehicles.get();
}

void MySessionList::RemoveSession(std::string_view sessionId) {
  const Entry* entry = Find(sessionId);
  if (entry != nullptr) entries_.erase(entries_.begin() + (entry - entries_.data()));
}

void MySessionList::RemoveSessionsOfLogin(std::string_view login) {
  std::erase_if(entries_, [&](const Entry& entry) { return entry.login == login; });
}

void MySessionList::UpdateSessionsOfLogin(std::string_view login, int rights,
                                          const std::vector<std::string>& vehicles) {
  const auto shared = std::make_shared<const std::vector<std::string>>(vehicles);
  for (Entry& entry : entries_) {
    if (entry.login != login) continue;
    entry.rights = std::to_string(rights);
    entry.vehicles = shared;
  }
}

}  // namespace kx
