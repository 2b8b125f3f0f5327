// Extracting a resource archive of a few tens of MB of mixed data with the core, compared with
// raw zlib inflate of the same streams into memory, measured in the same run. The ratio says
// how much the library costs on top of inflating (reading, CRC, writing, checks).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <zlib.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "zevlib/zevlib.h"
#include "zip_writer.h"

namespace {

struct Resource {
  std::filesystem::path folder;
  std::filesystem::path archive;
  std::vector<std::string> streams;  // each entry's deflate stream
  std::vector<std::size_t> sizes;
  std::uint64_t totalSize = 0;
};

std::string Text(std::size_t size, std::mt19937& random) {
  static const char* words[] = {"TX880",   "driver",   "install",
                                "printer", "the",      "of",
                                "setup",   "registry", "HKEY_LOCAL_MACHINE",
                                "\r\n",    "version",  "=",
                                "1.0",     "copy",     "file",
                                "service", "port",     "USB",
                                "spooler", "; comment"};
  std::string out;
  out.reserve(size + 32);
  while (out.size() < size) {
    out += words[random() % 20];
    out += ' ';
  }
  out.resize(size);
  return out;
}

// Code-like bytes: short repeated patterns with noise, as in executables and drivers.
std::string Binary(std::size_t size, std::mt19937& random) {
  std::string out(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    std::uint32_t r = random();
    out[i] =
        (r % 3 == 0) ? static_cast<char>(r >> 8) : static_cast<char>(i >= 64 ? out[i - 64] : r);
  }
  return out;
}

std::string Noise(std::size_t size, std::mt19937& random) {
  std::string out(size, '\0');
  for (auto& c : out) c = static_cast<char>(random());
  return out;
}

struct ScratchCleanup {
  std::filesystem::path folder;
  ~ScratchCleanup() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
};

// Memory-backed when the system has it: the disk's write-back would otherwise decide the
// result. ZEV_BENCH_DIR picks another folder, e.g. to include a real disk.
std::filesystem::path ScratchFolder() {
  if (const char* chosen = std::getenv("ZEV_BENCH_DIR")) return chosen;
  std::error_code error;
  if (std::filesystem::is_directory("/dev/shm", error)) return "/dev/shm";
  return std::filesystem::temp_directory_path();
}

const Resource& TheResource() {
  static const Resource resource = [] {
    Resource r;
    std::string pattern = (ScratchFolder() / "zev-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) abort();
    r.folder = pattern;
    static const ScratchCleanup cleanup{r.folder};
    std::mt19937 random(880);
    std::vector<zevtest::TestEntry> entries;
    auto add = [&](std::string name, std::string data) {
      r.totalSize += data.size();
      r.sizes.push_back(data.size());
      r.streams.push_back(zevtest::Deflate(data));
      entries.push_back({.name = std::move(name), .data = std::move(data)});
    };
    add("docs/manual.txt", Text(6 << 20, random));
    add("docs/license.rtf", Text(1 << 20, random));
    add("drivers/x86/tx880.sys", Binary(6 << 20, random));
    add("drivers/x64/tx880.sys", Binary(8 << 20, random));
    add("bin/tx880ui.exe", Binary(10 << 20, random));
    add("bin/firmware.cab", Noise(4 << 20, random));
    add("data/blank.img", std::string(4 << 20, '\0'));
    add("data/strings.ini", Text(512 << 10, random));
    r.archive = r.folder / "resource.zip";
    std::ofstream(r.archive, std::ios::binary) << zevtest::BuildZip(entries);
    return r;
  }();
  return resource;
}

// Seconds for inflating every stream once into memory with zlib alone.
double RawInflateSeconds(const Resource& r) {
  std::vector<unsigned char> out(1 << 20);
  auto start = std::chrono::steady_clock::now();
  for (const auto& stream : r.streams) {
    z_stream z{};
    inflateInit2(&z, -MAX_WBITS);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
    z.avail_in = static_cast<uInt>(stream.size());
    int result = Z_OK;
    while (result == Z_OK) {
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      result = inflate(&z, Z_NO_FLUSH);
      benchmark::DoNotOptimize(out.data());
    }
    inflateEnd(&z);
    if (result != Z_STREAM_END) abort();
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_ExtractResourceArchive(benchmark::State& state) {
  const Resource& r = TheResource();
  auto destination = r.folder / "out";
  double extractSeconds = 0;
  double zlibSeconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove_all(destination);
    state.ResumeTiming();
    auto start = std::chrono::steady_clock::now();
    auto status = zevlib::ExtractArchive({r.archive, destination, {}, true, ""}, {});
    extractSeconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!status.ok()) {
      state.SkipWithError(status.message.c_str());
      break;
    }
    state.PauseTiming();
    zlibSeconds += RawInflateSeconds(r);  // interleaved, so both see the same machine state
    state.ResumeTiming();
  }
  double bytes = static_cast<double>(r.totalSize) * static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  state.counters["extract_MBps"] = bytes / extractSeconds / 1e6;
  state.counters["zlib_MBps"] = bytes / zlibSeconds / 1e6;
  state.counters["ratio_to_zlib"] = zlibSeconds / extractSeconds;
}
BENCHMARK(BM_ExtractResourceArchive)->Unit(benchmark::kMillisecond)->MinTime(5.0);

}  // namespace
