// The Orbisk driver in its three shipped builds, driven through varnhost.
#include <gtest/gtest.h>

#include "support/varnhost_runner.h"

using namespace varntest;

namespace {

const char* const kFiles[] = {"Orbisk.dll", "Orbisk.drv", "OrbiskE_ARMV4.drv"};
constexpr int kBase = 0x160;

const Json kNames = {"设备IO基地址(16进制)", "输入量程",     "DA0输出范围", "DA1输出范围",
                     "输入12位与16位选择",   "重复采集次数", "AD前处理方式"};
const Json kDefaultTexts = {"160", "0 - ±5V", "0 - 0-5V", "0 - 0-5V", "0 - 12位输入", "5", "0 - 平均值处理"};

// Stored order: reduceMode, baseAddress, adRangeCode, spare1, adResolution, spare2,
// skipDigitalInputs, spare3, repeatCount, da0RangeCode, da1RangeCode.
const std::vector<int32_t> kDefaultRecord = {0, 0x160, 0, 0, 0, 0, 0, 0, 5, 0, 0};

class OrbiskBuilds : public ::testing::TestWithParam<const char*> {
 protected:
  std::string File() const { return GetParam(); }
  bool X86() const { return File() == "Orbisk.drv"; }
};

// One conversion of input j: three channel writes a millisecond apart, then the converter word.
void Conversion(Json& io, int j, int word) {
  for (const Json& e : {Out(8, kBase + 0, j), Sleep(1), Out(8, kBase + 2, j), Sleep(1), Out(8, kBase + 2, j), Sleep(1),
                        In(16, kBase + 4, word)})
    io.push_back(e);
}

// An analog output code sent as its low byte and high nibble, then the update of output k.
Json AnalogWrite(int k, int code) {
  return {Out(8, kBase + 4, code & 0xFF),
          Out(8, kBase + 8, 0),
          Out(8, kBase + 4, (code >> 8) & 0x0F),
          Out(8, kBase + 10, 0),
          Sleep(1),
          Out(8, kBase + 12 + 2 * k, 0)};
}

Json Write(const std::string& command) { return {{"call", "SvrDevIOCtrl"}, {"command", command}}; }

}  // namespace

INSTANTIATE_TEST_SUITE_P(Shipped, OrbiskBuilds, ::testing::ValuesIn(kFiles));

TEST_P(OrbiskBuilds, PropertiesShowTheFixedDefaultsWithTheirChoices) {
  const HostRun run = Drive(Script(File(), {kGetProperty,
                                            {{"call", "SvrEnumPropertyValue"}, {"name", "输入量程"}},
                                            {{"call", "SvrEnumPropertyValue"}, {"name", "DA0输出范围"}},
                                            {{"call", "SvrEnumPropertyValue"}, {"name", "da1输出范围"}},
                                            {{"call", "SvrEnumPropertyValue"}, {"name", "输入12位与16位选择"}},
                                            {{"call", "SvrEnumPropertyValue"}, {"name", "AD前处理方式"}},
                                            {{"call", "SvrGetChannel"}}}));
  EXPECT_EQ(run.Call(0)["names"], kNames);
  EXPECT_EQ(run.Call(0)["values_text"], kDefaultTexts);
  EXPECT_EQ(run.Call(0)["kinds"], Json({0, 1, 1, 1, 1, 0, 1}));
  EXPECT_EQ(run.Call(1)["list"], Json({"0 - ±5V", "1 - ±10V", "2 - ±2.5V", "3 - 0 ～ 5V", "4 - 0 ～ 10V"}));
  const Json daChoices = {"0 - 0-5V", "1 - 0-10V", "2 - ±5V", "3 - ±2.5"};
  EXPECT_EQ(run.Call(2)["list"], daChoices);
  EXPECT_EQ(run.Call(3)["list"], daChoices);
  EXPECT_EQ(run.Call(4)["list"], Json({"0 - 12位输入", "1 - 16位输入"}));
  EXPECT_EQ(run.Call(5)["list"], Json({"0 - 平均值处理", "1 - 最大最小值处理"}));
  Json names = Json::array(), kinds = Json::array();
  AddChannels(names, kinds, 2, "输出DA%d", 0, -2);
  AddChannels(names, kinds, 8, "输入DI%d", 0, 1);
  AddChannels(names, kinds, 8, "输出DO%d", 0, -1);
  AddChannels(names, kinds, 8, "输入AD%d", 0, 2);
  EXPECT_EQ(run.Call(6)["names"], names);
  EXPECT_EQ(run.Call(6)["kinds"], kinds);
}

TEST_P(OrbiskBuilds, RecordStoresInItsOrderAndSetPropertyUsesARunningCursor) {
  const HostRun run = Drive(Script(
      File(), {kGetProperty,
               Set({{"重复采集次数", "10"}, {"DA1输出范围", "3 - ±2.5"}, {"输入12位与16位选择", "1 - 16位输入"}}),
               // DA0 left out: the properties behind it are still found.
               {{"call", "SvrSetProperty"},
                {"names", {"设备IO基地址(16进制)", "输入量程", "DA1输出范围", "重复采集次数", "AD前处理方式"}},
                {"values_text", {"2A0", "4 - 0 ～ 10V", "2 - ±5V", "-3", "1 - 最大最小值处理"}}}}));
  std::vector<int32_t> grown = kDefaultRecord;
  grown.resize(64, 0);
  EXPECT_EQ(run.Call(0)["archive_size"], 16534);
  EXPECT_EQ(ArchiveWords(run.Call(0)), grown);
  EXPECT_EQ(run.Call(1)["archive_size"], 44);
  EXPECT_EQ(ArchiveWords(run.Call(1)), (std::vector<int32_t>{0, 0x160, 0, 0, 1, 0, 0, 0, 10, 0, 3}));
  EXPECT_EQ(ArchiveWords(run.Call(2)), (std::vector<int32_t>{1, 0x2A0, 4, 0, 1, 0, 0, 0, -3, 0, 2}));
  for (size_t i = 1; i < 3; ++i) EXPECT_EQ(PortEvents(run.Call(i)), Json::array()) << "a set writes no port";
}

TEST(Orbisk, PassReadsTheDigitalInputsAndConvertsEnabledInputsToVolts) {
  const Json reads = {{{"port", kBase + 0}, {"values", {0xA5}}},
                      {{"port", kBase + 4}, {"width", 16}, {"values", {0xF800, 0x0FFF, 0x0000, 0x0400}}}};
  Json enabled = Enabled({2, 9, 19, 25}, 26);
  enabled[3] = 2;  // only 1 enables
  enabled[18] = 2;
  const HostRun run = Drive(Script(
      "Orbisk.drv", {kGetProperty, Set({{"重复采集次数", "2"}}), {{"call", "SvrCollectDevData"}, {"enabled", enabled}}},
      {{"bus", {{"reads", reads}}}, {"values", Values(-7, 26)}}));
  Json io = {In(8, kBase + 0, 0xA5)};
  Conversion(io, 1, 0xF800);
  Conversion(io, 1, 0x0FFF);
  Conversion(io, 7, 0x0000);
  Conversion(io, 7, 0x0400);
  const Json& pass = run.Call(2);
  EXPECT_EQ(pass["result"], 1);
  EXPECT_EQ(PortEvents(pass), io);
  Json values = Values(-7, 26);
  values[2] = 1.0;  // DI0 of 0xA5
  values[9] = 1.0;  // DI7
  // 12 bits kept: 0x800 and 0xFFF, in volts before the mean.
  values[19] = (0.0 + (4095 - 2048) * 10.0 * 0.000244140625) / 2;
  values[25] = (-5.0 + (1024 - 2048) * 10.0 * 0.000244140625) / 2;
  EXPECT_EQ(pass["values"], values);
}

TEST(Orbisk, RangesAndResolutionsTurnTheWordIntoVolts) {
  struct Case {
    const char* range;
    const char* resolution;
    int word;
    double volts;
  };
  const Case cases[] = {
      {"0 - ±5V", "0 - 12位输入", 0xFFFF, 4.99755859375},
      {"0 - ±5V", "1 - 16位输入", 0xFFFF, 154.99755859375},  // the 12-bit formula on all 16 bits
      {"1 - ±10V", "0 - 12位输入", 0x0000, -10.0},
      {"2 - ±2.5V", "0 - 12位输入", 0xF000, -2.5},
      {"3 - 0 ～ 5V", "0 - 12位输入", 0x0800, 2.5},
      {"4 - 0 ～ 10V", "1 - 16位输入", 0x1000, 10.0},
  };
  for (const Case& c : cases) {
    const Json reads = {{{"port", kBase + 4}, {"width", 16}, {"values", {c.word}}}};
    const HostRun run = Drive(Script("Orbisk.drv",
                                     {kGetProperty,
                                      Set({{"输入量程", c.range}, {"输入12位与16位选择", c.resolution}}),
                                      {{"call", "SvrCollectDevData"}, {"enabled", Enabled({18}, 26)}}},
                                     {{"bus", {{"reads", reads}}}, {"values", 26}}));
    EXPECT_EQ(run.Call(2)["values"][18], c.volts) << c.range << " " << c.resolution << " " << c.word;
  }
}

TEST(Orbisk, TrimmedMeanOfVoltSamplesBelowZeroDropsTheirOwnExtremes) {
  // Counts 0, 1024 and 2000 on ±5 V: -5, -2.5 and -0.1171875 V. Starting the largest sample at
  // 0.0 would keep -0.117 V in and give -2.6171875 V.
  const Json reads = {{{"port", kBase + 4}, {"width", 16}, {"values", {0, 1024, 2000}}}};
  const HostRun run = Drive(Script("Orbisk.drv",
                                   {kGetProperty,
                                    Set({{"重复采集次数", "3"}, {"AD前处理方式", "1 - 最大最小值处理"}}),
                                    {{"call", "SvrCollectDevData"}, {"enabled", Enabled({20}, 26)}}},
                                   {{"bus", {{"reads", reads}}}, {"values", 26}}));
  EXPECT_EQ(run.Call(2)["values"][20], -2.5);
}

TEST_P(OrbiskBuilds, WithNoConversionAnInputKeepsItsValue) {
  for (const char* repeat : {"0", "-3"}) {
    for (const char* reduce : {"0 - 平均值处理", "1 - 最大最小值处理"}) {
      const HostRun run = Drive(Script(
          File(),
          {kGetProperty, Set({{"重复采集次数", repeat}, {"AD前处理方式", reduce}}), {{"call", "SvrCollectDevData"}}},
          {{"values", Values(1.5, 26)}}));
      Json values = Values(1.5, 26);
      for (int k = 2; k < 10; ++k) values[size_t(k)] = 1.0;  // the digital inputs are still read
      EXPECT_EQ(run.Call(2)["values"], values) << repeat << " " << reduce;
      EXPECT_EQ(PortEvents(run.Call(2)), X86() ? Json({In(8, kBase, 0xFF)}) : Json::array()) << repeat;
    }
  }
}

TEST_P(OrbiskBuilds, StoredSkipFlagLeavesTheDigitalInputsAlone) {
  // skipDigitalInputs 1 (7th word), repeat 1.
  const std::vector<int32_t> stored = {0, 0x160, 0, 0, 0, 0, 1, 0, 1, 0, 0};
  const HostRun run = Drive(Script(File(), {{{"call", "SvrInitDevSet"}}, {{"call", "SvrCollectDevData"}}},
                                   {{"archive", WordsHex(stored)}, {"values", Values(-7, 26)}}));
  const Json& values = run.Call(1)["values"];
  for (int k = 2; k < 10; ++k) EXPECT_EQ(values[k], -7.0) << k;
  for (int j = 18; j < 26; ++j) EXPECT_EQ(values[j], 4.99755859375) << j;
  int sleeps = 0;
  for (const Json& e : run.Call(1)["io"]) sleeps += e["op"] == "sleep";
  EXPECT_EQ(sleeps, 8 * 3) << "three 1 ms waits per conversion in every build";
  if (X86()) {
    EXPECT_EQ(PortEvents(run.Call(1))[0], Out(8, kBase, 0)) << "no digital input read first";
  }
}

TEST_P(OrbiskBuilds, PassOnAFloatingBusOrAStubReadsAllOnes) {
  const HostRun run = Drive(Script(File(),
                                   {kGetProperty,
                                    {{"call", "SvrCollectDevData"}},
                                    Set({{"输入12位与16位选择", "1 - 16位输入"}}),
                                    {{"call", "SvrCollectDevData"}}},
                                   {{"values", 26}}));
  for (int k = 2; k < 10; ++k) EXPECT_EQ(run.Call(1)["values"][k], 1.0);
  for (int j = 18; j < 26; ++j) {
    EXPECT_EQ(run.Call(1)["values"][j], 4.99755859375);
    EXPECT_EQ(run.Call(3)["values"][j], 154.99755859375);
  }
  int accesses = 0;
  for (const Json& e : run.Call(1)["io"]) accesses += e["op"] != "sleep";
  EXPECT_EQ(accesses, X86() ? 1 + 8 * 5 * 4 : 0);
}

TEST(Orbisk, AnalogWritesScaleEachOutputByItsOwnRangeAndStayWithinTwelveBits) {
  struct Case {
    const char* da0;
    const char* da1;
    const char* command;
    int output, code;
  };
  const Case cases[] = {
      {"0 - 0-5V", "0 - 0-5V", "VARN_WRITE(0=2.5)", 0, 2048},
      {"2 - ±5V", "0 - 0-5V", "VARN_WRITE(0=-7)", 0, 0},
      {"2 - ±5V", "0 - 0-5V", "VARN_WRITE(0=0.0)", 0, 2048},
      {"2 - ±5V", "0 - 0-5V", "VARN_WRITE(1=0.0)", 1, 0},
      {"0 - 0-5V", "1 - 0-10V", "VARN_WRITE(1=7.5)", 1, 3072},
      {"0 - 0-5V", "3 - ±2.5", "VARN_WRITE(1=-1.25)", 1, 1024},
      {"0 - 0-5V", "0 - 0-5V", "VARN_WRITE(0=5)", 0, 4095},  // full scale: 4096 would send 0
      {"0 - 0-5V", "1 - 0-10V", "VARN_WRITE(1=12)", 1, 4095},
      {"3 - ±2.5", "0 - 0-5V", "VARN_WRITE(0=2.4999)", 0, 4095},
  };
  for (const Case& c : cases) {
    const HostRun run = Drive(
        Script("Orbisk.drv", {kGetProperty, Set({{"DA0输出范围", c.da0}, {"DA1输出范围", c.da1}}), Write(c.command)}));
    EXPECT_EQ(run.Call(2)["result"], 0);
    EXPECT_EQ(PortEvents(run.Call(2)), AnalogWrite(c.output, c.code)) << c.da0 << " " << c.da1 << " " << c.command;
  }
}

TEST(Orbisk, DigitalWritesRebuildAllEightOutputsFromTheHostsValues) {
  Json values = Values(0, 26);
  values[10] = 1.0;  // DO0
  values[17] = 3.0;  // DO7
  values[12] = 1.0;  // DO2, overwritten below
  const HostRun run = Drive(Script("Orbisk.drv",
                                   {{{"call", "SvrInitDevSet"}},
                                    Write("VARN_WRITE(12=0.9)"),
                                    Write("varn_write(12=-1.0)"),
                                    Write("VARN_WRITE(5=1)"),
                                    Write("VARN_WRITE(20=2)"),
                                    Write("VARN_WRITE(26=1)"),
                                    Write("VARN_WRITE(0=2")},
                                   {{"values", values}}));
  EXPECT_EQ(PortEvents(run.Call(1)), Json({Out(8, kBase + 4, 0x81), Sleep(1), Out(8, kBase + 6, 0)}));
  EXPECT_EQ(PortEvents(run.Call(2)), Json({Out(8, kBase + 4, 0x85), Sleep(1), Out(8, kBase + 6, 0)}));
  for (size_t i = 3; i < 7; ++i) EXPECT_EQ(PortEvents(run.Call(i)), Json::array()) << "call " << i;
  EXPECT_EQ(run.Call(3)["values"][5], 1.0) << "an input's write is stored and drives nothing";
  EXPECT_EQ(run.Call(4)["values"][20], 2.0);
  EXPECT_EQ(run.Call(5)["values"].size(), 26u);
  EXPECT_EQ(run.Call(5)["result"], 0);
  EXPECT_EQ(run.Call(6)["result"], 1) << "no closing bracket: not a command";
}

TEST_P(OrbiskBuilds, InformationEntryPointsAndTheSettingsLifecycle) {
  const HostRun run =
      ExpectInformationAndLifecycle(File(), {"Orbisk", 0x8F2D2E75u, "Orbisk", "OrbiskU.drv", "OrbiskE.drv"});
  EXPECT_EQ(PortEvents(run.Call(kInitDevRunCall)), Json::array()) << "SvrInitDevRun touches no port";
  EXPECT_EQ(run.answer["flavour"], X86() ? "x86" : File() == "Orbisk.dll" ? "configuration" : "arm");
}

TEST(Orbisk, SimulatedBoardShowsItsInputsAndTakesTheOutputs) {
  const Json bus = {{"board", "orbisk"}, {"inputs", {{"ad3", 4.5}, {"ad4", 1.0}, {"di", 0x3C}, {"range", 10}}}};
  const HostRun run = Drive(Script("Orbisk.drv",
                                   {kGetProperty,
                                    Set({{"输入量程", "1 - ±10V"}}),
                                    Write("VARN_WRITE(1=2.5)"),
                                    Write("VARN_WRITE(15=1)"),
                                    {{"call", "SvrCollectDevData"}}},
                                   {{"bus", bus}, {"values", 26}}));
  const Json& values = run.Call(4)["values"];
  EXPECT_NEAR(values[21].get<double>(), 4.5, 0.005);
  EXPECT_NEAR(values[22].get<double>(), 1.0, 0.005);
  EXPECT_EQ(values[2], 0.0);  // di bit 0
  EXPECT_EQ(values[4], 1.0);  // di bit 2
  // The outputs as the board took them.
  const HostRun shown = RunVarnhost({"run", Dist("Orbisk.drv"), "--board", "orbisk", "--cycles", "0", "--write",
                                     "VARN_WRITE(1=2.5)", "--write", "VARN_WRITE(15=1)"});
  EXPECT_EQ(shown.status, 0) << shown.err;
  EXPECT_NE(shown.out.find("D/A 1 code 2048"), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("digital outputs 0x20"), std::string::npos) << shown.out;
}
