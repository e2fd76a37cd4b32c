// Runs dist/bin/varnhost on host scripts, the way outside checks do, and hands back its answer.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace varntest {

using Json = nlohmann::json;

struct HostRun {
  int status = -1;  // exit status of varnhost
  std::string out;  // standard output
  std::string err;  // standard error
  Json answer;      // standard output as JSON (null when it is not)

  const Json& Call(size_t i) const { return answer.at("calls").at(i); }
};

// The deliverables' folder and the folder of the test-only drivers.
std::string Dist(const std::string& file);
std::string TestDriver(const std::string& file);

HostRun RunVarnhost(const std::vector<std::string>& args, const std::string& standardInput = "");
HostRun RunScript(const Json& script, const std::vector<std::string>& extraArgs = {});

// A host script for a driver file in dist/: its calls, and further fields (bus, values, archive).
Json DriverScript(const std::string& file, const std::vector<Json>& calls, const Json& extra = Json::object());
// Runs a script that must run to its end (a failing varnhost fails the test).
HostRun MustRun(const Json& script);
// A call without fields, {"call": name}.
Json HostCall(const std::string& name);

// Bus events of one call, filtered: "in"/"out" events as {op, width, port, value}; sleeps as {op, ms}.
Json PortEvents(const Json& call);
Json In(int width, int port, int64_t value);
Json Out(int width, int port, int64_t value);
Json Sleep(int ms);

// The archive's bytes as 32-bit little-endian words (from the answer's hex).
std::vector<int32_t> ArchiveWords(const Json& call);
std::string WordsHex(const std::vector<int32_t>& words);

}  // namespace varntest
