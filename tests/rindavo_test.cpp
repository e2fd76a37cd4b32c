// The Rindavo driver in its three shipped builds: the run start, both kinds of acquisition pass
// with their waits and the poll budget, the two reductions, and the digital and analog writers.
// Exact port sequences on the x86 build; the configuration and ARM builds run on the zero stub.
#include <gtest/gtest.h>

#include <climits>

#include "support/varnhost_runner.h"

using namespace varntest;

namespace {

constexpr int B = 768;  // the default base address
constexpr int kStatus = B + 8, kAdLow = B + 0, kAdHigh = B + 1, kMux = B + 2;

// Settings in index order: base, samples, reduction, input mode, range, JP7, D/A range.
std::string Archive(int samples, int reduce = 0, int mode = 0, int range = 0, int jp7 = 0, int da = 0) {
  return WordsHex({B, samples, reduce, mode, range, jp7, da});
}

const Json kCollect = HostCall("SvrCollectDevData");
Json Write(const std::string& command) { return {{"call", "SvrDevIOCtrl"}, {"command", command}}; }

// One runtime sample of input k: select, start, 1 ms, the status reads (1 ms after each busy one),
// the two result bytes.
void Sample(Json& io, int k, const std::vector<int>& status, int low, int high) {
  for (const Json& e : {Out(8, kMux, k), Out(8, kAdLow, 0), Sleep(1)}) io.push_back(e);
  for (int s : status) {
    io.push_back(In(8, kStatus, s));
    if (s & 0x80) io.push_back(Sleep(1));
  }
  io.push_back(In(8, kAdLow, low));
  io.push_back(In(8, kAdHigh, high));
}

double Volts(double fullScale, int count) { return -fullScale + 2 * fullScale * count / 4096.0; }

size_t CountEvents(const Json& call, const Json& like) {
  size_t n = 0;
  for (const Json& e : PortEvents(call)) n += e == like;
  return n;
}

}  // namespace

TEST(Rindavo, RunStartProgramsTheCountersAndARangeCodePerInput) {
  struct Case {
    int mode, range, jp7, inputs, code;
  };
  // JP7 in its five-volt position reaches range 0 only as range 1 (code r - 1); in its ten-volt
  // position range 4 only as range 3 (code r).
  const Case cases[] = {{0, 0, 0, 16, 0}, {0, 1, 0, 16, 0}, {1, 2, 0, 8, 1},  {0, 4, 0, 16, 3},
                        {1, 0, 1, 8, 0},  {0, 2, 1, 16, 2}, {0, 4, 1, 16, 3}, {2, 3, 1, 16, 3}};
  for (const Case& c : cases) {
    const HostRun run = Drive(
        Script("RindavoE.drv", {HostCall("SvrInitDevRun")}, {{"archive", Archive(10, 0, c.mode, c.range, c.jp7)}}));
    Json io = {Out(8, B + 15, 0x34), Out(8, B + 12, 0xFF), Out(8, B + 12, 0xFF),
               Out(8, B + 15, 0x74), Out(8, B + 13, 0xFF), Out(8, B + 13, 0xFF),
               Out(8, B + 15, 0xB4), Out(8, B + 14, 0xFF), Out(8, B + 14, 0xFF)};
    for (int k = 0; k < c.inputs; ++k)
      for (const Json& e : {Out(8, kMux, k == 0 ? 0 : (k - 1) * 16 + k), Sleep(5), Out(8, kAdHigh, c.code)})
        io.push_back(e);
    EXPECT_EQ(PortEvents(run.Call(0)), io) << "mode " << c.mode << " range " << c.range << " jp7 " << c.jp7;
    EXPECT_EQ(run.Call(0)["result"], 1);
  }
  // The zero-stub builds: the ARM build waits 5 ms per input, the configuration build not at all.
  const HostRun arm = Drive(Script("RindavoE_ARMV4.drv", {HostCall("SvrInitDevRun")}));
  EXPECT_EQ(PortEvents(arm.Call(0)), Json(std::vector<Json>(16, Sleep(5))));
  const HostRun configuration = Drive(Script("Rindavo.dll", {HostCall("SvrInitDevRun")}));
  EXPECT_EQ(PortEvents(configuration.Call(0)), Json::array());
}

TEST(Rindavo, RuntimePassConvertsEachInputAndScalesItToTheEffectiveRange) {
  // Differential inputs, two samples each, JP7 ten-volt position with range 0: ±10 V.
  std::vector<uint32_t> highs;
  for (int k = 0; k < 8; ++k)
    for (int i = 1; i <= 2; ++i) highs.push_back(uint32_t(10 * k + i));
  const Json reads = {{{"port", kStatus}, {"values", {0x80, 0x00}}},
                      {{"port", kAdLow}, {"values", {0x5A}}},
                      {{"port", kAdHigh}, {"values", highs}}};
  const HostRun run =
      Drive(Script("RindavoE.drv", {HostCall("SvrInitDevSet"), kCollect},
                   {{"archive", Archive(2, 0, 1, 0, 1)}, {"bus", {{"reads", reads}}}, {"values", Values(-7, 60)}}));
  const Json& pass = run.Call(1);
  EXPECT_EQ(pass["result"], 0);
  Json io = Json::array();
  Sample(io, 0, {0x80, 0x00}, 0x5A, 1);
  Sample(io, 0, {0x00}, 0x5A, 2);
  for (int k = 1; k < 8; ++k) {
    Sample(io, k, {0x00}, 0x5A, 10 * k + 1);
    Sample(io, k, {0x00}, 0x5A, 10 * k + 2);
  }
  EXPECT_EQ(PortEvents(pass), io);
  Json values = Values(-7, 60);
  values[0] = 1.0;  // set before every pass
  for (int k = 0; k < 8; ++k) values[size_t(36 + k)] = Volts(10, (16 * (10 * k + 1) + 16 * (10 * k + 2) + 10) / 2);
  EXPECT_EQ(pass["values"], values) << "only AD00 to AD07 and slot 0";
  EXPECT_EQ(Volts(10, 0), -10.0);
  EXPECT_EQ(Volts(10, 4095), 9.9951171875);
}

TEST(Rindavo, OnePassPollsTheEndOfConversionAtMostAHundredTimes) {
  // A converter that never finishes: the first sample spends the whole budget, the others read
  // right after their 1 ms.
  HostRun run = Drive(Script("RindavoE.drv", {HostCall("SvrInitDevSet"), kCollect, kCollect},
                             {{"bus", {{"reads", {{{"port", kStatus}, {"values", {0x80}}}}}}}}));
  Json io = Json::array();
  Sample(io, 0, std::vector<int>(100, 0x80), 0xFF, 0xFF);  // the 100th poll waits, then gives up
  const Json first = PortEvents(run.Call(1));
  EXPECT_EQ(Json(std::vector<Json>(first.begin(), first.begin() + 205)), io);
  for (size_t pass : {size_t(1), size_t(2)}) {
    EXPECT_EQ(CountEvents(run.Call(pass), In(8, kStatus, 0x80)), 100u) << "the budget is per pass";
    EXPECT_EQ(CountEvents(run.Call(pass), Sleep(1)), 160u + 100u);
    EXPECT_EQ(run.Call(pass)["values"][36], Volts(5, 4095));
  }
  // A converter that is always done: every sample counts against the budget, so only the first
  // 100 of the 160 samples read the status.
  run = Drive(Script("RindavoE.drv", {HostCall("SvrInitDevSet"), kCollect},
                     {{"bus", {{"reads", {{{"port", kStatus}, {"values", {0x00}}}}}}}}));
  EXPECT_EQ(CountEvents(run.Call(1), In(8, kStatus, 0)), 100u);
  EXPECT_EQ(CountEvents(run.Call(1), Sleep(1)), 160u);
  Json tail = Json::array();
  Sample(tail, 15, {}, 0xFF, 0xFF);
  const Json events = PortEvents(run.Call(1));
  EXPECT_EQ(Json(std::vector<Json>(events.end() - 5, events.end())), tail);
}

TEST(Rindavo, TailMeanDropsTheFirstThirdAndCentralMeanBothOuterThirds) {
  struct Case {
    std::vector<uint32_t> highs;
    int reduce;
    int result;
  };
  // Samples are high * 16 + 3. Ten samples: t = 3.
  const std::vector<uint32_t> ten = {10, 250, 20, 240, 30, 230, 40, 220, 50, 200};
  const Case cases[] = {
      {ten, 0, (3840 + 480 + 3680 + 640 + 3520 + 800 + 3200 + 21) / 7},  // the last seven
      {ten, 1, (640 + 800 + 3200 + 3520 + 12) / 4},                      // the middle four of the sorted ten
      {{10, 251}, 0, (163 + 4019) / 2},                                  // one or two samples: all of them
      {{10, 251}, 1, (163 + 4019) / 2},
      {{77}, 0, 77 * 16 + 3},
      {{77}, 1, 77 * 16 + 3},
  };
  for (const Case& c : cases) {
    const int n = int(c.highs.size());
    const Json reads = {{{"port", kStatus}, {"values", {0}}},
                        {{"port", kAdLow}, {"values", {0x3F}}},
                        {{"port", kAdHigh}, {"values", c.highs}}};
    const HostRun run = Drive(Script("RindavoE.drv", {HostCall("SvrInitDevSet"), kCollect},
                                     {{"archive", Archive(n, c.reduce)}, {"bus", {{"reads", reads}}}}));
    EXPECT_EQ(run.Call(1)["values"][36], Volts(5, c.result)) << n << " samples, reduction " << c.reduce;
  }
}

TEST(Rindavo, NoSampleCountOrAnImpossibleOneLeavesTheInputsAsTheyWere) {
  for (const auto& [file, count] : std::vector<std::pair<const char*, int>>{{"RindavoE.drv", 0},
                                                                            {"RindavoE.drv", -5},
                                                                            {"Rindavo.dll", 0},
                                                                            {"RindavoE_ARMV4.drv", INT32_MAX},
                                                                            {"RindavoE_ARMV4.drv", 1 << 30}}) {
    const HostRun run = Drive(
        Script(file, {HostCall("SvrInitDevSet"), kCollect}, {{"archive", Archive(count)}, {"values", Values(-7, 60)}}));
    Json values = Values(-7, 60);
    values[0] = 1.0;
    if (std::string(file) == "Rindavo.dll")  // its digital inputs and counters are still read
      for (int i : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 33, 34, 35}) values[size_t(i)] = 0.0;
    EXPECT_EQ(run.Call(1)["values"], values) << file << " " << count;
    EXPECT_EQ(PortEvents(run.Call(1)), Json::array()) << file << " " << count;
  }
}

TEST(Rindavo, InputModesOtherThanDifferentialConvertSixteenInputs) {
  for (const auto& [mode, inputs] : std::vector<std::pair<int, int>>{{0, 16}, {1, 8}, {2, 16}, {-1, 16}, {32, 16}}) {
    const HostRun run = Drive(Script("RindavoE_ARMV4.drv", {HostCall("SvrInitDevSet"), kCollect},
                                     {{"archive", Archive(1, 0, mode, 2, 1)}, {"values", Values(-7, 60)}}));
    Json values = Values(-7, 60);
    values[0] = 1.0;
    for (int k = 0; k < inputs; ++k) values[size_t(36 + k)] = -2.5;  // zero counts at ±2.5 V
    EXPECT_EQ(run.Call(1)["values"], values) << "mode " << mode;
    EXPECT_EQ(PortEvents(run.Call(1)), Json(std::vector<Json>(size_t(inputs), Sleep(1)))) << "mode " << mode;
  }
}

TEST(Rindavo, ConfigurationPassReadsDigitalInputsInputsAndEnabledCountersWithItsOwnWaits) {
  Json enabled = Json(std::vector<int>(60, 0));
  enabled[34] = 1;  // counter 1 only
  const HostRun run =
      Drive(Script("Rindavo.dll", {HostCall("SvrInitDevSet"), {{"call", "SvrCollectDevData"}, {"enabled", enabled}}},
                   {{"archive", Archive(2)}, {"values", Values(-7, 60)}}));
  Json io = Json::array();
  for (int s = 0; s < 32; ++s) {
    io.push_back(Sleep(2));
    io.push_back(Sleep(5));
  }
  EXPECT_EQ(PortEvents(run.Call(1)), io) << "2 ms after the multiplexer, 5 ms after the start; never busy";
  Json values = Values(-7, 60);
  for (int i = 0; i < 16; ++i) values[size_t(i)] = 0.0;
  for (int k = 0; k < 16; ++k) values[size_t(36 + k)] = -5.0;
  values[34] = 0.0;
  EXPECT_EQ(run.Call(1)["values"], values);
}

TEST(Rindavo, RuntimePassesWriteNoDigitalInputOrCounter) {
  for (const char* file : {"RindavoE.drv", "RindavoE_ARMV4.drv"}) {
    const HostRun run = Drive(Script(file, {HostCall("SvrInitDevSet"), kCollect},
                                     {{"archive", Archive(1, 0, 1)}, {"values", Values(-7, 44)}}));
    const Json& values = run.Call(1)["values"];
    EXPECT_EQ(values[0], 1.0) << file;
    for (int i = 1; i < 36; ++i) EXPECT_EQ(values[size_t(i)], -7.0) << file << " slot " << i;
  }
}

TEST(Rindavo, DigitalWritesSendTheByteOfTheOutputRebuiltFromTheHostsValues) {
  Json values = Values(0, 52);
  values[17] = 2.5;   // DO01
  values[24] = -1.0;  // DO08
  values[31] = 0.9;   // DO15: off
  const HostRun run =
      Drive(Script("RindavoE.drv",
                   {HostCall("SvrInitDevSet"), Write("VARN_WRITE(20=1)"), Write("VARN_WRITE(31=0.4)"),
                    Write("varn_write(23=-1.5)"), Write("VARN_WRITE(20=0.99)"), Write("VARN_WRITE(24=0)")},
                   {{"values", values}}));
  EXPECT_EQ(PortEvents(run.Call(1)), Json({Out(8, B + 3, 0x12)}));
  EXPECT_EQ(run.Call(1)["values"][20], 1.0) << "the writer keeps the outputs' state in the host's array";
  EXPECT_EQ(run.Call(1)["values"][0], 1.0);
  EXPECT_EQ(PortEvents(run.Call(2)), Json({Out(8, B + 11, 0x01)}));
  EXPECT_EQ(run.Call(2)["values"][31], 0.4);
  EXPECT_EQ(PortEvents(run.Call(3)), Json({Out(8, B + 3, 0x92)}));
  EXPECT_EQ(PortEvents(run.Call(4)), Json({Out(8, B + 3, 0x82)}));
  EXPECT_EQ(PortEvents(run.Call(5)), Json({Out(8, B + 11, 0x00)}));
  for (size_t i = 1; i < 6; ++i) EXPECT_EQ(run.Call(i)["result"], 0);
}

TEST(Rindavo, AnalogWriteScalesToTwelveBitsWithinItsRange) {
  struct Case {
    int range;
    const char* value;
    int code;
  };
  const Case cases[] = {{0, "2.5", 2048}, {0, "4.99", 4087}, {0, "5.0", 4095},  {0, "7", 4095},
                        {0, "0", 0},      {0, "-1", 0},      {0, "-1e300", 0},  {0, "0.001", 0},
                        {1, "5.0", 2048}, {1, "9.99", 4091}, {1, "10.0", 4095}, {1, "-3", 0}};
  for (const Case& c : cases) {
    const HostRun run =
        Drive(Script("RindavoE.drv", {HostCall("SvrInitDevSet"), Write(std::string("VARN_WRITE(32=") + c.value + ")")},
                     {{"archive", Archive(10, 0, 0, 0, 0, c.range)}, {"values", Values(-7, 60)}}));
    EXPECT_EQ(PortEvents(run.Call(1)), Json({Out(8, B + 4, (c.code * 16) & 0xFF), Out(8, B + 5, c.code / 16)}))
        << "range " << c.range << " value " << c.value;
    EXPECT_EQ(run.Call(1)["values"][32], -7.0) << "the D/A writer does not store the value";
  }
}

TEST(Rindavo, WritesOutsideTheOutputsChangeNothing) {
  const HostRun run = Drive(Script(
      "RindavoE.drv",
      {HostCall("SvrInitDevSet"), Write("VARN_WRITE(33=5)"), Write("VARN_WRITE(40=1)"), Write("VARN_WRITE(15=1)"),
       Write("VARN_WRITE(52=1)"), Write("VARN_WRITE(-1=1)"), Write("hello"), Write("VARN_WRITE(20=inf)")},
      {{"values", Values(-7, 60)}}));
  Json values = Values(-7, 60);
  values[0] = 1.0;  // set before every command, a malformed one too
  for (size_t i = 1; i < 8; ++i) {
    EXPECT_EQ(run.Call(i)["result"], 0);
    EXPECT_EQ(PortEvents(run.Call(i)), Json::array()) << i;
    EXPECT_EQ(run.Call(i)["values"], values) << i;
  }
}

TEST(Rindavo, SimulatedBoardAppliesTheRangeCodesAndTakesItsTimeToConvert) {
  const Json bus = {{"board", "rindavo"},
                    {"inputs", {{"jp7", 10}, {"ad0", 1.25}, {"ad1", -2.0}, {"ad15", 9.0}, {"conversion_us", 2500}}}};
  // JP7 ten-volt position, range 2: code 2 on every input, ±2.5 V.
  const HostRun run = Drive(Script("RindavoE.drv", {HostCall("SvrInitDevRun"), kCollect},
                                   {{"archive", Archive(1, 0, 0, 2, 1)}, {"bus", bus}}));
  const Json& pass = run.Call(1);
  EXPECT_EQ(pass["values"][36], 1.25);
  EXPECT_EQ(pass["values"][37], Volts(2.5, 410));
  EXPECT_EQ(pass["values"][51], Volts(2.5, 4095)) << "beyond the span: the top code";
  Json first = Json::array();
  Sample(first, 0, {0x80, 0x80, 0x00}, 0x00, 0xC0);  // busy for 2.5 ms: two polls
  const Json events = PortEvents(pass);
  EXPECT_EQ(Json(std::vector<Json>(events.begin(), events.begin() + 10)), first);
}

TEST(Rindavo, EveryRuntimeBuildShowsLiveValuesInVarnhostRun) {
  HostRun run = RunVarnhost({"run", Dist("RindavoE.drv"), "--board", "rindavo", "--cycles", "1", "--input", "ad3=-1.5",
                             "--write", "VARN_WRITE(20=1)", "--write", "VARN_WRITE(32=2.5)"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("out8 port 0x303 <- 0x10"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("board: D/A code 2048"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("-1.499023"), std::string::npos) << "AD03 as converted at ±5 V:\n" << run.out;
  EXPECT_NE(run.out.find("420 port reads, 160 ms of waits"), std::string::npos) << run.out;
  run = RunVarnhost({"run", Dist("RindavoE_ARMV4.drv"), "--board", "rindavo", "--cycles", "1"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("0 port reads, 160 ms of waits"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("AD15                   -5"), std::string::npos) << "the zero stub's values\n" << run.out;
  run = RunVarnhost({"run", Dist("RindavoE.drv"), "--board", "rindavo", "--input", "jp7=7"});
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.err.find("\"jp7\" is 5 or 10"), std::string::npos) << run.err;
}
