// The signed-in sessions: for each live HTTP session, who signed in, with which rights and which
// vehicles that user may see. Entries are in sign-in order; ids and logins compare exactly.
// Not thread-safe: every use happens inside the main-thread gate.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

// A session's vehicle list. Lists never change once made, so sessions that sign in with the same
// list (administrators, who get every registry device) share one instead of copying it.
using VehicleKeys = std::shared_ptr<const std::vector<std::string>>;

class MySessionList {
 public:
  // Appends an entry with the vehicles; returns its index.
  int AddSession(std::string_view sessionId, std::string_view login, int rights,
                 VehicleKeys vehicles);
  // The same with a copy of the vehicles.
  int AddSession(std::string_view sessionId, std::string_view login, int rights,
                 const std::vector<std::string>& vehicles);
  [[nodiscard]] int IndexOfSession(std::string_view sessionId) const;
  // The entry's login, or "0" when the id is not listed.
  [[nodiscard]] std::string SessionLogin(std::string_view sessionId) const;
  // The entry's rights, or 0 when the id is not listed (or its text is not a number).
  [[nodiscard]] int SessionRights(std::string_view sessionId) const;
  // The entry's vehicles, or nullptr when the id is not listed.
  [[nodiscard]] const std::vector<std::string>* SessionVehicles(std::string_view sessionId) const;
  void RemoveSession(std::string_view sessionId);
  void RemoveSessionsOfLogin(std::string_view login);
  void UpdateSessionsOfLogin(std::string_view login, int rights,
                             const std::vector<std::string>& vehicles);
  [[nodiscard]] size_t Count() const { return entries_.size(); }

 private:
  struct Entry {
    std::string sessionId;
    std::string login;
    std::string rights;  // decimal text
    VehicleKeys vehicles;
  };
  [[nodiscard]] const Entry* Find(std::string_view sessionId) const;

  std::vector<Entry> entries_;
};

}  // namespace kx
