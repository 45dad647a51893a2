// The parts of one vehicle data request in file mode, each on its own:
//   kml/prepare          copy, edit and save one last-position file (about 1 KB)
//   kml/group/<n>        a group document of n vehicles
//   kml/name             MakeKmlName (host time formats and MD5)
//   kmz/pack             PackKmz of the prepared file (a writer and its compressor per archive)
//   deflate/fresh        compressing the same 1 KB with a compressor made for it, as each
//   deflate/reused       archive does now, and with one compressor reset between streams
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "mapdata/deflate.h"
#include "mapdata/file_bytes.h"
#include "mapdata/kml_name.h"
#include "mapdata/kml_writer.h"
#include "mapdata/kmz.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFleetSize = 200;
constexpr int kFirstDevice = 100000;

std::string LastPositionKml(int device) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n  <Placemark>\n    <name>" +
         std::to_string(device) +
         "</name>\n    <description>2010-03-05 23:30:00 Speed 40 km/h, course 270, satellites 9"
         "</description>\n    <Style><IconStyle><scale>1.1</scale><Icon><href>"
         "http://maps.google.com/mapfiles/kml/shapes/cabs.png</href></Icon></IconStyle>"
         "<LabelStyle><scale>0.9</scale></LabelStyle></Style>\n"
         "    <Point><coordinates>37.617600,55.755800,0</coordinates></Point>\n"
         "  </Placemark>\n</kml>\n";
}

// A dispatcher folder with one last-position file per vehicle, a kml folder and the registry.
class Fixture {
 public:
  Fixture()
      : root_(fs::temp_directory_path() /
              ("kx-car-bench-" + std::to_string(std::random_device()()))) {
    fs::create_directories(root_ / "dispatcher" / "LastPosition");
    fs::create_directories(root_ / "kml");
    dispatcher_ = (root_ / "dispatcher").string() + "/";
    for (int i = 0; i < kFleetSize; ++i) {
      const int device = kFirstDevice + i;
      vehicles_.Append(std::to_string(device), {device, "Model " + std::to_string(i), "Group",
                                                "g" + std::to_string(i / 50) + ".grp"});
      devices_.push_back(std::to_string(device));
      kx::WriteFileBytes(root_ / "dispatcher" / "LastPosition" / ("0" + devices_.back() + ".kml"),
                         LastPositionKml(device));
    }
  }
  ~Fixture() { fs::remove_all(root_); }

  [[nodiscard]] kx::KmlWriterContext Context() const {
    return {vehicles_, dispatcher_, root_ / "kml"};
  }
  [[nodiscard]] const std::vector<std::string>& Devices() const { return devices_; }
  [[nodiscard]] std::string KmlFolder() const { return (root_ / "kml" / "").string(); }

 private:
  fs::path root_;
  std::string dispatcher_;
  kx::VehicleList vehicles_;
  std::vector<std::string> devices_;
};

Fixture& SharedFixture() {
  static Fixture fixture;
  return fixture;
}

void PrepareKml(benchmark::State& state) {
  const Fixture& fixture = SharedFixture();
  const auto source = kx::LastPositionFile(fixture.Context().KXServerPath, kFirstDevice);
  for (auto _ : state) {
    kx::PrepareLastPositionKml(fixture.Context(), *source, kFirstDevice, 3, "bench.kml");
  }
}
BENCHMARK(PrepareKml)->Name("kml/prepare");

void GroupKml(benchmark::State& state) {
  const Fixture& fixture = SharedFixture();
  const std::vector<std::string> members(fixture.Devices().begin(),
                                         fixture.Devices().begin() + state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        kx::BuildGroupKml(fixture.Context(), "g0.grp", members, 3, "group.kml"));
  }
}
BENCHMARK(GroupKml)->Name("kml/group")->Arg(10)->Arg(50);

void KmlName(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(kx::MakeKmlName("admin", "AbCdEfGhIjKlMnO", 5));
}
BENCHMARK(KmlName)->Name("kml/name");

void PackArchive(benchmark::State& state) {
  const Fixture& fixture = SharedFixture();
  const auto source = kx::LastPositionFile(fixture.Context().KXServerPath, kFirstDevice);
  kx::PrepareLastPositionKml(fixture.Context(), *source, kFirstDevice, 3, "pack.kml");
  for (auto _ : state) benchmark::DoNotOptimize(kx::PackKmz(fixture.KmlFolder(), "pack.kml"));
}
BENCHMARK(PackArchive)->Name("kmz/pack");

class CountingSink final : public kx::DeflateSink {
 public:
  void Put(std::span<const uint8_t> bytes) override { size_ += bytes.size(); }
  size_t size_ = 0;
};

std::vector<uint8_t> KmlBytes() {
  const std::string text = LastPositionKml(kFirstDevice);
  return {text.begin(), text.end()};
}

void DeflateFresh(benchmark::State& state) {
  const std::vector<uint8_t> input = KmlBytes();
  CountingSink sink;
  for (auto _ : state) {
    kx::Deflater deflater;
    deflater.Reset(sink);
    deflater.Write(input);
    deflater.Finish();
  }
  benchmark::DoNotOptimize(sink.size_);
}
BENCHMARK(DeflateFresh)->Name("deflate/fresh");

void DeflateReused(benchmark::State& state) {
  const std::vector<uint8_t> input = KmlBytes();
  CountingSink sink;
  kx::Deflater deflater;
  for (auto _ : state) {
    deflater.Reset(sink);
    deflater.Write(input);
    deflater.Finish();
  }
  benchmark::DoNotOptimize(sink.size_);
}
BENCHMARK(DeflateReused)->Name("deflate/reused");

}  // namespace

BENCHMARK_MAIN();
