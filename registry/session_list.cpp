#include "registry/session_list.h"

namespace kx {

void MySessionList::AddSession(std::string_view sessionId, std::string_view login, int rights,
                               VehicleKeys vehicles) {
  RemoveSession(sessionId);
  entries_.emplace(std::string(sessionId), Entry{std::string(login), rights, std::move(vehicles)});
  idsOfLogin_[std::string(login)].emplace(sessionId);
}

void MySessionList::AddSession(std::string_view sessionId, std::string_view login, int rights,
                               const std::vector<std::string>& vehicles) {
  AddSession(sessionId, login, rights, std::make_shared<const std::vector<std::string>>(vehicles));
}

const MySessionList::Entry* MySessionList::Find(std::string_view sessionId) const {
  const auto it = entries_.find(sessionId);
  return it == entries_.end() ? nullptr : &it->second;
}

bool MySessionList::HasSession(std::string_view sessionId) const {
  return Find(sessionId) != nullptr;
}

std::string MySessionList::SessionLogin(std::string_view sessionId) const {
  const Entry* entry = Find(sessionId);
  return entry == nullptr ? "0" : entry->login;
}

int MySessionList::SessionRights(std::string_view sessionId) const {
  const Entry* entry = Find(sessionId);
  return entry == nullptr ? 0 : entry->rights;
}

const std::vector<std::string>* MySessionList::SessionVehicles(std::string_view sessionId) const {
  const Entry* entry = Find(sessionId);
  return entry == nullptr ? nullptr : entry->vehicles.get();
}

void MySessionList::RemoveSession(std::string_view sessionId) {
  const auto entry = entries_.find(sessionId);
  if (entry == entries_.end()) return;
  const auto ids = idsOfLogin_.find(entry->second.login);
  ids->second.erase(entry->first);
  if (ids->second.empty()) idsOfLogin_.erase(ids);
  entries_.erase(entry);
}

void MySessionList::RemoveSessionsOfLogin(std::string_view login) {
  const auto ids = idsOfLogin_.find(login);
  if (ids == idsOfLogin_.end()) return;
  for (const std::string& id : ids->second) entries_.erase(id);
  idsOfLogin_.erase(ids);
}

void MySessionList::UpdateSessionsOfLogin(std::string_view login, int rights,
                                          const std::vector<std::string>& vehicles) {
  const auto ids = idsOfLogin_.find(login);
  if (ids == idsOfLogin_.end()) return;
  const auto shared = std::make_shared<const std::vector<std::string>>(vehicles);
  for (const std::string& id : ids->second) {
    Entry& entry = entries_.find(id)->second;
    entry.rights = rights;
    entry.vehicles = shared;
  }
}

}  // namespace kx
