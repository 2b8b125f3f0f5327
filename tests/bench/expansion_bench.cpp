// Expansion of $NAME$ references in long script texts, compared with a plain scan for dollar
// signs that copies the same text, measured in the same run. The ratio says how much the
// look-ups and insertions cost on top of reading and writing the text once.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>

#include "setup/engine/variable_manager.h"

namespace {

using Clock = std::chrono::steady_clock;

// The predefined variables a script typically names, with values of their usual length.
void AddScriptVariables(zev::TVariableManager& store) {
  store.Set("TARGETDIR", "C:\\Program Files\\Corvane\\TX880\\");
  store.Set("SUPPORTDIR", "C:\\Users\\setup\\AppData\\Local\\Temp\\{8A4B2C1D-22}\\");
  store.Set("TITLE", "TX880 Driver");
  store.Set("COMPANY", "Corvane");
  store.Set("VERSION", "2.4.1");
  store.Set("LANGUAGE", "English");
  store.Set("WIZARD", "NEXT");
  store.Set("ALLUSERS", "1");
  store.Set("PROGRESS", "42");
  store.Set("NEWLINE", "\r\n");
  for (int i = 0; i < 200; ++i) store.Set("USERVAR" + std::to_string(i), "value " + std::to_string(i));
}

// Nested values: each level names two of the level below and adds some text.
void AddNestedVariables(zev::TVariableManager& store) {
  store.Set("N0", "leaf");
  for (int level = 1; level <= 4; ++level) {
    std::string below = "$N" + std::to_string(level - 1) + "$";
    store.Set("N" + std::to_string(level), "[" + below + "," + below + "]");
  }
}

// About `size` bytes of script-like text: words, references to known names, unknown names and
// lone dollar signs.
std::string ScriptText(std::size_t size, int referencesPer100Words, bool nested) {
  static const char* words[] = {"Installing", "the", "driver", "into", "folder", "for",
                                "version",    "of",  "setup",  "5$",   "copy",   "files"};
  static const char* names[] = {"TARGETDIR", "SUPPORTDIR", "TITLE",     "COMPANY",
                                "VERSION",   "NEWLINE",    "USERVAR17", "UNKNOWN"};
  std::mt19937 random(880);
  std::string text;
  text.reserve(size + 64);
  while (text.size() < size) {
    if (static_cast<int>(random() % 100) < referencesPer100Words) {
      text += '$';
      text += nested ? "N" + std::to_string(random() % 5) : names[random() % 8];
      text += "$ ";
    } else {
      text += words[random() % 12];
      text += ' ';
    }
  }
  return text;
}

// The baseline: find every dollar sign and copy the text around it.
std::string ScanAndCopy(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  std::size_t position = 0;
  while (position < text.size()) {
    auto dollar = text.find('$', position);
    if (dollar == std::string::npos) dollar = text.size();
    out.append(text, position, dollar - position + (dollar < text.size() ? 1 : 0));
    position = dollar + 1;
  }
  return out;
}

void RunAgainstBaseline(benchmark::State& state, const zev::TVariableManager& store,
                        const std::string& text) {
  double expandSeconds = 0;
  double copySeconds = 0;
  std::size_t expandedSize = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    std::string expanded = store.Expand(text);
    expandSeconds += std::chrono::duration<double>(Clock::now() - start).count();
    expandedSize = expanded.size();
    benchmark::DoNotOptimize(expanded.data());

    state.PauseTiming();  // interleaved, so both see the same machine state
    start = Clock::now();
    std::string copied = ScanAndCopy(text);
    copySeconds += std::chrono::duration<double>(Clock::now() - start).count();
    benchmark::DoNotOptimize(copied.data());
    if (copied != text) std::abort();
    state.ResumeTiming();
  }
  double bytes = static_cast<double>(text.size()) * static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  state.counters["expand_MBps"] = bytes / expandSeconds / 1e6;
  state.counters["copy_MBps"] = bytes / copySeconds / 1e6;
  state.counters["times_copy"] = expandSeconds / copySeconds;
  state.counters["growth"] = static_cast<double>(expandedSize) / static_cast<double>(text.size());
}

// The percentage of words that are references is the argument.
void BM_ExpandScriptText(benchmark::State& state) {
  zev::TVariableManager store;
  AddScriptVariables(store);
  std::string text = ScriptText(1 << 20, static_cast<int>(state.range(0)), false);
  RunAgainstBaseline(state, store, text);
}
BENCHMARK(BM_ExpandScriptText)->Arg(0)->Arg(5)->Arg(30)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_ExpandNestedValues(benchmark::State& state) {
  zev::TVariableManager store;
  AddNestedVariables(store);
  std::string text = ScriptText(256 << 10, 20, true);
  RunAgainstBaseline(state, store, text);
}
BENCHMARK(BM_ExpandNestedValues)->Unit(benchmark::kMillisecond);

// Time against text length with one reference in every eight bytes: linear, not quadratic.
void BM_ExpandScaling(benchmark::State& state) {
  zev::TVariableManager store;
  store.Set("N", "one");
  std::string text;
  while (text.size() < static_cast<std::size_t>(state.range(0))) text += "ab $N$ c";
  for (auto _ : state) benchmark::DoNotOptimize(store.Expand(text).data());
  state.SetComplexityN(state.range(0));
  state.SetBytesProcessed(static_cast<std::int64_t>(text.size()) * state.iterations());
}
BENCHMARK(BM_ExpandScaling)->RangeMultiplier(4)->Range(1 << 10, 1 << 22)->Complexity();

// A value that names itself: the cost of running into the replacement bound.
void BM_ExpandSelfReference(benchmark::State& state) {
  zev::TVariableManager store;
  store.Set("SELF", "x$SELF$");
  for (auto _ : state) benchmark::DoNotOptimize(store.Expand("$SELF$").data());
}
BENCHMARK(BM_ExpandSelfReference)->Unit(benchmark::kMicrosecond);

}  // namespace
