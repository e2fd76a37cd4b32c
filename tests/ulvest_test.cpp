// The Ulvest driver in its three shipped builds, driven through varnhost.
#include <gtest/gtest.h>

#include "support/varnhost_runner.h"

using namespace varntest;

namespace {

const char* const kFiles[] = {"Ulvest.dll", "UlvestE.drv", "UlvestE_ARMV4.drv"};
constexpr int kFirstBase = 0x200;  // a new record's base address
constexpr int kShownBase = 0x300;  // the base address the shown text sets

const Json kNames = {"设备IO基地址(16进制)", "输入量程", "输入放大增益", "重复采集次数", "AD前处理方式", "单双端选择"};
const Json kDefaultTexts = {"300", "0 - ±5V", "0 - 1", "5", "0 - 平均值处理", "0 - 单端"};

// Stored order: reduceMode, baseAddress, gainCode, rangeCode, inputMode, spare1, spare2, spare4,
// spare3, repeatCount.
const std::vector<int32_t> kDefaultRecord = {0, 0x200, 0, 0, 0, 0, 0, 0, 0, 5};

class UlvestBuilds : public ::testing::TestWithParam<const char*> {
 protected:
  std::string File() const { return GetParam(); }
  bool X86() const { return File() == "UlvestE.drv"; }
};

// One conversion: channel, 0 to +1, 10 ms, start, 10 ms, low byte, high byte.
void Conversion(Json& io, int base, int channel, int low, int high) {
  for (const Json& e : {Out(8, base + 2, channel), Out(8, base + 1, 0), Sleep(10), Out(8, base + 0, 0), Sleep(10),
                        In(8, base + 0, low), In(8, base + 1, high)})
    io.push_back(e);
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Shipped, UlvestBuilds, ::testing::ValuesIn(kFiles));

TEST_P(UlvestBuilds, PropertiesShowTheFixedDefaultsWithTheirChoices) {
  const HostRun run = Drive(Script(File(), {kGetProperty,
                                            {{"call", "SvrEnumPropertyValue"}, {"name", "输入量程"}},
                                            {{"call", "SvrEnumPropertyValue"}, {"name", "输入放大增益"}},
                                            {{"call", "SvrEnumPropertyValue"}, {"name", "ad前处理方式"}},
                                            {{"call", "SvrEnumPropertyValue"}, {"name", "单双端选择"}},
                                            {{"call", "SvrEnumPropertyValue"}, {"name", "重复采集次数"}},
                                            Set({{"单双端选择", "1 - 双端"}, {"设备IO基地址(16进制)", "2F0"}}),
                                            kGetProperty}));
  for (size_t at : {size_t(0), size_t(7)}) {
    EXPECT_EQ(run.Call(at)["names"], kNames);
    EXPECT_EQ(run.Call(at)["values_text"], kDefaultTexts) << "the shown texts never follow the settings";
    EXPECT_EQ(run.Call(at)["kinds"], Json({0, 1, 1, 0, 1, 1}));
  }
  EXPECT_EQ(run.Call(1)["list"], Json({"0 - ±5V", "1 - ±10V", "2 - 0 ～ 10V"}));
  EXPECT_EQ(run.Call(2)["list"], Json({"0 - 1", "1 - 2", "2 - 4", "3 - 8", "4 - 16"}));
  EXPECT_EQ(run.Call(3)["list"], Json({"0 - 平均值处理", "1 - 最大最小值处理"}));
  EXPECT_EQ(run.Call(4)["list"], Json({"0 - 单端", "1 - 双端"}));
  EXPECT_EQ(run.Call(5)["list"], Json::array());
}

TEST_P(UlvestBuilds, NewRecordStartsAt0x200AndTheShownTextsMoveItTo0x300) {
  const HostRun run = Drive(
      Script(File(), {kGetProperty, Set(Json::object()), Set({{"重复采集次数", "10"}}), Set({{"重复采集次数", "A"}})}));
  std::vector<int32_t> grown = kDefaultRecord;
  grown.resize(64, 0);
  EXPECT_EQ(run.Call(0)["archive_size"], 16534);
  EXPECT_EQ(ArchiveWords(run.Call(0)), grown);
  EXPECT_EQ(run.Call(1)["archive_size"], 40);
  EXPECT_EQ(ArchiveWords(run.Call(1)), (std::vector<int32_t>{0, 0x300, 0, 0, 0, 0, 0, 0, 0, 5}));
  EXPECT_EQ(ArchiveWords(run.Call(2))[9], 16) << "the repeat count is read as hexadecimal";
  EXPECT_EQ(ArchiveWords(run.Call(3))[9], 10);
  for (size_t i = 1; i < 4; ++i) EXPECT_EQ(PortEvents(run.Call(i)), Json::array()) << "a set writes no port";
}

TEST_P(UlvestBuilds, PropertiesAreTakenOnlyAtTheirOwnPositions) {
  const HostRun run = Drive(
      Script(File(), {{{"call", "SvrSetProperty"},
                       {"names", {"设备IO基地址(16进制)", "输入放大增益", "输入量程", "重复采集次数", "AD前处理方式"}},
                       {"values_text", {" 0x2a8", "4 - 16", "2 - 0 ～ 10V", "7zz", "1 - 最大最小值处理"}}},
                      {{"call", "SvrSetProperty"},
                       {"names", kNames},
                       {"values_text", {"no digits", "0 - 1", "3 - 8", "", "0 - 平均值处理 ", "1 - 双端"}}}}));
  // Gain and range stand at each other's positions: neither is taken; the array ends before the
  // wiring property.
  EXPECT_EQ(ArchiveWords(run.Call(0)), (std::vector<int32_t>{1, 0x2A8, 0, 0, 0, 0, 0, 0, 0, 7}));
  // Unreadable numbers and unmatched choices keep their fields.
  EXPECT_EQ(ArchiveWords(run.Call(1)), (std::vector<int32_t>{1, 0x2A8, 3, 0, 1, 0, 0, 0, 0, 7}));
}

TEST_P(UlvestBuilds, StoredRecordLoadsInItsOddOrder) {
  // reduceMode 1, base 0x240, gain 2, range 1, differential, spares 11 22 44 33, repeat 3.
  const std::vector<int32_t> stored = {1, 0x240, 2, 1, 1, 11, 22, 44, 33, 3};
  const Json reads = {{{"port", 0x240}, {"values", {0x40, 0x00, 0xC0}}}, {{"port", 0x241}, {"values", {6, 250, 18}}}};
  const HostRun run =
      Drive(Script(File(),
                   {{{"call", "SvrGetChannel"}},
                    {{"call", "SvrSetProperty"}, {"names", Json::array()}, {"values_text", Json::array()}},
                    {{"call", "SvrCollectDevData"}, {"enabled", 0}}},
                   {{"archive", WordsHex(stored)}, {"bus", {{"reads", reads}}}, {"values", 8}}));
  Json names = Json::array(), kinds = Json::array();
  AddChannels(names, kinds, 8, "AD%d输入", 0, 2);
  EXPECT_EQ(run.Call(0)["names"], names);
  EXPECT_EQ(run.Call(0)["kinds"], kinds);
  EXPECT_EQ(ArchiveWords(run.Call(1)), stored);
  if (!X86()) return;
  Json io = Json::array();
  for (int c = 0; c < 8; ++c) {
    Conversion(io, 0x240, c, c == 0 ? 0x40 : 0xC0, c == 0 ? 6 : 18);
    Conversion(io, 0x240, c, c == 0 ? 0x00 : 0xC0, c == 0 ? 250 : 18);
    Conversion(io, 0x240, c, 0xC0, 18);
  }
  EXPECT_EQ(PortEvents(run.Call(2)), io);
  // Counts 100, 4000, 300 trimmed to 300, over ±2.5 V, divided by the gain 4.
  for (int c = 0; c < 8; ++c) EXPECT_EQ(run.Call(2)["values"][c], (-2.5 + 5.0 * 300 / 4096) / 4) << c;
}

TEST(Ulvest, PassConvertsEveryChannelWhateverTheEnableFlags) {
  const Json reads = {{{"port", kShownBase + 0}, {"values", {0x3F, 0x50}}},
                      {{"port", kShownBase + 1}, {"values", {0x12, 0x34}}}};
  Json enabled = Enabled({}, 20);
  enabled[3] = 2;
  const HostRun run =
      Drive(Script("UlvestE.drv",
                   {kGetProperty, Set({{"重复采集次数", "2"}}), {{"call", "SvrCollectDevData"}, {"enabled", enabled}}},
                   {{"bus", {{"reads", reads}}}, {"values", Values(-7, 5)}}));
  Json io = Json::array();
  Conversion(io, kShownBase, 0, 0x3F, 0x12);
  Conversion(io, kShownBase, 0, 0x50, 0x34);
  for (int c = 1; c < 16; ++c)
    for (int n = 0; n < 2; ++n) Conversion(io, kShownBase, c, 0x50, 0x34);
  EXPECT_EQ(PortEvents(run.Call(2)), io) << "sixteen channels converted, the value array holds five";
  const double later = -5.0 + 10.0 * (0x34 * 16 + 5) / 4096;
  EXPECT_EQ(run.Call(2)["values"], Json({-5.0 + 10.0 * ((0x123 + 0x345) / 2.0) / 4096, later, later, later, later}));
}

TEST(Ulvest, CountsScaleByTheHalvedRangeAndTheGain) {
  struct Case {
    const char* range;
    const char* gain;
    int low, high;
    double volts;
  };
  const Case cases[] = {
      {"0 - ±5V", "0 - 1", 0xF0, 0xFF, 4.99755859375},
      {"0 - ±5V", "0 - 1", 0x0F, 0x80, 0.0},  // the low nibble of the low byte is not part of the count
      {"1 - ±10V", "2 - 4", 0x00, 0x80, 0.0},
      {"1 - ±10V", "2 - 4", 0xF0, 0xFF, 0.62469482421875},
      {"2 - 0 ～ 10V", "4 - 16", 0x00, 0x00, -0.078125},
      {"2 - 0 ～ 10V", "1 - 2", 0xF0, 0xFF, (-1.25 + 2.5 * 4095 / 4096) / 2},
  };
  for (const Case& c : cases) {
    const Json reads = {{{"port", kShownBase + 0}, {"values", {c.low}}},
                        {{"port", kShownBase + 1}, {"values", {c.high}}}};
    const HostRun run = Drive(Script(
        "UlvestE.drv",
        {kGetProperty,
         Set({{"输入量程", c.range}, {"输入放大增益", c.gain}, {"重复采集次数", "1"}, {"单双端选择", "1 - 双端"}}),
         {{"call", "SvrCollectDevData"}}},
        {{"bus", {{"reads", reads}}}, {"values", 8}}));
    EXPECT_EQ(run.Call(2)["values"][0], c.volts) << c.range << " " << c.gain << " " << c.high;
  }
}

TEST_P(UlvestBuilds, NoConversionGivesMidScaleAndTouchesNoPort) {
  for (const char* reduce : {"1 - 最大最小值处理", "0 - 平均值处理"}) {
    const HostRun run = Drive(Script(
        File(), {kGetProperty, Set({{"重复采集次数", "0"}, {"AD前处理方式", reduce}}), {{"call", "SvrCollectDevData"}}},
        {{"values", Values(3, 16)}}));
    EXPECT_EQ(run.Call(2)["values"], Values(0, 16)) << reduce;
    EXPECT_EQ(run.Call(2)["io"], Json::array()) << reduce;
  }
}

TEST_P(UlvestBuilds, PassOnAFloatingBusOrAStubReadsAllOnes) {
  const HostRun run =
      Drive(Script(File(), {{{"call", "SvrInitDevSet"}}, {{"call", "SvrCollectDevData"}}}, {{"values", 16}}));
  EXPECT_EQ(run.Call(1)["values"], Values(4.99755859375, 16));
  int sleeps = 0, accesses = 0;
  for (const Json& e : run.Call(1)["io"]) (e["op"] == "sleep" ? sleeps : accesses)++;
  EXPECT_EQ(sleeps, 16 * 5 * 2) << "two 10 ms waits per conversion in every build";
  EXPECT_EQ(accesses, X86() ? 16 * 5 * 5 : 0) << "stubs never reach the bus";
  if (X86()) {
    EXPECT_EQ(PortEvents(run.Call(1))[0], Out(8, kFirstBase + 2, 0)) << "a new record's base";
  }
}

TEST_P(UlvestBuilds, RunStartProgramsTheThreeCountersAsRateGenerators) {
  const HostRun run = Drive(Script(File(), {{{"call", "SvrInitDevSet"}}, {{"call", "SvrInitDevRun"}}}));
  EXPECT_EQ(run.Call(1)["result"], 1);
  const int b = kFirstBase;
  EXPECT_EQ(PortEvents(run.Call(1)), X86() ? Json({Out(8, b + 11, 0x34), Out(8, b + 8, 0xFF), Out(8, b + 8, 0xFF),
                                                   Out(8, b + 11, 0x74), Out(8, b + 9, 0xFF), Out(8, b + 9, 0xFF),
                                                   Out(8, b + 11, 0xB4), Out(8, b + 10, 0xFF), Out(8, b + 10, 0xFF)})
                                           : Json::array());
}

TEST_P(UlvestBuilds, EveryWriteCommandIsRefused) {
  std::vector<Json> calls = {{{"call", "SvrInitDevSet"}}};
  for (const char* command : {"VARN_WRITE(1=3.5)", "VARN_WRITE(1=3.5", "nonsense", "SET(2=1)", "VARN_WRITE(99=1)"})
    calls.push_back({{"call", "SvrDevIOCtrl"}, {"command", command}});
  const HostRun run = Drive(Script(File(), calls, {{"values", 16}}));
  for (size_t i = 1; i < calls.size(); ++i) {
    EXPECT_EQ(run.Call(i)["result"], 0) << i;
    EXPECT_EQ(run.Call(i)["values"], Values(0, 16)) << i;
    EXPECT_EQ(run.Call(i)["io"], Json::array()) << i;
  }
}

TEST_P(UlvestBuilds, InformationEntryPointsAndTheSettingsLifecycle) {
  ExpectInformationAndLifecycle(File(), {"Ulvest", 0x8F2CD825u, "Ulvest", "UlvestU.drv", "UlvestE.drv"});
}

TEST(Ulvest, SimulatedBoardAtTheShownBaseGivesItsInputsBack) {
  const Json bus = {{"board", "ulvest"}, {"inputs", {{"ad0", 1.25}, {"ad8", -0.5}, {"gain", 2}, {"range", 2.5}}}};
  const HostRun run = Drive(Script("UlvestE.drv",
                                   {kGetProperty,
                                    Set({{"输入量程", "1 - ±10V"}, {"输入放大增益", "1 - 2"}}),
                                    {{"call", "SvrInitDevRun"}},
                                    {{"call", "SvrCollectDevData"}}},
                                   {{"bus", bus}, {"values", 16}}));
  const Json& values = run.Call(3)["values"];
  EXPECT_NEAR(values[0].get<double>(), 1.25, 0.001) << "gain 2 on ±2.5 V, undone by the gain code";
  EXPECT_NEAR(values[8].get<double>(), -0.5, 0.001);
  EXPECT_NEAR(values[1].get<double>(), -0.5, 0.001) << "the board's default inputs";
  const HostRun pairs = Drive(Script(
      "UlvestE.drv", {kGetProperty, Set({{"单双端选择", "1 - 双端"}}), {{"call", "SvrCollectDevData"}}},
      {{"bus", {{"board", "ulvest"}, {"inputs", {{"differential", 1}, {"ad0", 1}, {"ad8", 0.25}}}}}, {"values", 8}}));
  EXPECT_NEAR(pairs.Call(2)["values"][0].get<double>(), 0.75, 0.003) << "differential pair 0/8";
}
