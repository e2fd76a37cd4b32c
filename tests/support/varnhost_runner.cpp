#include "support/varnhost_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

extern char** environ;

namespace varntest {
namespace {

std::string TempPath(const char* tag) {
  static int counter = 0;
  return std::string(VARN_TEST_TMP) + "/" + tag + "." + std::to_string(getpid()) + "." + std::to_string(++counter);
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

std::string Dist(const std::string& file) { return std::string(VARN_DIST_DIR) + "/" + file; }
std::string TestDriver(const std::string& file) { return std::string(VARN_TEST_DRIVERS_DIR) + "/" + file; }

HostRun RunVarnhost(const std::vector<std::string>& args, const std::string& standardInput) {
  const std::string inPath = TempPath("in"), outPath = TempPath("out"), errPath = TempPath("err");
  std::ofstream(inPath, std::ios::binary) << standardInput;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  // VARNHOST points the tests at another build of varnhost (a sanitizer build, say).
  const char* host = std::getenv("VARNHOST");
  std::vector<std::string> argv = {host != nullptr && *host != 0 ? std::string(host) : Dist("bin/varnhost")};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> cargv;
  for (auto& a : argv) cargv.push_back(a.data());
  cargv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, cargv[0], &actions, nullptr, cargv.data(), environ) != 0)
    throw std::runtime_error("cannot start " + argv[0]);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  waitpid(pid, &status, 0);
  HostRun run;
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.out = Slurp(outPath);
  run.err = Slurp(errPath);
  run.answer = Json::parse(run.out, nullptr, false);
  if (run.answer.is_discarded()) run.answer = nullptr;
  std::remove(inPath.c_str());
  std::remove(outPath.c_str());
  std::remove(errPath.c_str());
  return run;
}

HostRun RunScript(const Json& script, const std::vector<std::string>& extraArgs) {
  std::vector<std::string> args = {"script", "-"};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  return RunVarnhost(args, script.dump());
}

Json In(int width, int port, int64_t value) {
  return {{"op", "in"}, {"width", width}, {"port", port}, {"value", value}};
}
Json Out(int width, int port, int64_t value) {
  return {{"op", "out"}, {"width", width}, {"port", port}, {"value", value}};
}
Json Sleep(int ms) { return {{"op", "sleep"}, {"ms", ms}}; }

Json PortEvents(const Json& call) {
  Json events = Json::array();
  for (const Json& e : call.at("io")) {
    if (e.at("op") == "sleep")
      events.push_back(Sleep(e.at("ms").get<int>()));
    else
      events.push_back(
          {{"op", e.at("op")}, {"width", e.at("width")}, {"port", e.at("port")}, {"value", e.at("value")}});
  }
  return events;
}

std::vector<int32_t> ArchiveWords(const Json& call) {
  const std::string hex = call.at("archive").get<std::string>();
  std::vector<int32_t> words;
  for (size_t i = 0; i + 8 <= hex.size(); i += 8) {
    uint32_t w = 0;
    for (int b = 3; b >= 0; --b) w = w << 8 | uint32_t(std::stoul(hex.substr(i + size_t(b) * 2, 2), nullptr, 16));
    words.push_back(int32_t(w));
  }
  return words;
}

std::string WordsHex(const std::vector<int32_t>& words) {
  std::string hex;
  char byte[3];
  for (int32_t w : words)
    for (int b = 0; b < 4; ++b) {
      std::snprintf(byte, sizeof byte, "%02x", (uint32_t(w) >> (8 * b)) & 0xFF);
      hex += byte;
    }
  return hex;
}

Json Script(const std::string& file, const std::vector<Json>& calls, const Json& extra) {
  Json s = {{"driver", Dist(file)}, {"calls", calls}};
  for (const auto& item : extra.items()) s[item.key()] = item.value();
  return s;
}

HostRun Drive(const Json& script) {
  HostRun run = RunScript(script);
  EXPECT_EQ(run.status, 0) << run.err;
  return run;
}

Json Set(const Json& texts) { return {{"call", "SvrSetProperty"}, {"set", texts}}; }
const Json kGetProperty = {{"call", "SvrGetProperty"}};
Json HostCall(const std::string& name) { return {{"call", name}}; }

Json Enabled(std::initializer_list<int> indexes, int size) {
  Json e = Json::array();
  for (int i = 0; i < size; ++i) e.push_back(0);
  for (int i : indexes) e[size_t(i)] = 1;
  return e;
}

Json Values(double fill, int size) {
  Json v = Json::array();
  for (int i = 0; i < size; ++i) v.push_back(fill);
  return v;
}

HostRun ExpectInformationAndLifecycle(const std::string& file, const BoardInformation& board) {
  const HostRun run = Drive(Script(
      file,
      {{{"call", "SvrDoHelp"}},
       {{"call", "SvrEditProperty"}},
       {{"call", "SvrEditCustomProperty"}},
       {{"call", "SvrGetDevInfo"}, {"index", 0}},
       {{"call", "SvrGetDevInfo"}, {"index", 1}},
       {{"call", "SvrGetDevInfo"}, {"index", 2}, {"name_in", "n"}, {"file_in", "f"}, {"first_in", 7}, {"second_in", 8}},
       {{"call", "SvrExitDevRun"}},
       {{"call", "SvrInitDevSet"}},
       {{"call", "SvrExitDevRun"}},
       {{"call", "SvrExitDevRun"}},
       {{"call", "SvrInitDevRun"}}}));
  EXPECT_EQ(run.Call(0)["topic"], board.topic);
  EXPECT_EQ(run.Call(0)["context"], board.context);
  EXPECT_EQ(run.Call(1)["flag"], 1);
  EXPECT_EQ(run.Call(2)["result"], 1);
  const bool configuration = file.size() > 4 && file.compare(file.size() - 4, 4, ".dll") == 0;
  for (size_t i = 3; i < 6; ++i) {
    const Json& info = run.Call(i);
    EXPECT_EQ(info["result"], configuration ? 1 : 0);
    EXPECT_EQ(info["name"], configuration ? board.device : i == 5 ? "n" : "");
    EXPECT_EQ(info["first"], configuration ? 0 : i == 5 ? 7 : 0);
    EXPECT_EQ(info["second"], configuration ? 2 : i == 5 ? 8 : 0);
  }
  EXPECT_EQ(run.Call(3)["file"], configuration ? board.fileU : "");
  EXPECT_EQ(run.Call(4)["file"], configuration ? board.fileE : "");
  EXPECT_EQ(run.Call(5)["file"], "f");
  for (size_t i = 0; i < 7; ++i) EXPECT_FALSE(run.Call(i)["settings"]) << i;
  EXPECT_TRUE(run.Call(7)["settings"]);
  EXPECT_EQ(run.Call(7)["archive_size"], 16534);
  EXPECT_FALSE(run.Call(8)["settings"]);
  EXPECT_EQ(run.Call(9)["result"], 1);
  EXPECT_TRUE(run.Call(kInitDevRunCall)["settings"]) << "a run started without settings gets them first";
  EXPECT_EQ(run.Call(kInitDevRunCall)["result"], 1);
  return run;
}

void AddChannels(Json& names, Json& kinds, int count, const std::string& format, int first, int kind) {
  const size_t at = format.find("%d");
  for (int k = 0; k < count; ++k) {
    names.push_back(format.substr(0, at) + std::to_string(first + k) + format.substr(at + 2));
    kinds.push_back(kind);
  }
}

}  // namespace varntest
