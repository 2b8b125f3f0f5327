// The command loop on long scripts: a straight run of N "Set Variable" and "Mathematics"
// commands, and a "GoTo Label" loop around them, against splitting the same script text into
// lines in the same run. The time per command must not grow with the script's length.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "script_text.h"
#include "setup/engine/script_runner.h"
#include "setup/platform/sim/sim_machine.h"
#include "setup/startup/language_file.h"
#include "support/temp_folder.h"

namespace {

using zev::testing::ScriptCommand;
using Clock = std::chrono::steady_clock;

std::vector<ScriptCommand> StraightScript(std::size_t commands) {
  std::vector<ScriptCommand> script;
  script.push_back({"Set Variable", {"N", "0"}});
  while (script.size() < commands) {
    script.push_back({"Mathematics", {"$N$", "3", "0", "N"}});
    script.push_back({"Set Variable", {"TEXT", "value $N$ of $TITLE$"}});
  }
  return script;
}

std::vector<ScriptCommand> LoopScript(std::size_t rounds) {
  return {{"Set Variable", {"N", "0"}},
          {"Label", {"top"}},
          {"Mathematics", {"$N$", "1", "0", "N"}},
          {"Set Variable", {"TEXT", "round $N$"}},
          {"If", {"N", "0", std::to_string(rounds), "TRUE"}},
          {"GoTo Label", {"top"}},
          {"End", {}}};
}

// Runs a parsed script on a simulated machine without a log, as the setup program would.
class Bench {
 public:
  Bench() {
    state_.supportDir = R"(C:\Temp\zev1\)";
    machine_.files.WriteText(state_.supportDir + "setup.msi", "database");
  }

  double SecondsToRun(const zev::ScriptLists& script) {
    zev::TVariableManager store;
    zev::Variables variables(store, {});
    zev::RandomGenerator random;
    zev::RunServices services;
    zev::EngineSession session;
    zev::SetupLog log(machine_.files, machine_.system);
    zev::ScriptRunner runner(script, variables, random, services,
                             {machine_.files, machine_.system, machine_.ui, log, messages_, state_, session});
    auto start = Clock::now();
    runner.Run(state_.supportDir + "setup.msi");
    return std::chrono::duration<double>(Clock::now() - start).count();
  }

 private:
  zev::testing::TempFolder folder_;
  zev::sim::SimMachine machine_{folder_.path()};
  zev::StartupState state_;
  zev::EngineMessages messages_;
};

// baseline: a script text of as many commands as the run carries out, split into lines.
void Measure(benchmark::State& state, const std::string& text, const std::string& baseline,
             std::size_t commandsRun) {
  zev::ScriptLists script = zev::ParseScript(text);
  Bench bench;
  double run = 0, split = 0;
  for (auto _ : state) {
    double seconds = bench.SecondsToRun(script);
    auto start = Clock::now();
    auto lines = zev::SplitLines(baseline);
    benchmark::DoNotOptimize(lines);
    double splitSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(seconds);
    run += seconds;
    split += splitSeconds;
  }
  state.counters["ns_per_command"] = run * 1e9 / (static_cast<double>(commandsRun) * state.iterations());
  state.counters["ratio_to_split"] = run / split;
  state.SetComplexityN(static_cast<benchmark::IterationCount>(commandsRun));
}

void BM_RunStraightScript(benchmark::State& state) {
  auto commands = static_cast<std::size_t>(state.range(0));
  std::string text = zev::testing::ScriptText(StraightScript(commands));
  Measure(state, text, text, commands);
}
BENCHMARK(BM_RunStraightScript)->Arg(10000)->Arg(100000)->UseManualTime()
    ->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

void BM_RunLoop(benchmark::State& state) {
  auto rounds = static_cast<std::size_t>(state.range(0));
  // Five commands a round: the arithmetic, the text, the condition, the jump and the label.
  Measure(state, zev::testing::ScriptText(LoopScript(rounds)),
          zev::testing::ScriptText(StraightScript(rounds * 5)), rounds * 5);
}
BENCHMARK(BM_RunLoop)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
