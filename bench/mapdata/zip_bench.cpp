// Compressor, CRC-32 and MD5 speed and size next to the reference libraries:
//   deflate/<file>/kx and deflate/<file>/zlib  the KML files of the data folder, raw deflate
//                                              (zlib: level 8, windowBits -15, memLevel 8)
//   crc32/<size>/kx and crc32/<size>/zlib
//   md5/<size>/kx and md5/<size>/openssl       (OpenSSL: EVP MD5 fetched once)
// A table of sizes and speeds side by side follows the usual output. The machine may be shared:
// run with repetitions and interleaving, and the table takes the fastest repetition of each,
//   zip_bench --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/md5.h"
#include "mapdata/crc32.h"
#include "mapdata/deflate.h"

namespace {

const char* const kBenchFiles[] = {"lastpos_1k.kml", "track_5k.kml", "track_200k.kml",
                                   "track_5m.kml"};

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class VectorSink final : public kx::DeflateSink {
 public:
  void Put(std::span<const uint8_t> bytes) override {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  }
  std::vector<uint8_t> bytes_;
};

// Inflates a raw deflate stream with zlib, to check every benchmarked output.
bool InflatesTo(const std::vector<uint8_t>& compressed, const std::vector<uint8_t>& original) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return false;
  std::vector<uint8_t> out(original.size() + 1);
  z.next_in = const_cast<Bytef*>(compressed.data());
  z.avail_in = uInt(compressed.size());
  z.next_out = out.data();
  z.avail_out = uInt(out.size());
  const int status = inflate(&z, Z_FINISH);
  const size_t produced = z.total_out;
  inflateEnd(&z);
  out.resize(produced);
  return status == Z_STREAM_END && out == original;
}

// Bytes per second as usual, and the input size per run for the side-by-side table.
void Count(benchmark::State& state, size_t inputBytes) {
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(inputBytes));
  state.counters["input"] = double(inputBytes);
}

void KxDeflate(benchmark::State& state, std::vector<uint8_t> input) {
  kx::Deflater deflater;
  VectorSink sink;
  sink.bytes_.reserve(input.size() + 1024);
  for (auto _ : state) {
    sink.bytes_.clear();
    deflater.Reset(sink);
    deflater.Write(input);
    deflater.Finish();
    benchmark::DoNotOptimize(sink.bytes_.data());
  }
  if (!InflatesTo(sink.bytes_, input)) state.SkipWithError("output does not inflate to the input");
  Count(state, input.size());
  state.counters["size"] = double(sink.bytes_.size());
}

void ZlibDeflate(benchmark::State& state, std::vector<uint8_t> input) {
  z_stream z{};
  if (deflateInit2(&z, 8, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    state.SkipWithError("deflateInit2 failed");
    return;
  }
  std::vector<uint8_t> out(deflateBound(&z, uLong(input.size())));
  size_t size = 0;
  for (auto _ : state) {
    deflateReset(&z);
    z.next_in = input.data();
    z.avail_in = uInt(input.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) state.SkipWithError("deflate did not finish");
    size = z.total_out;
    benchmark::DoNotOptimize(out.data());
  }
  deflateEnd(&z);
  Count(state, input.size());
  state.counters["size"] = double(size);
}

std::vector<uint8_t> RandomBytes(size_t size) {
  std::vector<uint8_t> bytes(size);
  std::mt19937 random(1);
  for (auto& b : bytes) b = uint8_t(random());
  return bytes;
}

void KxCrc32(benchmark::State& state, size_t size) {
  const std::vector<uint8_t> data = RandomBytes(size);
  for (auto _ : state) benchmark::DoNotOptimize(kx::Crc32(data));
  Count(state, size);
}

void ZlibCrc32(benchmark::State& state, size_t size) {
  const std::vector<uint8_t> data = RandomBytes(size);
  for (auto _ : state) benchmark::DoNotOptimize(crc32(0, data.data(), uInt(data.size())));
  Count(state, size);
}

void KxMd5(benchmark::State& state, size_t size) {
  const std::vector<uint8_t> data = RandomBytes(size);
  const std::string_view bytes(reinterpret_cast<const char*>(data.data()), data.size());
  for (auto _ : state) benchmark::DoNotOptimize(kx::Md5Of(bytes));
  Count(state, size);
}

void OpenSslMd5(benchmark::State& state, size_t size) {
  const std::vector<uint8_t> data = RandomBytes(size);
  const std::unique_ptr<EVP_MD, decltype(&EVP_MD_free)> md5(EVP_MD_fetch(nullptr, "MD5", nullptr),
                                                            EVP_MD_free);
  const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                        EVP_MD_CTX_free);
  if (!md5 || !context) {
    state.SkipWithError("OpenSSL MD5 is not available");
    return;
  }
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int digestSize = 0;
  for (auto _ : state) {
    EVP_DigestInit_ex2(context.get(), md5.get(), nullptr);
    EVP_DigestUpdate(context.get(), data.data(), data.size());
    EVP_DigestFinal_ex(context.get(), digest, &digestSize);
    benchmark::DoNotOptimize(digest);
  }
  Count(state, size);
}

// Prints the usual console output, then the runs of each kx/reference pair on one line.
class SideBySideReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      // With repetitions, the fastest one stands for the benchmark.
      const bool fastest = run.run_type == Run::RT_Aggregate && run.aggregate_name == "min";
      if (run.run_type == Run::RT_Aggregate && !fastest) continue;
      const std::string name = run.run_name.str();
      const size_t slash = name.rfind('/');
      Result& result = results_[name.substr(0, slash)][name.substr(slash + 1)];
      if (result.fromFastest && !fastest) continue;
      result.fromFastest = fastest;
      result.nanosecondsPerRun = run.GetAdjustedCPUTime();
      const auto input = run.counters.find("input");
      if (input != run.counters.end() && result.nanosecondsPerRun > 0) {
        result.megabytesPerSecond = input->second.value / result.nanosecondsPerRun * 1e3;
      }
      const auto size = run.counters.find("size");
      if (size != run.counters.end()) result.size = size->second.value;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-28s %12s %10s %10s | %-8s %12s %10s %10s | %s\n", "benchmark", "kx size",
                "kx MB/s", "kx cpu ns", "ref", "ref size", "ref MB/s", "ref cpu ns",
                "kx/ref speed");
    for (const auto& [name, sides] : results_) {
      const auto kx = sides.find("kx");
      const auto reference = std::find_if(sides.begin(), sides.end(),
                                          [](const auto& side) { return side.first != "kx"; });
      if (kx == sides.end() || reference == sides.end()) continue;
      const Result& a = kx->second;
      const Result& b = reference->second;
      std::printf("%-28s %12s %10.1f %10.0f | %-8s %12s %10.1f %10.0f | %.2f\n", name.c_str(),
                  SizeText(a.size).c_str(), a.megabytesPerSecond, a.nanosecondsPerRun,
                  reference->first.c_str(), SizeText(b.size).c_str(), b.megabytesPerSecond,
                  b.nanosecondsPerRun,
                  b.megabytesPerSecond > 0 ? a.megabytesPerSecond / b.megabytesPerSecond : 0.0);
    }
  }

 private:
  // Sizes are known for the compressors only.
  static std::string SizeText(double size) {
    return size > 0 ? std::to_string(int64_t(size)) : "-";
  }

  struct Result {
    bool fromFastest = false;
    double size = 0;
    double megabytesPerSecond = 0;
    double nanosecondsPerRun = 0;
  };
  std::map<std::string, std::map<std::string, Result>> results_;
};

// Benchmark names joined with "/" (built by appending, which keeps GCC 12's -Wrestrict quiet).
std::string Name(std::initializer_list<std::string_view> parts) {
  std::string name;
  for (const std::string_view part : parts) {
    if (!name.empty()) name += '/';
    name.append(part);
  }
  return name;
}

// Takes --data-dir=DIR out of the arguments; the compiled-in folder is the default.
std::filesystem::path TakeDataDir(int& argc, char** argv) {
  const std::string prefix = "--data-dir=";
  std::filesystem::path folder = KX_BENCH_DATA_DIR;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument.rfind(prefix, 0) == 0) {
      folder = argument.substr(prefix.size());
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  return folder;
}

}  // namespace

double Fastest(const std::vector<double>& values) {
  return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

template <typename Function, typename... Arguments>
void Register(const std::string& name, Function function, Arguments... arguments) {
  benchmark::RegisterBenchmark(name.c_str(), function, arguments...)
      ->ComputeStatistics("min", Fastest);
}

int main(int argc, char** argv) {
  const std::filesystem::path folder = TakeDataDir(argc, argv);
  for (const char* file : kBenchFiles) {
    const std::vector<uint8_t> input = ReadFile(folder / file);
    Register(Name({"deflate", file, "kx"}), KxDeflate, input);
    Register(Name({"deflate", file, "zlib"}), ZlibDeflate, input);
  }
  for (const size_t size : {size_t{64}, size_t{4096}, size_t{1} << 20}) {
    const std::string bytes = std::to_string(size);
    Register(Name({"crc32", bytes, "kx"}), KxCrc32, size);
    Register(Name({"crc32", bytes, "zlib"}), ZlibCrc32, size);
  }
  for (const size_t size : {size_t{64}, size_t{1} << 20}) {
    const std::string bytes = std::to_string(size);
    Register(Name({"md5", bytes, "kx"}), KxMd5, size);
    Register(Name({"md5", bytes, "openssl"}), OpenSslMd5, size);
  }
  benchmark::Initialize(&argc, argv);
  SideBySideReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
