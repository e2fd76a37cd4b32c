// The Wexlor driver in its three shipped builds, driven through varnhost.
#include <gtest/gtest.h>

#include "support/varnhost_runner.h"

using namespace varntest;

namespace {

const char* const kFiles[] = {"Wexlor.dll", "WexlorE.drv", "WexlorE_ARMV4.drv"};
constexpr int kBase = 0x200;

const Json kNames = {"设备IO基地址(16进制)", "输入量程",   "输入放大增益",  "重复采集次数", "AD前处理方式",
                     "8255端口PA",           "8255端口PB", "8255端口PC0-3", "8255端口PC4-7"};
const std::string kInput = "0 - 数字量输入", kOutput = "1 - 数字量输出";
const Json kDefaultTexts = {"200", "0 - ±5V", "0 - 1", "10", "0 - 平均值处理", kInput, kInput, kInput, kInput};

// Stored order: reduceMode, baseAddress, gainCode, rangeCode, portADir, portBDir, portCHighDir,
// portCLowDir, repeatCount.
const std::vector<int32_t> kDefaultRecord = {0, 0x200, 0, 0, 0, 0, 0, 0, 10};

class WexlorBuilds : public ::testing::TestWithParam<const char*> {
 protected:
  std::string File() const { return GetParam(); }
  bool Configuration() const { return File() == "Wexlor.dll"; }
  bool X86() const { return File() == "WexlorE.drv"; }
};

Json NoTexts() { return {{"call", "SvrSetProperty"}, {"names", Json::array()}, {"values_text", Json::array()}}; }

// One conversion: channel code, start, status polls (1 ms before each; the last stops them unless
// five were made), then the low and the high result byte.
void Conversion(Json& io, int code, std::initializer_list<int> polls, int low, int high) {
  io.push_back(Out(8, kBase + 12, code));
  io.push_back(Out(8, kBase + 0, 0));
  for (int status : polls) {
    io.push_back(Sleep(1));
    io.push_back(In(8, kBase + 2, status));
  }
  io.push_back(In(8, kBase + 1, low));
  io.push_back(In(8, kBase + 0, high));
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Shipped, WexlorBuilds, ::testing::ValuesIn(kFiles));

TEST_P(WexlorBuilds, PropertiesShowTheFixedDefaultsWithTheirChoices) {
  const HostRun run = Drive(Script(File(), {kGetProperty,
                                            {{"call", "SvrEnumPropertyValue"}, {"name", "输入量程"}},
                                            {{"call", "SvrEnumPropertyValue"}, {"name", "输入放大增益"}},
                                            {{"call", "SvrEnumPropertyValue"}, {"name", "AD前处理方式"}},
                                            {{"call", "SvrEnumPropertyValue"}, {"name", "8255端口pc0-3"}},
                                            Set({{"8255端口PA", kOutput}}),
                                            kGetProperty}));
  for (size_t at : {size_t(0), size_t(6)}) {
    EXPECT_EQ(run.Call(at)["names"], kNames);
    EXPECT_EQ(run.Call(at)["values_text"], kDefaultTexts);
    EXPECT_EQ(run.Call(at)["kinds"], Json({0, 1, 1, 0, 1, 1, 1, 1, 1}));
  }
  EXPECT_EQ(run.Call(1)["list"], Json({"0 - ±5V", "1 - ±10V", "2 - 0 ～ 10V"}));
  EXPECT_EQ(run.Call(2)["list"], Json({"0 - 1", "1 - 2", "2 - 4", "3 - 8", "4 - 16"}));
  EXPECT_EQ(run.Call(3)["list"], Json({"0 - 平均值处理", "1 - 最大最小值处理"}));
  EXPECT_EQ(run.Call(4)["list"], Json({kInput, kOutput}));
}

TEST_P(WexlorBuilds, RecordKeepsTenUntilTheShownTextReadsBackAsSixteen) {
  const HostRun run = Drive(Script(File(), {kGetProperty, Set(Json::object())}));
  std::vector<int32_t> grown = kDefaultRecord;
  grown.resize(64, 0);
  EXPECT_EQ(run.Call(0)["archive_size"], 16534);
  EXPECT_EQ(ArchiveWords(run.Call(0)), grown);
  EXPECT_EQ(run.Call(1)["archive_size"], 36);
  EXPECT_EQ(ArchiveWords(run.Call(1)), (std::vector<int32_t>{0, 0x200, 0, 0, 0, 0, 0, 0, 16}));
}

TEST_P(WexlorBuilds, StoredRecordLoadsInItsOrderAndNamesTheChannels) {
  // reduceMode 1, base 0x280, gain 3, range 1, PA out, PB in, PC4-7 out, PC0-3 in, repeat 5.
  const std::vector<int32_t> stored = {1, 0x280, 3, 1, 1, 0, 1, 0, 5};
  const HostRun run = Drive(Script(File(), {{{"call", "SvrGetChannel"}}, NoTexts()}, {{"archive", WordsHex(stored)}}));
  Json names = Json::array(), kinds = Json::array();
  AddChannels(names, kinds, 3, "脉冲计数%d", 0, 2);
  AddChannels(names, kinds, 8, "输出PA%d", 0, -1);
  AddChannels(names, kinds, 8, "输入PB%d", 0, 1);
  AddChannels(names, kinds, 4, "输入PC%d", 0, 1);
  AddChannels(names, kinds, 4, "输出PC%d", 4, -1);
  AddChannels(names, kinds, 16, "AD%d输入", 1, 2);
  EXPECT_EQ(run.Call(0)["names"], names);
  EXPECT_EQ(run.Call(0)["kinds"], kinds);
  EXPECT_EQ(ArchiveWords(run.Call(1)), stored);
}

TEST_P(WexlorBuilds, SetPropertyTakesFixedPositionsAndWritesTheControlWordInTheRuntimeBuilds) {
  const HostRun run = Drive(
      Script(File(), {kGetProperty,
                      Set({{"8255端口PC0-3", kOutput}, {"重复采集次数", "0x1F"}, {"设备IO基地址(16进制)", "2c0"}}),
                      {{"call", "SvrGetChannel"}},
                      {{"call", "SvrSetProperty"},
                       {"names", {"设备IO基地址(16进制)", "8255端口PA", "输入量程"}},
                       {"values_text", {"300", kOutput, "1 - ±10V"}}}}));
  EXPECT_EQ(ArchiveWords(run.Call(1)), (std::vector<int32_t>{0, 0x2C0, 0, 0, 0, 0, 0, 1, 31}));
  const Json& names = run.Call(2)["names"];
  EXPECT_EQ(names[19], "输出PC0");
  EXPECT_EQ(names[22], "输出PC3");
  EXPECT_EQ(names[23], "输入PC4");
  EXPECT_EQ(names[26], "输入PC7");
  // Port A's property at position 1 is not looked for there; range at position 2 neither.
  EXPECT_EQ(ArchiveWords(run.Call(3)), (std::vector<int32_t>{0, 0x300, 0, 0, 0, 0, 0, 1, 31}));
  // The control word: PA, PB and PC4-7 input, PC0-3 output; then a set with no port property.
  const Json first = X86()             ? Json({Out(8, 0x2C7, 0x9A), Sleep(20)})
                     : Configuration() ? Json::array()
                                       : Json({Sleep(20)});
  const Json second = X86()             ? Json({Out(8, 0x307, 0x80), Sleep(20)})
                      : Configuration() ? Json::array()
                                        : Json({Sleep(20)});
  EXPECT_EQ(PortEvents(run.Call(1)), first);
  EXPECT_EQ(PortEvents(run.Call(3)), second);
}

TEST_P(WexlorBuilds, RunStartProgramsTheCountersExceptInTheConfigurationBuild) {
  const HostRun run = Drive(Script(File(), {{{"call", "SvrInitDevSet"}}, {{"call", "SvrInitDevRun"}}}));
  EXPECT_EQ(run.Call(1)["result"], 1);
  EXPECT_EQ(PortEvents(run.Call(1)),
            X86() ? Json({Out(8, kBase + 11, 0x34), Out(8, kBase + 8, 0xFF), Out(8, kBase + 8, 0xFF),
                          Out(8, kBase + 11, 0x74), Out(8, kBase + 9, 0xFF), Out(8, kBase + 9, 0xFF),
                          Out(8, kBase + 11, 0xB4), Out(8, kBase + 10, 0xFF), Out(8, kBase + 10, 0xFF)})
                  : Json::array());
}

TEST(Wexlor, PassReadsCountersDigitalPortsAndPollsEachConversion) {
  const Json reads = {{{"port", kBase + 9}, {"values", {0x34, 0x12}}},
                      {{"port", kBase + 4}, {"values", {0x81}}},
                      {{"port", kBase + 6}, {"values", {0x5F}}},
                      {{"port", kBase + 2}, {"values", {0, 0, 1, 0, 0, 0, 0, 0, 1}}},
                      {{"port", kBase + 0}, {"values", {0x12, 0xFF, 0x80}}},
                      {{"port", kBase + 1}, {"values", {0x30, 0xF0, 0x0F}}}};
  const HostRun run = Drive(Script("WexlorE.drv",
                                   {kGetProperty,
                                    Set({{"重复采集次数", "2"}}),
                                    {{"call", "SvrCollectDevData"}, {"enabled", Enabled({1, 3, 10, 23, 34, 35}, 44)}}},
                                   {{"bus", {{"reads", reads}}}, {"values", Values(-7, 44)}}));
  Json io = {Out(8, kBase + 11, 0x40), In(8, kBase + 9, 0x34), In(8, kBase + 9, 0x12),  // counter 1 alone
             In(8, kBase + 4, 0x81),   In(8, kBase + 5, 0xFF), In(8, kBase + 6, 0x5F), In(8, kBase + 6, 0x5F)};
  Conversion(io, 0x17, {0, 0, 1}, 0x30, 0x12);        // AD8输入: bank one, input 7
  Conversion(io, 0x17, {0, 0, 0, 0, 0}, 0xF0, 0xFF);  // never done: taken after the fifth poll
  Conversion(io, 0x20, {1}, 0x0F, 0x80);              // AD9输入: bank two, input 0
  Conversion(io, 0x20, {1}, 0x0F, 0x80);
  const Json& pass = run.Call(2);
  EXPECT_EQ(pass["result"], 1);
  EXPECT_EQ(PortEvents(pass), io);
  Json values = Values(-7, 44);
  values[1] = 4660;
  values[3] = 1.0;   // PA0
  values[10] = 1.0;  // PA7
  values[23] = 1.0;  // PC4 of 0x5F
  values[34] = -5.0 + 10.0 * ((291.0 + 4095.0) / 2) / 4096;
  values[35] = 0.0;  // count 2048: the middle of every range
  EXPECT_EQ(pass["values"], values);
}

TEST(Wexlor, RangeCodesHalveTheSpanAndTheGainDivides) {
  const Json reads = {{{"port", kBase + 0}, {"values", {0xFF}}}, {{"port", kBase + 1}, {"values", {0xF0}}}};
  const HostRun run = Drive(Script("WexlorE.drv",
                                   {kGetProperty,
                                    Set({{"输入量程", "1 - ±10V"}, {"输入放大增益", "2 - 4"}, {"重复采集次数", "1"}}),
                                    {{"call", "SvrCollectDevData"}, {"enabled", Enabled({27, 42}, 43)}}},
                                   {{"bus", {{"reads", reads}}}, {"values", 43}}));
  EXPECT_EQ(run.Call(2)["values"][27], 0.62469482421875);
  EXPECT_EQ(run.Call(2)["values"][42], 0.62469482421875);
}

TEST_P(WexlorBuilds, PassOnAFloatingBusOrAStubReadsAllOnesAndTheConfigurationBuildDoesNothing) {
  const HostRun run = Drive(
      Script(File(), {{{"call", "SvrInitDevSet"}}, {{"call", "SvrCollectDevData"}}}, {{"values", Values(-7, 43)}}));
  const Json& pass = run.Call(1);
  EXPECT_EQ(pass["result"], 1);
  if (Configuration()) {
    EXPECT_EQ(pass["values"], Values(-7, 43)) << "the value array is left untouched";
    EXPECT_EQ(pass["io"], Json::array());
    return;
  }
  for (int i = 0; i < 3; ++i) EXPECT_EQ(pass["values"][i], 65535.0);
  for (int i = 3; i < 27; ++i) EXPECT_EQ(pass["values"][i], 1.0);
  for (int i = 27; i < 43; ++i) EXPECT_EQ(pass["values"][i], 4.99755859375);
  int sleeps = 0, accesses = 0;
  for (const Json& e : pass["io"]) (e["op"] == "sleep" ? sleeps : accesses)++;
  EXPECT_EQ(sleeps, 16 * 10) << "done at the first poll";
  EXPECT_EQ(accesses, X86() ? 3 * 3 + 4 + 16 * 10 * 5 : 0);
}

TEST(Wexlor, CountersRunFromRunStartAndAreLatchedEachRightBeforeItsRead) {
  const HostRun run = Drive(Script(
      "WexlorE.drv",
      {{{"call", "SvrInitDevSet"}},
       {{"call", "SvrInitDevRun"}},
       {{"call", "SvrCollectDevData"}, {"enabled", Enabled({0, 1, 2, 27}, 43)}},
       {{"call", "SvrCollectDevData"}, {"enabled", Enabled({0, 1, 2, 27}, 43)}}},
      {{"bus",
        {{"board", "wexlor"}, {"inputs", {{"counter0_hz", 1000}, {"counter1_hz", 1000}, {"counter2_hz", 1000}}}}},
       {"values", 43}}));
  // Counting down from 0xFFFF; a pass with one input converted ten times lasts 10 ms.
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(run.Call(2)["values"][i], 65535.0) << "counter " << i;
    EXPECT_EQ(run.Call(3)["values"][i], 65525.0) << "counter " << i;
  }
  Json latches = Json::array();
  for (const Json& e : PortEvents(run.Call(3)))
    if (e["op"] == "out" && e["port"] == kBase + 11) latches.push_back(e["value"]);
  EXPECT_EQ(latches, Json({0x00, 0x40, 0x80}));
}

TEST(Wexlor, DigitalWritesRebuildEveryOutputGroupFromTheHostsValues) {
  Json values = Values(0, 43);
  values[3] = 1.0;   // PA0
  values[10] = 2.0;  // PA7
  values[23] = 1.0;  // PC4: an input half, not written
  const HostRun run = Drive(Script("WexlorE.drv",
                                   {kGetProperty,
                                    Set({{"8255端口PA", kOutput}, {"8255端口PC0-3", kOutput}}),
                                    {{"call", "SvrDevIOCtrl"}, {"command", "VARN_WRITE(20=1.0)"}},
                                    {{"call", "SvrDevIOCtrl"}, {"command", "VARN_WRITE(12=1)"}},
                                    {{"call", "SvrDevIOCtrl"}, {"command", "VARN_WRITE(2=5)"}},
                                    {{"call", "SvrDevIOCtrl"}, {"command", "VARN_WRITE(27=1)"}},
                                    {{"call", "SvrDevIOCtrl"}, {"command", "VARN_WRITE(43=1)"}}},
                                   {{"values", values}}));
  const Json rewrite = {Out(8, kBase + 4, 0x81), Out(8, kBase + 6, 0x02)};
  EXPECT_EQ(run.Call(2)["result"], 0);
  EXPECT_EQ(PortEvents(run.Call(2)), rewrite);
  EXPECT_EQ(PortEvents(run.Call(3)), rewrite) << "an input channel's write stores and rewrites the outputs";
  EXPECT_EQ(run.Call(3)["values"][12], 1.0);
  for (size_t i = 4; i < 7; ++i) EXPECT_EQ(PortEvents(run.Call(i)), Json::array()) << "call " << i;
  EXPECT_EQ(run.Call(5)["values"][27], 1.0);
  EXPECT_EQ(run.Call(6)["values"].size(), 43u) << "an index outside the array is ignored";
}

TEST_P(WexlorBuilds, InformationEntryPointsAndTheSettingsLifecycle) {
  ExpectInformationAndLifecycle(File(), {"Wexlor", 0x8F2CD821u, "Wexlor", "WexlorU.drv", "WexlorE.drv"});
}

TEST(Wexlor, SimulatedBoardShowsItsInputsAndTakesTheOutputs) {
  const Json bus = {{"board", "wexlor"}, {"inputs", {{"ad0", 2.0}, {"ad15", -1.5}, {"pa", 0x0F}, {"pc", 0xF0}}}};
  const HostRun run = Drive(Script("WexlorE.drv",
                                   {kGetProperty,
                                    Set({{"8255端口PB", kOutput}}),
                                    {{"call", "SvrInitDevRun"}},
                                    {{"call", "SvrDevIOCtrl"}, {"command", "VARN_WRITE(11=1)"}},
                                    {{"call", "SvrCollectDevData"}}},
                                   {{"bus", bus}, {"values", 43}}));
  const Json& values = run.Call(4)["values"];
  EXPECT_NEAR(values[27].get<double>(), 2.0, 0.003);
  EXPECT_NEAR(values[42].get<double>(), -1.5, 0.003);
  EXPECT_EQ(values[3], 1.0);   // pa bit 0
  EXPECT_EQ(values[7], 0.0);   // pa bit 4
  EXPECT_EQ(values[11], 1.0);  // PB0 as written
  EXPECT_EQ(values[19], 0.0);  // pc bit 0
  EXPECT_EQ(values[26], 1.0);  // pc bit 7
}
