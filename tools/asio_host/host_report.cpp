#include "host_report.h"

#include <cstdio>

namespace tx880::asio_host {

namespace {

std::string Channels(const std::vector<ChannelUse>& channels) {
  if (channels.empty()) return "none";
  std::string text;
  for (const ChannelUse& use : channels) {
    if (!text.empty()) text += ",";
    text += std::to_string(use.deviceChannel);
  }
  return text + " (" + std::to_string(channels.front().bytes * 8) + "-bit)";
}

std::string VerdictLine(const char* what, const CheckResult& result) {
  const char* verdict = result.verdict == Verdict::Intact    ? "yes"
                        : result.verdict == Verdict::Damaged ? "NO"
                                                             : "not checked";
  std::string line = std::string(what) + ": " + verdict;
  if (!result.detail.empty()) line += " (" + result.detail + ")";
  return line + "\n";
}

std::string Format(const char* format, double a, double b) {
  char text[160];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

}  // namespace

std::string FormatReport(const SessionReport& report) {
  std::string text;
  text += "driver: " + report.driverName + " (version " + std::to_string(report.driverVersion) + ")\n";
  text += "buffer: " + std::to_string(report.bufferSize) + " frames at " +
          Format("%.0f Hz (%.3f ms)", report.sampleRate, report.periodMs) + "\n";
  text += "inputs: " + Channels(report.inputs) + "\n";
  text += "outputs: " + Channels(report.outputs) + "\n";
  text += "switches: " + std::to_string(report.switches) + "\n";
  text += "missed periods: " + std::to_string(report.missedPeriods) + "\n";
  text += Format("time between switches: longest %.3f ms, mean %.3f ms", report.longestGapMs,
                 report.meanGapMs) +
          " (longest before switch " + std::to_string(report.longestGapSwitch) + ")\n";
  text += Format("time in bufferSwitch: mean %.1f us, max %.1f us\n", report.meanCallbackUs,
                 report.maxCallbackUs);
  if (report.halfErrors != 0) text += "switches to the wrong half: " + std::to_string(report.halfErrors) + "\n";
  if (report.resetRequests != 0) text += "driver asked for a reset: " + std::to_string(report.resetRequests) + " times\n";
  text += VerdictLine("output reached the device intact", report.output);
  text += VerdictLine("input reached the host intact", report.input);
  text += std::string("result: ") + (report.Good() ? "ok" : "FAILED") + "\n";
  return text;
}

}  // namespace tx880::asio_host
