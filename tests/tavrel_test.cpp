// The Tavrel driver in its three shipped builds, driven through varnhost.
#include <gtest/gtest.h>

#include <cmath>

#include "support/varnhost_runner.h"

using namespace varntest;

namespace {

const char* const kFiles[] = {"Tavrel.dll", "TavrelE.drv", "TavrelE_ARMV4.drv"};
constexpr int kBase = 0x100;

const Json kNames = {"设备IO基地址(16进制)", "输入类型",      "DA输出范围",   "输入量程",
                     "输入放大增益",         "重复采集次数",  "AD前处理方式", "8255端口PA",
                     "8255端口PB",           "8255端口PC0-3", "8255端口PC4-7"};
const Json kDefaultTexts = {"100",
                            "0 - 单端",
                            "0 - 0 ～ 5V",
                            "0 - ±5V",
                            "0 - 1",
                            "5",
                            "0 - 平均值处理",
                            "0 - 数字量输入",
                            "0 - 数字量输入",
                            "0 - 数字量输入",
                            "0 - 数字量输入"};
const std::string kInput = "0 - 数字量输入", kOutput = "1 - 数字量输出";

// Stored order: reduceMode, baseAddress, gainCode, rangeCode, inputMode, daRangeCode, portADir,
// portBDir, portCHighDir, portCLowDir, repeatCount, daRangeCode.
const std::vector<int32_t> kDefaultRecord = {0, 0x100, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0};

class TavrelBuilds : public ::testing::TestWithParam<const char*> {
 protected:
  std::string File() const { return GetParam(); }
  bool X86() const { return File() == "TavrelE.drv"; }
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Shipped, TavrelBuilds, ::testing::ValuesIn(kFiles));

TEST_P(TavrelBuilds, PropertiesShowTheFixedDefaultsWithTheirChoices) {
  const HostRun run =
      Drive(Script(File(), {kGetProperty,
                            {{"call", "SvrEnumPropertyValue"}, {"name", "输入类型"}},
                            {{"call", "SvrEnumPropertyValue"}, {"name", "da输出范围"}},
                            {{"call", "SvrEnumPropertyValue"}, {"name", "输入量程"}},
                            {{"call", "SvrEnumPropertyValue"}, {"name", "输入放大增益"}},
                            {{"call", "SvrEnumPropertyValue"}, {"name", "AD前处理方式"}},
                            {{"call", "SvrEnumPropertyValue"}, {"name", "8255端口PC4-7"}},
                            {{"call", "SvrEnumPropertyValue"}, {"name", "重复采集次数"}, {"list", {"x"}}},
                            {{"call", "SvrEnumPropertyValue"}, {"name", "输入类型 "}, {"list", {"y"}}},
                            Set({{"重复采集次数", "9"}, {"输入类型", "1 - 双端"}}),
                            kGetProperty}));
  for (size_t at : {size_t(0), size_t(10)}) {
    const Json& p = run.Call(at);
    EXPECT_EQ(p["result"], 1);
    EXPECT_EQ(p["names"], kNames);
    EXPECT_EQ(p["values_text"], kDefaultTexts) << "the shown texts never follow the settings";
    EXPECT_EQ(p["kinds"], Json({0, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1}));
  }
  EXPECT_EQ(run.Call(1)["list"], Json({"0 - 单端", "1 - 双端"}));
  EXPECT_EQ(run.Call(2)["list"], Json({"0 - 0 ～ 5V", "1 - ±5V"}));
  EXPECT_EQ(run.Call(3)["list"], Json({"0 - ±5V", "1 - ±10V", "2 - 0 ～ 10V"}));
  EXPECT_EQ(run.Call(4)["list"], Json({"0 - 1", "1 - 2", "2 - 4", "3 - 8", "4 - 16"}));
  EXPECT_EQ(run.Call(5)["list"], Json({"0 - 平均值处理", "1 - 最大最小值处理"}));
  EXPECT_EQ(run.Call(6)["list"], Json({kInput, kOutput}));
  EXPECT_EQ(run.Call(7)["list"], Json({"x"}));
  EXPECT_EQ(run.Call(8)["list"], Json({"y"}));
}

TEST_P(TavrelBuilds, FreshArchiveGetsTheDefaultsAndASetCutsItToTheRecord) {
  const HostRun run = Drive(Script(File(), {kGetProperty, Set(Json::object())}));
  const Json& first = run.Call(0);
  EXPECT_TRUE(first["settings"]);
  EXPECT_EQ(first["archive_size"], 16534);
  std::vector<int32_t> grown = kDefaultRecord;
  grown.resize(64, 0);  // the 256 bytes the answer shows: the record, then zeros
  EXPECT_EQ(ArchiveWords(first), grown);
  EXPECT_EQ(run.Call(1)["archive_size"], 48);
  EXPECT_EQ(ArchiveWords(run.Call(1)), kDefaultRecord);
}

TEST_P(TavrelBuilds, StoredRecordLoadsInItsOrderAndTheSecondDaRangeWins) {
  // reduceMode 1, base 0x200, gain 3, range 2, differential, daRange 0 (6th), PA out, PB in,
  // PC high out, PC low in, repeat 7, daRange 1 (12th).
  const std::vector<int32_t> stored = {1, 0x200, 3, 2, 1, 0, 1, 0, 1, 0, 7, 1};
  const HostRun run =
      Drive(Script(File(),
                   {{{"call", "SvrGetChannel"}},
                    {{"call", "SvrSetProperty"}, {"names", Json::array()}, {"values_text", Json::array()}}},
                   {{"archive", WordsHex(stored)}}));
  const Json& channels = run.Call(0);
  EXPECT_EQ(channels["names"].size(), 39u);
  EXPECT_EQ(channels["names"][7], "输出PA0");
  EXPECT_EQ(channels["names"][15], "输入PB0");
  EXPECT_EQ(channels["names"][23], "输入PC0");
  EXPECT_EQ(channels["names"][27], "输出PC4");
  EXPECT_EQ(channels["archive_size"], 48);
  std::vector<int32_t> rewritten = stored;
  rewritten[5] = 1;  // daRangeCode loaded last from the 12th word, stored twice
  EXPECT_EQ(ArchiveWords(run.Call(1)), rewritten);
  if (X86()) {
    EXPECT_EQ(PortEvents(run.Call(1)), Json({Out(8, 0x20B, 0x80)}));
  }
}

TEST_P(TavrelBuilds, ShortStoredRecordKeepsTheDefaultsOfWhatItLacks) {
  // Two words: reduceMode 1 and base 0x240. Everything else keeps the board's defaults; a set with
  // no texts rewrites the record as loaded.
  const Json noTexts = {{"call", "SvrSetProperty"}, {"names", Json::array()}, {"values_text", Json::array()}};
  HostRun run = Drive(Script(File(), {{{"call", "SvrInitDevSet"}}, noTexts}, {{"archive", WordsHex({1, 0x240})}}));
  EXPECT_EQ(run.Call(0)["archive_size"], 8);
  std::vector<int32_t> record = ArchiveWords(run.Call(1));
  record.resize(12);  // the rewrite starts behind the 8 bytes read and grows the array by a step
  EXPECT_EQ(record, (std::vector<int32_t>{1, 0x240, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0}));
  EXPECT_EQ(run.Call(1)["archive_size"], 8 + 16534);
  run = Drive(Script(File(), {{{"call", "SvrGetChannel"}}, noTexts, noTexts}, {{"archive", "0100"}}));
  EXPECT_EQ(run.Call(0)["names"].size(), 47u);
  // Two bytes cannot be read as a field; the first rewrite starts at byte 0 and grows the array,
  // the next one cuts it to the record.
  EXPECT_EQ(ArchiveWords(run.Call(1)).size(), 64u);
  EXPECT_EQ(run.Call(1)["archive_size"], 16536);
  EXPECT_EQ(run.Call(2)["archive_size"], 48);
  EXPECT_EQ(ArchiveWords(run.Call(2)), kDefaultRecord);
}

TEST_P(TavrelBuilds, SetPropertyReadsTextsAndChoicesWithARunningCursor) {
  const HostRun run = Drive(Script(
      File(),
      {kGetProperty,
       Set({{"设备IO基地址(16进制)", "2a0"},
            {"重复采集次数", " 12abc"},
            {"DA输出范围", "1 - ±5v"},
            {"AD前处理方式", "1 - 最大最小值处理"},
            {"输入量程", "2 - 0 ～ 10V"},
            {"输入放大增益", "4 - 16"}}),
       // Unreadable texts and unknown choices leave their fields.
       Set({{"设备IO基地址(16进制)", "zz"}, {"重复采集次数", "abc"}, {"输入类型", "0 - 单端 "}, {"输入量程", "1"}}),
       // A host that leaves properties out: the ones after them are still found.
       {{"call", "SvrSetProperty"},
        {"names", {"设备IO基地址(16进制)", "DA输出范围", "8255端口PA", "nonsense", "8255端口PC4-7"}},
        {"values_text", {"0x300", "0 - 0 ～ 5V", kOutput, kOutput, kOutput}}}}));
  EXPECT_EQ(ArchiveWords(run.Call(1)), (std::vector<int32_t>{1, 0x2A0, 4, 2, 0, 1, 0, 0, 0, 0, 12, 1}));
  // The host hands back the shown texts of the other properties, which are taken too.
  EXPECT_EQ(ArchiveWords(run.Call(2)), (std::vector<int32_t>{0, 0x2A0, 0, 2, 0, 0, 0, 0, 0, 0, 12, 0}));
  // After the foreign name the cursor waits at it: PC4-7 behind it is not reached.
  EXPECT_EQ(ArchiveWords(run.Call(3)), (std::vector<int32_t>{0, 0x300, 0, 2, 0, 0, 1, 0, 0, 0, 12, 0}));
}

TEST(Tavrel, SetPropertyWritesThe8255ControlWordAtTheNewBase) {
  auto word = [](const Json& texts) {
    const HostRun run = RunScript(Script("TavrelE.drv", {kGetProperty, Set(texts)}));
    EXPECT_EQ(run.status, 0) << run.err;
    return PortEvents(run.Call(1));
  };
  EXPECT_EQ(word({{"8255端口PA", kOutput}, {"8255端口PC0-3", kOutput}, {"8255端口PC4-7", kOutput}}),
            Json({Out(8, 0x10B, 0x82)}));
  EXPECT_EQ(
      word({{"8255端口PA", kOutput}, {"8255端口PB", kOutput}, {"8255端口PC0-3", kOutput}, {"8255端口PC4-7", kOutput}}),
      Json({Out(8, 0x10B, 0x80)}));
  EXPECT_EQ(word(Json::object()), Json({Out(8, 0x10B, 0x9B)}));
  EXPECT_EQ(word({{"设备IO基地址(16进制)", "3F0"}, {"8255端口PB", "2 - 数字量输出"}}), Json({Out(8, 0x3FB, 0x99)}))
      << "an unmatched choice leaves its bits as in 0x80";
  const HostRun none =
      RunScript(Script("TavrelE.drv", {{{"call", "SvrSetProperty"}, {"names", {"x"}}, {"values_text", {"y"}}}}));
  EXPECT_EQ(PortEvents(none.Call(0)), Json({Out(8, 0x10B, 0x80)}));
}

TEST_P(TavrelBuilds, ChannelTableFollowsInputModeAndDirections) {
  const HostRun run =
      Drive(Script(File(), {{{"call", "SvrGetChannel"}},
                            kGetProperty,
                            Set({{"输入类型", "1 - 双端"}, {"8255端口PB", kOutput}, {"8255端口PC0-3", kOutput}}),
                            {{"call", "SvrGetChannel"}}}));
  Json names = Json::array(), kinds = Json::array();
  auto group = [&](int count, const std::string& format, int first, int kind) {
    AddChannels(names, kinds, count, format, first, kind);
  };
  group(3, "脉冲计数%d", 0, 2);
  group(4, "输出DA%d", 0, -2);
  group(8, "输入PA%d", 0, 1);
  group(8, "输入PB%d", 0, 1);
  group(4, "输入PC%d", 0, 1);
  group(4, "输入PC%d", 4, 1);
  group(16, "AD%d输入", 0, 2);
  EXPECT_EQ(run.Call(0)["names"], names);
  EXPECT_EQ(run.Call(0)["kinds"], kinds);
  names = Json::array();
  kinds = Json::array();
  group(3, "脉冲计数%d", 0, 2);
  group(4, "输出DA%d", 0, -2);
  group(8, "输入PA%d", 0, 1);
  group(8, "输出PB%d", 0, -1);
  group(4, "输出PC%d", 0, -1);
  group(4, "输入PC%d", 4, 1);
  group(8, "AD%d输入", 0, 2);
  EXPECT_EQ(run.Call(3)["names"], names);
  EXPECT_EQ(run.Call(3)["kinds"], kinds);
}

namespace {

// One conversion of the x86 build: select, two discarded reads, 10 ms, status (another 10 ms when
// busy), two discarded byte reads, the result word.
void Conversion(Json& io, int code, int status, int word) {
  for (const Json& e : {Out(8, kBase + 1, 0), Out(8, kBase + 0, code), In(8, kBase + 0, 255), In(8, kBase + 0, 255),
                        Sleep(10), In(8, kBase + 1, status)})
    io.push_back(e);
  if (status & 1) io.push_back(Sleep(10));
  for (const Json& e : {In(8, kBase + 2, 255), In(8, kBase + 3, 255), In(16, kBase + 2, word)}) io.push_back(e);
}

// The pass tests' host arrays: 48 elements, one more than the longest channel table.
Json Enabled(std::initializer_list<int> indexes) { return varntest::Enabled(indexes, 48); }
Json Values(double fill) { return varntest::Values(fill, 48); }

}  // namespace

TEST(Tavrel, PassReadsCountersDigitalPortsAndConvertsEnabledInputs) {
  const Json reads = {{{"port", kBase + 13}, {"values", {0x34, 0x12}}},
                      {{"port", kBase + 8}, {"values", {0x81}}},
                      {{"port", kBase + 10}, {"values", {0x5F}}},
                      {{"port", kBase + 1}, {"values", {0, 1}}},
                      {{"port", kBase + 2}, {"width", 16}, {"values", {0xF123, 0x0456}}}};
  const HostRun run = Drive(Script("TavrelE.drv",
                                   {kGetProperty,
                                    Set({{"重复采集次数", "2"}}),
                                    {{"call", "SvrCollectDevData"}, {"enabled", Enabled({1, 7, 14, 27, 32})}}},
                                   {{"bus", {{"reads", reads}}}, {"values", Values(-7)}}));
  Json io = {Out(8, kBase + 15, 0x40), In(8, kBase + 13, 0x34), In(8, kBase + 13, 0x12),  // counter 1 alone
             In(8, kBase + 8, 0x81),   In(8, kBase + 9, 0xFF),  In(8, kBase + 10, 0x5F),
             In(8, kBase + 10, 0x5F),  Out(8, kBase + 1, 0)};
  Conversion(io, 1, 0, 0xF123);
  Conversion(io, 1, 1, 0x0456);
  const Json& pass = run.Call(2);
  EXPECT_EQ(pass["result"], 1);
  EXPECT_EQ(PortEvents(pass), io);
  Json values = Values(-7);
  values[1] = 0x1234;
  values[7] = 1.0;   // PA bit 0
  values[14] = 1.0;  // PA bit 7
  values[27] = 1.0;  // PC bit 4 of 0x5F
  values[32] = -5.0 + 10.0 * ((0x123 + 0x456) / 2.0) / 4096.0;
  EXPECT_EQ(pass["values"], values);
}

TEST(Tavrel, PassUsesTheChosenRangeModeAndReduction) {
  const Json reads = {{{"port", kBase + 1}, {"values", {0}}},
                      {{"port", kBase + 2}, {"width", 16}, {"values", {100, 4000, 300, 200}}}};
  const HostRun run = Drive(Script("TavrelE.drv",
                                   {kGetProperty,
                                    Set({{"重复采集次数", "4"},
                                         {"AD前处理方式", "1 - 最大最小值处理"},
                                         {"输入量程", "1 - ±10V"},
                                         {"输入类型", "1 - 双端"},
                                         {"8255端口PA", kOutput},
                                         {"8255端口PB", kOutput},
                                         {"8255端口PC0-3", kOutput},
                                         {"8255端口PC4-7", kOutput}}),
                                    {{"call", "SvrCollectDevData"}, {"enabled", Enabled({38, 39})}}},
                                   {{"bus", {{"reads", reads}}}, {"values", Values(0)}}));
  const Json& pass = run.Call(2);
  Json io = {Out(8, kBase + 1, 0)};
  for (int word : {100, 4000, 300, 200}) Conversion(io, 16 + 7, 0, word);  // differential input 7: code 23
  EXPECT_EQ(PortEvents(pass), io) << "output groups are not read; index 39 is no input in differential mode";
  EXPECT_EQ(pass["values"][38], -10.0 + 20.0 * 250.0 / 4096.0);
  EXPECT_EQ(pass["values"][39], 0.0);
}

TEST(Tavrel, UnipolarRangeAndNoSampleGiveMidScale) {
  const HostRun run = Drive(Script("TavrelE.drv",
                                   {kGetProperty,
                                    Set({{"重复采集次数", "0"}, {"输入量程", "2 - 0 ～ 10V"}}),
                                    {{"call", "SvrCollectDevData"}, {"enabled", Enabled({31})}}},
                                   {{"values", Values(0)}}));
  EXPECT_EQ(PortEvents(run.Call(2)), Json({In(8, kBase + 8, 255), In(8, kBase + 9, 255), In(8, kBase + 10, 255),
                                           In(8, kBase + 10, 255), Out(8, kBase + 1, 0)}));
  EXPECT_EQ(run.Call(2)["values"][31], 5.0);
}

TEST_P(TavrelBuilds, PassOnAFloatingBusOrAStubReadsAllOnes) {
  const HostRun run =
      Drive(Script(File(), {{{"call", "SvrInitDevSet"}}, {{"call", "SvrCollectDevData"}}}, {{"values", 47}}));
  const Json& pass = run.Call(1);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(pass["values"][i], 65535.0);
  for (int i = 3; i < 7; ++i) EXPECT_EQ(pass["values"][i], 0.0);
  for (int i = 7; i < 31; ++i) EXPECT_EQ(pass["values"][i], 1.0);
  for (int i = 31; i < 47; ++i) EXPECT_EQ(pass["values"][i], 4.99755859375);
  int sleeps = 0, accesses = 0;
  for (const Json& e : pass["io"]) (e["op"] == "sleep" ? sleeps : accesses)++;
  EXPECT_EQ(sleeps, 16 * 5 * 2) << "busy on every conversion: 20 ms each";
  EXPECT_EQ(accesses, X86() ? 3 * 3 + 4 + 1 + 16 * 5 * 8 : 0) << "stubs never reach the bus";
}

TEST(Tavrel, CountersAreLatchedEachRightBeforeItsReadSoNoneLags) {
  // A simulated 8254: counter 0 counts 1000 pulses a second. With all three latched at once, an
  // unread latch would keep the next pass's latch command from taking effect.
  const HostRun run = Drive(Script(
      "TavrelE.drv",
      {{{"call", "SvrInitDevSet"}},
       {{"call", "SvrCollectDevData"}, {"enabled", Enabled({0, 1, 2, 31})}},
       {{"call", "SvrCollectDevData"}, {"enabled", Enabled({0, 1, 2, 31})}}},
      {{"bus",
        {{"board", "tavrel"}, {"inputs", {{"counter0_hz", 1000}, {"counter1_hz", 1000}, {"counter2_hz", 1000}}}}},
       {"values", 48}}));
  // A pass with one input converted five times lasts 50 ms: the second pass reads 50 counts lower.
  for (int i = 0; i < 3; ++i) {
    const double first = run.Call(1)["values"][i], second = run.Call(2)["values"][i];
    EXPECT_EQ(std::fmod(first - second + 65536.0, 65536.0), 50.0) << "counter " << i;
  }
}

TEST(Tavrel, DigitalWritesRebuildEveryOutputGroupFromTheHostsValues) {
  Json values = Values(0);
  values[7] = 1.0;   // PA0
  values[14] = 2.5;  // PA7
  values[23] = 0.0;
  values[26] = -1.0;  // PC3
  values[27] = 1.0;   // PC4: input half, not written
  const HostRun run = Drive(Script("TavrelE.drv",
                                   {kGetProperty,
                                    Set({{"8255端口PA", kOutput}, {"8255端口PC0-3", kOutput}}),
                                    {{"call", "SvrDevIOCtrl"}, {"command", "VARN_WRITE(24=1)"}},
                                    {{"call", "SvrDevIOCtrl"}, {"command", "varn_write(15=1)"}},
                                    {{"call", "SvrDevIOCtrl"}, {"command", "VARN_WRITE(24=0.9)"}}},
                                   {{"values", values}}));
  EXPECT_EQ(run.Call(2)["result"], 0);
  EXPECT_EQ(PortEvents(run.Call(2)), Json({Out(8, kBase + 8, 0x81), Out(8, kBase + 10, 0x0A)}));
  EXPECT_EQ(run.Call(2)["values"][24], 1.0);
  EXPECT_EQ(PortEvents(run.Call(3)), Json({Out(8, kBase + 8, 0x81), Out(8, kBase + 10, 0x0A)}))
      << "a write to an input channel stores the value and rewrites the outputs unchanged";
  EXPECT_EQ(run.Call(3)["values"][15], 1.0);
  EXPECT_EQ(PortEvents(run.Call(4)), Json({Out(8, kBase + 8, 0x81), Out(8, kBase + 10, 0x08)}));
}

TEST(Tavrel, AnalogWritesScaleClampAndStayWithinTwelveBits) {
  struct Case {
    const char* daRange;
    const char* command;
    int channel, code;
  };
  const Case cases[] = {
      {"0 - 0 ～ 5V", "VARN_WRITE(5=2.5)", 2, 3072}, {"1 - ±5V", "VARN_WRITE(5=2.5)", 2, 2048},
      {"0 - 0 ～ 5V", "VARN_WRITE(3=-5)", 0, 0},     {"0 - 0 ～ 5V", "VARN_WRITE(6=-9)", 3, 0},
      {"1 - ±5V", "VARN_WRITE(4=-1)", 1, 0},         {"0 - 0 ～ 5V", "VARN_WRITE(6=7.0)", 3, 4095},
      {"1 - ±5V", "VARN_WRITE(6=5)", 3, 4095},       {"1 - ±5V", "VARN_WRITE(6=4.998)", 3, 4094},
  };
  for (const Case& c : cases) {
    const HostRun run = Drive(
        Script("TavrelE.drv",
               {kGetProperty, Set({{"DA输出范围", c.daRange}}), {{"call", "SvrDevIOCtrl"}, {"command", c.command}}}));
    EXPECT_EQ(PortEvents(run.Call(2)), Json({Out(8, kBase + 4, c.channel), Out(16, kBase + 6, c.code)}))
        << c.daRange << " " << c.command;
  }
}

TEST_P(TavrelBuilds, WriteCommandStoresOnlyWellFormedWritesInsideTheArray) {
  const HostRun run = Drive(Script(File(),
                                   {{{"call", "SvrInitDevSet"}},
                                    {{"call", "SvrDevIOCtrl"}, {"command", "VARN_WRITE(1=3.5)"}},
                                    {{"call", "SvrDevIOCtrl"}, {"command", "VARN_WRITE(40=-2)tail"}},
                                    {{"call", "SvrDevIOCtrl"}, {"command", "VARN_WRITE(2=1"}},
                                    {{"call", "SvrDevIOCtrl"}, {"command", "SET(2=1)"}},
                                    {{"call", "SvrDevIOCtrl"}, {"command", " VARN_WRITE(2=1)"}},
                                    {{"call", "SvrDevIOCtrl"}, {"command", "VARN_WRITE(x=1)"}},
                                    {{"call", "SvrDevIOCtrl"}, {"command", "VARN_WRITE(2=nan)"}},
                                    {{"call", "SvrDevIOCtrl"}, {"command", "VARN_WRITE(2=1e999)"}},
                                    {{"call", "SvrDevIOCtrl"}, {"command", "VARN_WRITE(-1=1)"}},
                                    {{"call", "SvrDevIOCtrl"}, {"command", "VARN_WRITE(42=1)"}},
                                    {{"call", "SvrDevIOCtrl"}, {"command", "VARN_WRITE(5=1)"}}},
                                   {{"values", 42}}));
  const int expectedResults[] = {1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0};
  for (size_t i = 0; i < 12; ++i) EXPECT_EQ(run.Call(i)["result"], expectedResults[i]) << i;
  Json values = varntest::Values(0, 42);
  values[1] = 3.5;
  EXPECT_EQ(run.Call(1)["values"], values);
  values[40] = -2.0;
  for (size_t i = 2; i < 11; ++i) EXPECT_EQ(run.Call(i)["values"], values) << "call " << i;
  for (size_t i = 1; i < 11; ++i)
    EXPECT_EQ(PortEvents(run.Call(i)), Json::array()) << "call " << i << " writes no port";
  values[5] = 1.0;
  EXPECT_EQ(run.Call(11)["values"], values);
}

TEST_P(TavrelBuilds, InformationEntryPointsAndTheSettingsLifecycle) {
  const HostRun run =
      ExpectInformationAndLifecycle(File(), {"Tavrel", 0x8F2D0766u, "Tavrel", "TavrelU.drv", "TavrelE.drv"});
  EXPECT_EQ(PortEvents(run.Call(kInitDevRunCall)), Json::array()) << "SvrInitDevRun programs nothing";
}

TEST(Tavrel, ArmDebugBuildReportsBadPortsAndShortArchivesAndGoesOn) {
  const HostRun run =
      Drive(Script("TavrelE_ARMV4.drv",
                   {{{"call", "SvrInitDevSet"}},
                    {{"call", "SvrSetProperty"}, {"names", {"设备IO基地址(16进制)"}}, {"values_text", {"-20"}}},
                    {{"call", "SvrCollectDevData"}, {"enabled", Enabled({7})}}},
                   {{"archive", "010000"}}));
  auto lines = [&](const std::string& text) {
    size_t n = 0;
    for (size_t at = 0; (at = run.err.find(text, at)) != std::string::npos; ++at) ++n;
    return n;
  };
  // Three bytes hold no field: twelve failed reads. The base -0x20 puts every port below 0: the
  // control word at set time, then four digital reads and one converter write in the pass.
  EXPECT_EQ(lines("ownerarchive"), 12u + 1u + 5u) << run.err;
  EXPECT_EQ(lines("port number below 0"), 6u) << run.err;
  EXPECT_EQ(run.Call(2)["values"][7], 1.0) << "the calls go on";
  const HostRun release = Drive(Script("TavrelE.drv", {{{"call", "SvrInitDevSet"}}}, {{"archive", "010000"}}));
  EXPECT_EQ(release.err, "");
}
