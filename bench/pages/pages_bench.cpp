// Expands the vehicle-tree page for an administrator whose session lists every vehicle of a
// 10,000-vehicle registry in 50 groups, and the map page of the same session.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "pages/template_engine.h"

namespace kx {
namespace {

constexpr int kVehicles = 10000;
constexpr int kGroups = 50;

std::unique_ptr<ServiceState> MakeState() {
  auto state = std::make_unique<ServiceState>();
  std::vector<std::string> devices;
  for (int g = 0; g < kGroups; ++g) state->groups.Append("group" + std::to_string(g) + ".grp");
  for (int i = 0; i < kVehicles; ++i) {
    const int device = 100000 + i;
    const int group = i % kGroups;
    state->vehicles.Append(
        std::to_string(device),
        {device, "Газель А" + std::to_string(i) + "ВС (" + std::to_string(device) + ")",
         "Колонна " + std::to_string(group), "group" + std::to_string(group) + ".grp"});
    devices.push_back(std::to_string(device));
  }
  state->sessions.AddSession("ADMINSESSION123", "admin", 2, devices);
  state->userParams.AddUserParams("admin", "100%", "90%", "20%", 10, 0, nullptr);
  state->folder = "/nonexistent-kx-bench-folder";
  return state;
}

void BM_VehicleTreePage(benchmark::State& run) {
  const auto state = MakeState();
  size_t bytes = 0;
  for (auto _ : run) {
    const std::string page = ExpandTemplate(*state, PageTemplate::InetXPageProducerCarList,
                                            "ADMINSESSION123", "", false, "");
    bytes = page.size();
    benchmark::DoNotOptimize(page.data());
  }
  run.counters["page_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_VehicleTreePage)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly();

void BM_MainPage(benchmark::State& run) {
  const auto state = MakeState();
  for (auto _ : run) {
    const std::string page = ExpandTemplate(*state, PageTemplate::InetXPageProducerMainKX,
                                            "ADMINSESSION123", "", false, "Просмотр транспорта");
    benchmark::DoNotOptimize(page.data());
  }
}
BENCHMARK(BM_MainPage)->Unit(benchmark::kMicrosecond)->Repetitions(10)->ReportAggregatesOnly();

}  // namespace
}  // namespace kx

BENCHMARK_MAIN();
