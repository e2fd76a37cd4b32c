// Every shipped driver file exports exactly the thirteen entry points and nothing else.
#include <dirent.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>

#include "support/varnhost_runner.h"

using namespace varntest;

namespace {

const std::set<std::string> kEntryPoints = {
    "SvrCollectDevData",    "SvrDevIOCtrl",  "SvrDoHelp",     "SvrEditCustomProperty", "SvrEditProperty",
    "SvrEnumPropertyValue", "SvrExitDevRun", "SvrGetChannel", "SvrGetDevInfo",         "SvrGetProperty",
    "SvrInitDevRun",        "SvrInitDevSet", "SvrSetProperty"};

std::vector<std::string> ShippedFiles() {
  std::vector<std::string> files;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(Dist("").c_str()), closedir);
  if (!dir) return files;
  while (dirent* e = readdir(dir.get())) {
    const std::string name = e->d_name;
    if (name.size() > 4 &&
        (name.compare(name.size() - 4, 4, ".dll") == 0 || name.compare(name.size() - 4, 4, ".drv") == 0))
      files.push_back(name);
  }
  return files;
}

// The dynamic symbol table as binutils reads it: defined names only.
std::set<std::string> NmDefined(const std::string& path) {
  std::set<std::string> names;
  std::unique_ptr<FILE, int (*)(FILE*)> nm(popen(("nm -D --defined-only '" + path + "'").c_str(), "r"), pclose);
  char line[512];
  while (nm && fgets(line, sizeof line, nm.get())) {
    std::string l(line);
    while (!l.empty() && (l.back() == '\n' || l.back() == '\r')) l.pop_back();
    names.insert(l.substr(l.rfind(' ') + 1));
  }
  return names;
}

}  // namespace

TEST(Exports, EveryShippedFileExportsTheThirteenEntryPointsOnly) {
  const auto files = ShippedFiles();
  ASSERT_FALSE(files.empty());
  for (const std::string& file : files) {
    EXPECT_EQ(NmDefined(Dist(file)), kEntryPoints) << file;
    const HostRun run = RunScript({{"driver", Dist(file)}, {"calls", Json::array()}});
    ASSERT_EQ(run.status, 0) << file << ": " << run.err;
    EXPECT_EQ(run.answer["exports"], Json(std::vector<std::string>(kEntryPoints.begin(), kEntryPoints.end()))) << file;
  }
}

TEST(Exports, TheFlavourFollowsTheFileName) {
  for (const auto& [file, flavour] : std::vector<std::pair<std::string, std::string>>{
           {"Tavrel.dll", "configuration"}, {"TavrelE.drv", "x86"}, {"TavrelE_ARMV4.drv", "arm"}}) {
    const HostRun run = RunScript({{"driver", Dist(file)}, {"calls", Json::array()}});
    EXPECT_EQ(run.answer["flavour"], flavour) << file;
  }
}
