// Loading and compiling a large script, and reading every command's parameters, against the
// cost of reading the same file and splitting it into lines, measured in the same run. The
// ratios say what the lists, the parameter index and the checks cost on top of the split.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "setup/engine/compile_script.h"
#include "setup/engine/expression.h"
#include "setup/engine/script_lists.h"
#include "setup/platform/error.h"
#include "setup/startup/language_file.h"
#include "support/memory_file_system.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

using zev::testing::MemoryFileSystem;

struct Command {
  std::string name;
  std::vector<std::string> parameters;
};

// A valid script of about `count` commands in the mix an installation script has: variables,
// conditions, files, registry, dialogs, expressions, comments and labels.
std::string GenerateScript(std::size_t count) {
  std::vector<Command> commands;
  for (std::size_t i = 0; commands.size() < count; ++i) {
    std::string n = std::to_string(i);
    commands.push_back({"Set Variable", {"VAR" + n + (i % 7 == 0 ? "$VORN$VORN$TRUE" : ""), "value " + n}});
    commands.push_back({"If", {"VAR" + n, "0", "$TITLE$", "FALSE"}});
    commands.push_back({"Install Files", {"file" + n + ".dll", "OFFLINE\\", "$TARGETDIR$", "FALSE",
                                          "FALSE", "FALSE", "", "TRUE"}});
    commands.push_back({"Write Registry", {"HKEY_LOCAL_MACHINE", "SOFTWARE\\Corvane\\TX880", "Value" + n,
                                           "$VAR" + n + "$", "0", "FALSE"}});
    commands.push_back({"End", {}});
    commands.push_back({"Evaluate Expression", {"$VAR" + n + "$ = \"x\" and \"a\" < \"b\"", "RESULT"}});
    commands.push_back({"Comment", {"Step " + n}});
    commands.push_back({"Label", {"Step" + n}});
    commands.push_back({"Display Dialog", {"page" + std::to_string(i % 10), "WIZARD", "TRUE", "", "TRUE", "FALSE"}});
    commands.push_back({"GoTo Label", {"Step" + n}});
  }
  commands.resize(count);
  // Cutting the last group may leave an "If" open: close it.
  long depth = 0;
  for (const auto& c : commands) depth += c.name == "If" ? 1 : c.name == "End" ? -1 : 0;
  if (depth > 0) commands.push_back({"End", {}});

  std::string text;
  auto line = [&text](const std::string& value) { text += value + "\r\n"; };
  auto id = [](std::size_t index) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "{5B8F0D1E-3C2A-4E6B-9A71-%012zu}", index);
    return std::string(buffer);
  };
  for (const auto& c : commands) line(c.name);
  line("$");
  for (std::size_t i = 0; i < commands.size(); ++i) line(id(i));
  line("$");
  for (std::size_t i = 0; i < commands.size(); ++i) {
    if (commands[i].parameters.empty()) continue;
    line(id(i));
    for (const auto& p : commands[i].parameters) line(p);
  }
  line("$");
  for (std::size_t i = 0; i < commands.size(); ++i) line("");
  line("$");
  for (const char* fixed : {"{7C1A2B3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D}", "TX880", "$", "Corvane", "", "", "", "", "1.0", "$"})
    line(fixed);
  for (std::size_t i = 0; i < commands.size(); ++i) line(commands[i].name == "Install Files" ? "OFFLINE\\" : "");
  line("$");
  for (const char* fixed : {"1", "VORN-PREDEF-COMPONENT", "297472", "$", "{8D2B3C4E-5F60-4B7C-9D8E-0F1A2B3C4D5E}", "$",
                            "FALSE", "English"})
    line(fixed);
  for (std::size_t i = 0; i < commands.size(); ++i)
    if (commands[i].name == "Install Files" || commands[i].name == "Write Registry") {
      char header[16];
      std::snprintf(header, sizeof header, "%08zX", i);
      line(header);
      line(std::to_string(i));
    }
  line("$");
  line("LANGUAGE");
  line("English");
  line("$");
  return text;
}

MemoryFileSystem& Files(std::size_t commands) {
  static std::map<std::size_t, std::unique_ptr<MemoryFileSystem>> cache;
  auto& files = cache[commands];
  if (!files) files = std::make_unique<MemoryFileSystem>(GenerateScript(commands));
  return *files;
}

// The baseline: the whole file read and split into lines.
double ReadAndSplitSeconds(MemoryFileSystem& files) {
  auto start = Clock::now();
  auto input = files.OpenForReading("C:\\Temp\\zev.tmp");
  std::string text(static_cast<std::size_t>(input->Size()), '\0');
  input->Read(text.data(), text.size());
  auto lines = zev::SplitLines(text);
  benchmark::DoNotOptimize(lines.data());
  return Since(start);
}

void BM_LoadAndCompile(benchmark::State& state) {
  MemoryFileSystem& files = Files(static_cast<std::size_t>(state.range(0)));
  const zev::ExpressionCheck check = zev::ExpressionPassesCompileCheck;
  double load = 0, compile = 0, baseline = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    zev::ScriptLists script = zev::ReadScript(files, "C:\\Temp\\zev.tmp");
    load += Since(start);
    start = Clock::now();
    zev::NameSet symbols;
    zev::CompileResult result = zev::CompileScript(script, symbols, check);
    compile += Since(start);
    if (!result.Valid()) {
      state.SkipWithError(result.message.c_str());
      break;
    }
    state.PauseTiming();
    { zev::ScriptLists dropped = std::move(script); }  // freeing is not part of loading
    baseline += ReadAndSplitSeconds(files);  // interleaved, so both see the same machine state
    state.ResumeTiming();
  }
  state.SetComplexityN(state.range(0));
  state.counters["load_x_split"] = load / baseline;
  state.counters["compile_x_split"] = compile / baseline;
  state.counters["total_x_split"] = (load + compile) / baseline;
}
BENCHMARK(BM_LoadAndCompile)->Arg(10000)->Arg(30000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

void BM_GetParameterOfEveryCommand(benchmark::State& state) {
  MemoryFileSystem& files = Files(static_cast<std::size_t>(state.range(0)));
  zev::ScriptLists script = zev::ReadScript(files, "C:\\Temp\\zev.tmp");
  double lookups = 0, baseline = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    std::size_t total = 0;
    for (std::size_t i = 0; i < script.CommandCount(); ++i) total += script.GetParameter(i, 1).size();
    benchmark::DoNotOptimize(total);
    lookups += Since(start);
    state.PauseTiming();
    baseline += ReadAndSplitSeconds(files);
    state.ResumeTiming();
  }
  state.SetComplexityN(state.range(0));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
  state.counters["x_split"] = lookups / baseline;
}
BENCHMARK(BM_GetParameterOfEveryCommand)->Arg(10000)->Arg(30000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

}  // namespace
