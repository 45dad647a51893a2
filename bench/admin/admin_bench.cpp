// AddUser, SaveUser and UserDel through the router against a Users.ini of 1,000 users, each
// request with its atomic, flushed save. Every repetition is one request on the same file (it is
// restored, untimed, before each), so the reported median is the median request time.
//
//   admin_bench [--benchmark_report_aggregates_only=true]   (works in $TMPDIR, else /tmp)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "registry/service_state.h"
#include "registry/user_accounts.h"
#include "web/http_server.h"
#include "web/router.h"

namespace kx {
namespace {

constexpr int kUsers = 1000;
constexpr int kModeratorEvery = 20;  // every 20th user manages the 19 that follow it
constexpr int kRepetitions = 30;
constexpr char kAdminSession[] = "BenchAdminSess1";

// A file as the service writes it: the list in [main], then one section per user with its
// vehicles, display settings and, for moderators, the managed logins.
std::string UsersIni() {
  std::string text = "[main]\r\nUsersCount=" + std::to_string(kUsers) + "\r\n";
  for (int i = 0; i < kUsers; ++i)
    text += "User" + std::to_string(i) + "=user" + std::to_string(i) + "\r\n";
  for (int i = 0; i < kUsers; ++i) {
    const std::string login = "user" + std::to_string(i);
    const bool moderator = i % kModeratorEvery == 1;
    const int rights = i == 0 ? kRightsAdministrator : moderator ? kRightsModerator : kRightsUser;
    text += "[" + login + "]\r\nlogin=" + login + "\r\npass=" + PasswordDigest(login, "pw") +
            "\r\nr=" + std::to_string(rights) + "\r\ndevcount=3\r\ndev0=" + std::to_string(i % 50) +
            "\r\ndev1=" + std::to_string(i % 50 + 50) + "\r\ndev2=" + std::to_string(i % 50 + 100) +
            "\r\ntablewidth=100%\r\ntableheight=90%\r\nCarsListWidth=20%\r\nGoogleZoom=10\r\n"
            "GoogleType=0\r\nIcons=0\r\n";
    if (!moderator) continue;
    const int managed = std::min(kModeratorEvery - 1, kUsers - i - 1);
    text += "UsersCount=" + std::to_string(managed) + "\r\n";
    for (int k = 0; k < managed; ++k) {
      text += "User" + std::to_string(k) + "=user" + std::to_string(i + 1 + k) + "\r\n";
    }
  }
  return text;
}

class AdminBench {
 public:
  AdminBench() : store_(std::chrono::minutes(6), [](const std::string&) {}) {
    const char* tmp = std::getenv("TMPDIR");
    state_.folder = std::filesystem::path(tmp != nullptr ? tmp : "/tmp") / "kx-admin-bench";
    std::filesystem::create_directories(state_.folder);
    original_ = UsersIni();
  }
  ~AdminBench() { std::filesystem::remove_all(state_.folder); }

  // The 1,000-user file and the memory loaded from it, with the administrator signed in.
  void Restore() {
    std::ofstream(state_.File("Users.ini"), std::ios::binary | std::ios::trunc) << original_;
    ReloadUserAccounts(state_);
    state_.sessions.RemoveSession(kAdminSession);
    std::vector<std::string> vehicles;
    for (int device = 0; device < 150; ++device) vehicles.push_back(std::to_string(device));
    state_.sessions.AddSession(kAdminSession, "user0", kRightsAdministrator, vehicles);
  }

  [[nodiscard]] std::string Ask(std::string path, std::string query) {
    web::HttpRequest request;
    request.method = "POST";
    request.path = std::move(path);
    request.query = std::move(query);
    request.sessionId = kAdminSession;
    request.clientAddress = "127.0.0.1";
    web::HttpResponse response;
    web::HttpExchange exchange(request, response, store_);
    IdHTTPServer1CommandGet(state_, exchange);
    return response.body;
  }

 private:
  ServiceState state_;
  web::SessionStore store_;
  std::string original_;
};

AdminBench& Bench() {
  static AdminBench bench;
  return bench;
}

void Run(benchmark::State& state, const char* path, const char* query) {
  for (auto _ : state) {
    state.PauseTiming();
    Bench().Restore();
    state.ResumeTiming();
    const std::string reply = Bench().Ask(path, query);
    if (reply != "0") state.SkipWithError(("reply " + reply).c_str());
  }
}

// A new user with three vehicles: appended to [main], a new section at the end.
void BM_AddUser(benchmark::State& state) {
  Run(state, "/kxserver/AddUser", "Login=newuser&Pass=p%20w&r=0&CarList=1-2-3-");
}

// A user in the middle of the file: new password, rights and vehicles.
void BM_SaveUser(benchmark::State& state) {
  Run(state, "/kxserver/SaveUser", "Login=user500&Pass=new&r=0&CarList=4-5-6-7-");
}

// A user near the top of [main], managed by a moderator: 997 entries move down, and every
// moderator's list is searched.
void BM_UserDel(benchmark::State& state) {
  Run(state, "/kxserver/UserDel", "Login=user2");
}

void Configure(benchmark::internal::Benchmark* b) {
  b->Iterations(1)->Repetitions(kRepetitions)->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_AddUser)->Apply(Configure);
BENCHMARK(BM_SaveUser)->Apply(Configure);
BENCHMARK(BM_UserDel)->Apply(Configure);

}  // namespace
}  // namespace kx

BENCHMARK_MAIN();
