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

// Bus events of one call, filtered: "in"/"out" events as {op, width, port, value}; sleeps as {op, ms}.
Json PortEvents(const Json& call);
Json In(int width, int port, int64_t value);
Json Out(int width, int port, int64_t value);
Json Sleep(int ms);

// The archive's bytes as 32-bit little-endian words (from the answer's hex).
std::vector<int32_t> ArchiveWords(const Json& call);
std::string WordsHex(const std::vector<int32_t>& words);

// The board tests' scripts: calls on one shipped file of dist/, extra fields beside them.
Json Script(const std::string& file, const std::vector<Json>& calls, const Json& extra = Json::object());
HostRun Drive(const Json& script);  // RunScript, expecting varnhost to run the script to its end
Json Set(const Json& texts);        // SvrSetProperty of name -> text over the last SvrGetProperty
extern const Json kGetProperty;
Json HostCall(const std::string& name);                      // a call without fields, {"call": name}
Json Enabled(std::initializer_list<int> indexes, int size);  // enable flags: 1 at the indexes, 0 elsewhere
Json Values(double fill, int size);                          // a value array of one value
// The information entry points of a board file (SvrDoHelp, SvrEditProperty, SvrEditCustomProperty,
// SvrGetDevInfo of index 0, 1 and 2) checked against the board's, and the settings lifecycle around
// them (SvrExitDevRun without settings, SvrInitDevSet, SvrExitDevRun twice, then SvrInitDevRun on
// a record without settings). Gives the run; call kInitDevRunCall is the SvrInitDevRun.
struct BoardInformation {
  std::string topic;
  uint32_t context;
  std::string device, fileU, fileE;
};
constexpr size_t kInitDevRunCall = 10;
HostRun ExpectInformationAndLifecycle(const std::string& file, const BoardInformation& board);

// Appends count channel names of a format with one %d, numbered from first, and their kind.
void AddChannels(Json& names, Json& kinds, int count, const std::string& format, int first, int kind);

}  // namespace varntest
