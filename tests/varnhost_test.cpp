// varnhost itself: the trap of every access form, the clocks, scripted reads, crash containment,
// and clear errors for bad input. Driven through a test-only probe driver.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "support/varnhost_runner.h"

using namespace varntest;

namespace {

Json ProbeScript(const std::string& file, const std::vector<Json>& calls, const Json& extra = Json::object()) {
  Json s = {{"driver", TestDriver(file)}, {"calls", calls}};
  for (const auto& item : extra.items()) s[item.key()] = item.value();
  return s;
}

Json Command(const std::string& text) { return {{"call", "SvrDevIOCtrl"}, {"command", text}}; }
const Json kCollect = {{"call", "SvrCollectDevData"}};

class ProbeBuilds : public ::testing::TestWithParam<const char*> {};
INSTANTIATE_TEST_SUITE_P(BothMachines, ProbeBuilds, ::testing::Values("ProbeE.drv", "ProbeE_ARMV4.drv"));

}  // namespace

TEST(Trap, EveryPortInstructionFormOfX86) {
  const Json reads = {{{"port", 0x61}, {"values", {0x42, 0x43}}},
                      {{"port", 0x300}, {"values", {0x12}}},
                      {{"port", 0x302}, {"width", 16}, {"values", {0x3456}}},
                      {{"port", 0x304}, {"width", 32}, {"values", {0x789ABCDE}}}};
  const HostRun run =
      RunScript(ProbeScript("ProbeE.drv", {kCollect, kCollect}, {{"bus", {{"reads", reads}}}, {"values", 12}}));
  ASSERT_EQ(run.status, 0) << run.err;
  const Json& pass = run.Call(0);
  EXPECT_EQ(pass["result"], 7);
  EXPECT_EQ(PortEvents(pass),
            Json({In(8, 0x61, 0x42), In(16, 0x62, 0xFFFF), In(32, 0x64, 0xFFFFFFFFu), In(8, 0x300, 0x12),
                  In(16, 0x302, 0x3456), In(32, 0x304, 0x789ABCDE), Out(8, 0x80, 0x11), Out(16, 0x82, 0x2222),
                  Out(32, 0x84, 0x44444444), Out(8, 0x310, 0x55), Out(16, 0x312, 0x6666), Out(32, 0x314, 0x77777777)}));
  for (const Json& e : pass["io"]) EXPECT_EQ(e["via"], "io");
  // A byte read replaces AL only, a word read AX only; the registers resume as the CPU leaves them.
  EXPECT_EQ(pass["values"][0], double(0xABCD1242u));
  EXPECT_EQ(pass["values"][1], double(0xABCDFFFFu));
  EXPECT_EQ(pass["values"][2], double(0xFFFFFFFFu));
  EXPECT_EQ(pass["values"][5], double(0x789ABCDE));
  EXPECT_EQ(run.Call(1)["values"][0], double(0xABCD1243u)) << "the scripted list goes on";
  EXPECT_EQ(run.Call(1)["io"][3]["value"], 0x12) << "and its last value repeats";
}

TEST(Trap, EveryLoadAndStoreFormOfArm) {
  const Json reads = {{{"port", 0x308}, {"values", {0x80}}},
                      {{"port", 0x30A}, {"width", 16}, {"values", {0x8001}}},
                      {{"port", 0x304}, {"width", 32}, {"values", {0x89ABCDEF}}}};
  const HostRun run =
      RunScript(ProbeScript("ProbeE_ARMV4.drv", {kCollect}, {{"bus", {{"reads", reads}}}, {"values", 12}}));
  ASSERT_EQ(run.status, 0) << run.err;
  const Json& pass = run.Call(0);
  EXPECT_EQ(PortEvents(pass),
            Json({In(8, 0x301, 0xFF), In(16, 0x302, 0xFFFF), In(32, 0x304, 0x89ABCDEF), In(8, 0x308, 0x80),
                  In(16, 0x30A, 0x8001), In(8, 0x30C, 0xFF), In(8, 0x310, 0xFF), In(8, 0x320, 0xFF),
                  Out(8, 0x340, 0x55), Out(16, 0x342, 0x6666), Out(32, 0x344, 0x77777777), Out(8, 0x2F0, 0x88)}));
  for (const Json& e : pass["io"]) EXPECT_EQ(e["via"], "memory");
  EXPECT_EQ(pass["values"][3], double(0xFFFFFF80u)) << "signed byte load";
  EXPECT_EQ(pass["values"][4], double(0xFFFF8001u)) << "signed halfword load";
  EXPECT_EQ(pass["values"][8], double(0x312)) << "post-indexed write-back";
  EXPECT_EQ(pass["values"][9], double(0x320)) << "pre-indexed write-back";
}

TEST_P(ProbeBuilds, CrashesAreReportedWithTheCallAndWhatRanBefore) {
  for (const char* crash : {"segv", "ill", "abort"}) {
    const HostRun run = RunScript(ProbeScript(GetParam(), {{{"call", "SvrDoHelp"}}, Command(crash), kCollect}));
    EXPECT_NE(run.status, 0) << crash;
    EXPECT_NE(run.err.find("driver crashed during SvrDevIOCtrl"), std::string::npos) << crash << ": " << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    ASSERT_TRUE(run.answer.is_object()) << run.out;
    EXPECT_EQ(run.answer["calls"].size(), 1u);
    EXPECT_EQ(run.answer["calls"][0]["topic"], "Probe");
    EXPECT_NE(run.answer["error"].get<std::string>().find("SvrDevIOCtrl"), std::string::npos);
  }
}

TEST_P(ProbeBuilds, AHungCallAndARunawayCallAreEndedWithAReason) {
  HostRun run = RunScript(ProbeScript(GetParam(), {Command("hang")}), {"--watchdog", "1"});
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.err.find("SvrDevIOCtrl: the call did not return within 1 s"), std::string::npos) << run.err;
  run = RunScript(ProbeScript(GetParam(), {Command("flood")}));
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.err.find("more than 2000000 bus accesses"), std::string::npos) << run.err;
}

TEST_P(ProbeBuilds, VirtualWaitsAreRecordedAndInstantRealOnesTakeTheirTime) {
  auto timed = [&](const char* clock) {
    const auto start = std::chrono::steady_clock::now();
    const HostRun run =
        RunScript(ProbeScript(GetParam(), {Command("sleep"), Command("sleep"), Command("sleep")}, {{"clock", clock}}));
    EXPECT_EQ(run.status, 0) << run.err;
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(PortEvents(run.Call(i)), Json({Sleep(25)}));
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  const double real = timed("real"), virtualClock = timed("virtual");
  EXPECT_GE(real, 0.075);
  EXPECT_LT(virtualClock, real);
}

TEST(Script, ValuesPassThroughWithTheirNonFiniteSpellings) {
  const HostRun run =
      RunScript(ProbeScript("ProbeE.drv", {Command("nothing")}, {{"values", {1.5, "nan", "inf", "-inf"}}}));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.Call(0)["result"], 5);
  EXPECT_EQ(run.Call(0)["values"], Json({1.5, "nan", "inf", "-inf"}));
  EXPECT_FALSE(run.Call(0)["settings"]);
  EXPECT_EQ(run.Call(0)["archive_size"], 0);
  EXPECT_EQ(run.Call(0)["archive"], "");
}

TEST(Script, ArmDriversRunTheArmBuildFromAFileOrStandardInput) {
  const Json script = ProbeScript("ProbeE_ARMV4.drv", {{{"call", "SvrDoHelp"}}});
  const std::string path = std::string(VARN_TEST_TMP) + "/arm-script.json";
  std::ofstream(path) << script.dump();
  for (const HostRun& run : {RunVarnhost({"script", path}), RunScript(script)}) {
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.answer["flavour"], "arm");
    EXPECT_EQ(run.Call(0)["topic"], "Probe");
  }
}

TEST(Script, BadInputIsRefusedWithOneClearLine) {
  const std::string notADriver = std::string(VARN_TEST_TMP) + "/NotADriverE.drv";
  std::ofstream(notADriver) << "hello";
  struct Case {
    std::string script;
    std::string message;
  };
  const std::string probe = "\"" + TestDriver("ProbeE.drv") + "\"";
  const Case cases[] = {
      {"{\"driver\": ", "malformed JSON"},
      {"[]", "must be an object"},
      {"{\"calls\": []}", "\"driver\" is required"},
      {"{\"driver\": " + probe + "}", "\"calls\" is required"},
      {"{\"driver\": \"nowhere/XE.drv\", \"calls\": []}", "no such file: nowhere/XE.drv"},
      {"{\"driver\": \"" + notADriver + "\", \"calls\": []}", "not a driver"},
      {"{\"driver\": \"" + TestDriver("ProbeE.so") + "\", \"calls\": []}", "not a driver file name"},
      {"{\"driver\": \"" + TestDriver("MissingE.drv") + "\", \"calls\": []}", "entry point SvrGetDevInfo missing"},
      {"{\"driver\": " + probe + ", \"calls\": [{\"call\": \"SvrFrobnicate\"}]}",
       "calls[0]: unknown call \"SvrFrobnicate\""},
      {"{\"driver\": " + probe + ", \"calls\": [{\"call\": \"SvrDevIOCtrl\"}]}", "SvrDevIOCtrl needs \"command\""},
      {"{\"driver\": " + probe + ", \"calls\": [{\"call\": \"SvrDoHelp\", \"index\": 1}]}",
       "unknown field \"index\" for SvrDoHelp"},
      {"{\"driver\": " + probe + ", \"calls\": [], \"clock\": \"fast\"}", "clock: must be \"virtual\" or \"real\""},
      {"{\"driver\": " + probe + ", \"calls\": [], \"archive\": \"0g\"}", "not a hex digit"},
      {"{\"driver\": " + probe + ", \"calls\": [], \"archive\": \"012\"}", "odd length"},
      {"{\"driver\": " + probe + ", \"calls\": [], \"values\": [1, \"x\"]}", "values[1]: must be a number"},
      {"{\"driver\": " + probe + ", \"calls\": [], \"values\": -1}", "values: must lie between"},
      {"{\"driver\": " + probe + ", \"calls\": [], \"bus\": {\"board\": \"nope\"}}", "no simulated board \"nope\""},
      {"{\"driver\": " + probe + ", \"calls\": [], \"bus\": {\"board\": \"tavrel\", \"inputs\": {\"ad99\": 1}}}",
       "has no input \"ad99\""},
      {"{\"driver\": " + probe +
           ", \"calls\": [], \"bus\": {\"reads\": [{\"port\": 1, \"width\": 12, \"values\": [1]}]}}",
       "must be 8, 16 or 32"},
      {"{\"driver\": " + probe + ", \"calls\": [], \"bus\": {\"reads\": [{\"port\": 1, \"values\": [256]}]}}",
       "must lie between 0 and 255"},
      {"{\"driver\": " + probe + ", \"calls\": [{\"call\": \"SvrCollectDevData\", \"enabled\": [1, 0.5]}]}",
       "enabled[1]: must be an integer"},
      {"{\"driver\": " + probe + ", \"calls\": [], \"extra\": 1}", "unknown field \"extra\""},
  };
  for (const Case& c : cases) {
    const HostRun run = RunVarnhost({"script", "-"}, c.script);
    EXPECT_EQ(run.status, 2) << c.script;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.script << "\n" << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(run.out, "") << c.script;
  }
  EXPECT_NE(RunVarnhost({"script", "/no/such/script.json"}).status, 0);
}

TEST(Script, ErrorsWhileCallsRunLeaveTheAnswersSoFar) {
  struct Case {
    Json script;
    std::string message;
  };
  const Case cases[] = {
      {ProbeScript("ProbeE.drv", {{{"call", "SvrDoHelp"}}, {{"call", "SvrSetProperty"}, {"set", {{"probe", "1"}}}}}),
       "calls[1] SvrSetProperty: SvrSetProperty with \"set\" needs an SvrGetProperty call before it"},
      {ProbeScript("ProbeE.drv",
                   {{{"call", "SvrGetProperty"}}, {{"call", "SvrSetProperty"}, {"set", {{"nope", "1"}}}}}),
       "no property \"nope\" in the last SvrGetProperty answer"},
      {{{"driver", Dist("Tavrel.dll")}, {"calls", {Command("VARN_WRITE(1=1)"), Command("VARN_WRITE(1=😀)")}}},
       "text cannot be written in GBK"},
  };
  for (const Case& c : cases) {
    const HostRun run = RunScript(c.script);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    ASSERT_TRUE(run.answer.is_object()) << run.out;
    EXPECT_EQ(run.answer["calls"].size(), 1u);
    EXPECT_NE(run.answer["error"].get<std::string>().find(c.message), std::string::npos);
  }
}

TEST(People, ShowAndRunPrintReadableTables) {
  HostRun run = RunVarnhost({"show", Dist("Tavrel.dll")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("device \"Tavrel\", runtime files \"TavrelU.drv\" and \"TavrelE.drv\""), std::string::npos);
  EXPECT_NE(run.out.find("0 - ±5V | 1 - ±10V | 2 - 0 ～ 10V"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("channels (47)"), std::string::npos);
  run = RunVarnhost({"run", Dist("TavrelE.drv"), "--board", "tavrel", "--cycles", "2", "--input", "ad3=-1.5", "--set",
                     "重复采集次数=3", "--write", "VARN_WRITE(5=2.5)"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("cycle 2"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("out16 port 0x106 <- 0xC00"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("-1.499023"), std::string::npos) << "the input voltage of AD3, as converted:\n" << run.out;
  run = RunVarnhost({"run", Dist("TavrelE_ARMV4.drv"), "--board", "tavrel", "--cycles", "1"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("4.997559"), std::string::npos) << "the ARM build reads its stub\n" << run.out;
  // Real ports only when asked for, and never together with a simulated board.
  EXPECT_NE(RunVarnhost({"run", Dist("TavrelE.drv")}).status, 0);
  EXPECT_NE(RunVarnhost({"run", Dist("TavrelE.drv"), "--board", "tavrel", "--hardware"}).status, 0);
  run = RunVarnhost({"run", Dist("TavrelE.drv"), "--board", "tavrel", "--set", "nope=1"});
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.err.find("no property \"nope\""), std::string::npos) << run.err;
}
