// The signed-in sessions: for each live HTTP session, who signed in, with which rights and which
// vehicles that user may see. Ids and logins compare exactly.
//
// Every operation takes the same time however many sessions are listed (visitors without a
// cookie add a guest session with each request, so the list can hold many thousands): entries
// are found by id, and the sessions of one login through an index by login.
// Not thread-safe: every use happens inside the main-thread gate.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace kx {

// A session's vehicle list. Lists never change once made, so sessions that sign in with the same
// list (administrators, who get every registry device) share one instead of copying it.
using VehicleKeys = std::shared_ptr<const std::vector<std::string>>;

class MySessionList {
 public:
  // Lists the session with the vehicles; an entry listed under the same id is replaced.
  void AddSession(std::string_view sessionId, std::string_view login, int rights,
                  VehicleKeys vehicles);
  // The same with a copy of the vehicles.
  void AddSession(std::string_view sessionId, std::string_view login, int rights,
                  const std::vector<std::string>& vehicles);
  [[nodiscard]] bool HasSession(std::string_view sessionId) const;
  // The entry's login, or "0" when the id is not listed.
  [[nodiscard]] std::string SessionLogin(std::string_view sessionId) const;
  // The entry's rights, or 0 when the id is not listed.
  [[nodiscard]] int SessionRights(std::string_view sessionId) const;
  // The entry's vehicles, or nullptr when the id is not listed.
  [[nodiscard]] const std::vector<std::string>* SessionVehicles(std::string_view sessionId) const;
  void RemoveSession(std::string_view sessionId);
  void RemoveSessionsOfLogin(std::string_view login);
  void UpdateSessionsOfLogin(std::string_view login, int rights,
                             const std::vector<std::string>& vehicles);
  [[nodiscard]] size_t Count() const { return entries_.size(); }

 private:
  // Lets the maps be searched with a string_view without building a string.
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  template <class Value>
  using TextMap = std::unordered_map<std::string, Value, TextHash, std::equal_to<>>;

  struct Entry {
    std::string login;
    int rights = 0;
    VehicleKeys vehicles;
  };
  [[nodiscard]] const Entry* Find(std::string_view sessionId) const;

  TextMap<Entry> entries_;                               // by session id
  TextMap<std::unordered_set<std::string>> idsOfLogin_;  // session ids of each login
};

}  // namespace kx
