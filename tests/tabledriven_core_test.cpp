// The table-driven core as its boards ship it: settings and archive bytes, the property, choice and
// channel walks, the write command and the information entry points, through the six files of
// Jostra (one text property, 64 inputs) and Rindavo (two text and five choice properties).
#include <gtest/gtest.h>

#include <climits>

#include "support/varnhost_runner.h"

using namespace varntest;

namespace {

const char* const kFiles[] = {"Jostra.dll",  "JostraE.drv",  "JostraE_ARMV4.drv",
                              "Rindavo.dll", "RindavoE.drv", "RindavoE_ARMV4.drv"};
const std::string kBaseName = "设备IO基地址(十进制)";  // property 0 of both boards

bool IsRindavo(const std::string& file) { return file.rfind("Rindavo", 0) == 0; }
bool IsConfiguration(const std::string& file) { return file.size() > 4 && file.substr(file.size() - 4) == ".dll"; }

struct Tables {
  std::vector<int32_t> defaults;
  Json names, shownDefaults, kinds;
};

Tables TablesOf(const std::string& file) {
  if (!IsRindavo(file)) return {{352}, {kBaseName}, {"352"}, {0}};
  const std::string range = IsConfiguration(file) ? "JP5跳线方式选择" : "AD输入量程";
  return {{768, 10, 0, 0, 0, 0, 0},
          {kBaseName, "重复采集次数", "AD前处理方式", "AD输入方式", range, "JP7跳线方式选择", "DA输出量程"},
          {"768", "10", "0 - 平均值处理", "单端输入", "0 - ±10V", "0   5V", "0 - 5V"},
          {0, 0, 1, 1, 1, 1, 1}};
}

Json SetFirst(const std::string& text) {
  return {{"call", "SvrSetProperty"}, {"names", {kBaseName}}, {"values_text", {text}}};
}
Json Write(const std::string& command) { return {{"call", "SvrDevIOCtrl"}, {"command", command}}; }

class CoreBuilds : public ::testing::TestWithParam<const char*> {
 protected:
  std::string File() const { return GetParam(); }
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Shipped, CoreBuilds, ::testing::ValuesIn(kFiles));

TEST_P(CoreBuilds, FreshArchiveGetsTheDefaultsAndASetLeavesExactlyTheSettings) {
  const Tables t = TablesOf(File());
  const size_t n = t.defaults.size();
  const HostRun run = Drive(Script(
      File(), {kGetProperty, Set(Json::object()), HostCall("SvrExitDevRun"), HostCall("SvrInitDevSet"), kGetProperty}));
  const Json& first = run.Call(0);
  EXPECT_EQ(first["result"], 1);
  EXPECT_EQ(first["names"], t.names);
  EXPECT_EQ(first["values_text"], t.shownDefaults);
  EXPECT_EQ(first["kinds"], t.kinds);
  EXPECT_EQ(first["archive_size"], 16534);
  std::vector<int32_t> grown = t.defaults;
  grown.resize(64, 0);  // the 256 bytes the answer shows: the settings, then zeros
  EXPECT_EQ(ArchiveWords(first), grown);
  EXPECT_EQ(run.Call(1)["archive_size"], 4 * n);
  EXPECT_EQ(ArchiveWords(run.Call(1)), t.defaults);
  EXPECT_FALSE(run.Call(2)["settings"]);
  EXPECT_EQ(run.Call(2)["result"], 1);
  EXPECT_TRUE(run.Call(3)["settings"]);
  EXPECT_EQ(run.Call(4)["values_text"], t.shownDefaults) << "loaded again from the stored bytes";
  EXPECT_EQ(run.Call(4)["archive_size"], 4 * n);
}

TEST_P(CoreBuilds, StoredBytesLoadAsTheyAreAndShortOnesLeaveZeros) {
  const Tables t = TablesOf(File());
  const size_t n = t.defaults.size();
  std::vector<int32_t> stored = {400, 3, 1, 1, 4, 1, 1};
  stored.resize(n);
  Json shown = IsRindavo(File())
                   ? Json({"400", "3", "1 - 最大最小值处理", "双端输入", "4 - ±0.625V", "0   10V", "0 - 10V"})
                   : Json({"400"});
  // Exactly 4N bytes, and 4N bytes with more behind them: the settings are the bytes, whatever the
  // defaults; bytes beyond 4N are not read and go at the next set.
  for (const std::string& tail : {std::string(), std::string("deadbeef")}) {
    const HostRun run =
        Drive(Script(File(), {kGetProperty, Set(Json::object())}, {{"archive", WordsHex(stored) + tail}}));
    EXPECT_EQ(run.Call(0)["values_text"], shown);
    EXPECT_EQ(run.Call(0)["archive_size"], 4 * n + tail.size() / 2);
    EXPECT_EQ(run.Call(1)["archive_size"], 4 * n);
    EXPECT_EQ(ArchiveWords(run.Call(1)), stored);
  }
  // One word (Rindavo: N = 7) or two bytes (Jostra): what the bytes cannot supply is 0, not its
  // default; a set then leaves exactly 4N bytes.
  const std::string shortArchive = IsRindavo(File()) ? WordsHex({0x2A0}) : "6001";
  const HostRun run = Drive(Script(File(), {kGetProperty, Set(Json::object())}, {{"archive", shortArchive}}));
  std::vector<int32_t> loaded(n, 0);
  if (IsRindavo(File())) loaded[0] = 0x2A0;
  Json zeros = IsRindavo(File()) ? Json({"672", "0", "0 - 平均值处理", "单端输入", "0 - ±10V", "0   5V", "0 - 5V"})
                                 : Json({"0"});
  EXPECT_EQ(run.Call(0)["values_text"], zeros);
  EXPECT_EQ(run.Call(1)["archive_size"], 4 * n);
  EXPECT_EQ(ArchiveWords(run.Call(1)), loaded);
}

TEST_P(CoreBuilds, TypedNumbersReadAsDecimalAndAlwaysRewriteTheArchive) {
  struct Case {
    const char* text;
    int32_t stored;
  };
  const Case cases[] = {
      {"abc", 0},
      {" 352", 352},
      {"352abc", 352},
      {"0x160", 0},
      {"", 500},
      {"   ", 0},
      {"-", 0},
      {"+12", 12},
      {"-5", -5},
      {"2147483647", INT32_MAX},
      {"99999999999", INT32_MAX},
      {"-99999999999", INT32_MIN},
  };
  const size_t n = TablesOf(File()).defaults.size();
  for (const Case& c : cases) {
    const HostRun run = Drive(Script(File(), {SetFirst("500"), SetFirst(c.text), kGetProperty}));
    EXPECT_EQ(run.Call(1)["archive_size"], 4 * n) << c.text;
    EXPECT_EQ(ArchiveWords(run.Call(1))[0], c.stored) << "'" << c.text << "'";
    EXPECT_EQ(run.Call(2)["values_text"][0], std::to_string(c.stored)) << "'" << c.text << "'";
  }
  // Fixed positions: a name is looked for only at its own position; case does not matter.
  const HostRun run = Drive(
      Script(File(), {{{"call", "SvrSetProperty"}, {"names", {"other", kBaseName}}, {"values_text", {"1", "2"}}},
                      {{"call", "SvrSetProperty"}, {"names", {"设备io基地址(十进制)"}}, {"values_text", {"7"}}}}));
  EXPECT_EQ(ArchiveWords(run.Call(0)), TablesOf(File()).defaults);
  EXPECT_EQ(ArchiveWords(run.Call(1))[0], 7);
}

TEST_P(CoreBuilds, InformationEntryPointsAndTheSettingsLifecycle) {
  const std::string word = IsRindavo(File()) ? "Rindavo" : "Jostra";
  ExpectInformationAndLifecycle(
      File(), {word, IsRindavo(File()) ? 0x8F2CE056u : 0x8F3B0AE5u, word, word + "U.drv", word + "E.drv"});
}

TEST_P(CoreBuilds, WriteCommandsReturnZeroWhateverTheyAre) {
  const HostRun run = Drive(Script(File(),
                                   {Write("VARN_WRITE(0=1)"), Write("varn_write(8=1)tail"), Write("VARN_WRITE 3=1"),
                                    Write("VARN_WRITE(3=1"), Write("SET(3=1)"), Write(" VARN_WRITE(3=1)"),
                                    Write("VARN_WRITE(x=1)"), Write("VARN_WRITE(3=nan)"), Write("VARN_WRITE(-4=1)")},
                                   {{"values", 60}}));
  EXPECT_TRUE(run.Call(0)["settings"]) << "a write without settings gets them first";
  for (size_t i = 0; i < 9; ++i) {
    EXPECT_EQ(run.Call(i)["result"], 0) << i;
    EXPECT_EQ(PortEvents(run.Call(i)), Json::array()) << "call " << i << " reaches no writer";
    Json values = Json(std::vector<double>(60, 0.0));
    if (IsRindavo(File())) values[0] = 1.0;  // slot 0 is set before every command
    EXPECT_EQ(run.Call(i)["values"], values) << "the core stores no value";
  }
}

TEST(TableDrivenCore, ChoicesTakeTheWholeTextAndShowTheSetting) {
  for (const char* file : {"Rindavo.dll", "RindavoE.drv", "RindavoE_ARMV4.drv"}) {
    const std::string range = IsConfiguration(file) ? "JP5跳线方式选择" : "AD输入量程";
    const std::string otherRange = IsConfiguration(file) ? "AD输入量程" : "JP5跳线方式选择";
    const HostRun run = Drive(Script(
        file,
        {kGetProperty,
         Set({{"AD前处理方式", "1 - 最大最小值处理"},
              {"AD输入方式", "双端输入"},
              {range, "3 - ±1.25"},
              {"JP7跳线方式选择", "0   10V"},
              {"DA输出量程", "0 - 10v"}}),
         kGetProperty,
         // Unmatched texts leave their settings: a code alone, a blank more, another property's text.
         Set({{"AD前处理方式", "0"}, {"AD输入方式", "单端输入 "}, {range, "0 - 5V"}, {"JP7跳线方式选择", "0 - 5V"}}),
         {{"call", "SvrEnumPropertyValue"}, {"name", range}},
         {{"call", "SvrEnumPropertyValue"}, {"name", "jp7跳线方式选择"}, {"list", {"kept"}}},
         {{"call", "SvrEnumPropertyValue"}, {"name", otherRange}},
         {{"call", "SvrEnumPropertyValue"}, {"name", "重复采集次数"}, {"list", {"x"}}},
         {{"call", "SvrEnumPropertyValue"}, {"name", "AD输入方式"}}}));
    EXPECT_EQ(ArchiveWords(run.Call(1)), (std::vector<int32_t>{768, 10, 1, 1, 3, 1, 1})) << file;
    EXPECT_EQ(run.Call(2)["values_text"],
              Json({"768", "10", "1 - 最大最小值处理", "双端输入", "3 - ±1.25", "0   10V", "0 - 10V"}));
    EXPECT_EQ(ArchiveWords(run.Call(3)), (std::vector<int32_t>{768, 10, 1, 1, 3, 1, 1})) << file;
    EXPECT_EQ(run.Call(4)["list"], Json({"0 - ±10V", "1 - ±5V", "2 - ±2.5V", "3 - ±1.25", "4 - ±0.625V"}));
    EXPECT_EQ(run.Call(5)["list"], Json({"kept", "0   5V", "0   10V"}));
    EXPECT_EQ(run.Call(6)["list"], Json::array()) << "the other build's name of property 4";
    EXPECT_EQ(run.Call(7)["list"], Json({"x"}));
    EXPECT_EQ(run.Call(8)["list"], Json({"单端输入", "双端输入"}));
  }
}

TEST(TableDrivenCore, AChoiceSettingOutsideItsChoicesShowsAsItsNumber) {
  const HostRun run =
      Drive(Script("RindavoE.drv", {kGetProperty}, {{"archive", WordsHex({-8, -1, 2, 7, 5, -3, INT32_MIN})}}));
  EXPECT_EQ(run.Call(0)["values_text"], Json({"-8", "-1", "2", "7", "5", "-3", "-2147483648"}));
  EXPECT_EQ(run.Call(0)["kinds"], Json({0, 0, 1, 1, 1, 1, 1}));
}

TEST(TableDrivenCore, ChannelTablesFromTheGroups) {
  const HostRun jostra = Drive(Script("JostraE.drv", {HostCall("SvrGetChannel")}));
  Json names = Json::array();
  for (int c = 0; c < 64; ++c) names.push_back((c < 10 ? "DI0" : "DI") + std::to_string(c));
  EXPECT_EQ(jostra.Call(0)["names"], names);
  EXPECT_EQ(jostra.Call(0)["kinds"], Json(std::vector<int>(64, 1)));
  EXPECT_TRUE(jostra.Call(0)["settings"]);

  auto rindavo = [](int inputs) {
    Json n = Json::array(), k = Json::array();
    auto group = [&](const std::string& prefix, int count, int kind) {
      for (int c = 0; c < count; ++c) {
        n.push_back(prefix + (c < 10 ? "0" : "") + std::to_string(c));
        k.push_back(kind);
      }
    };
    group("DI", 16, 1);
    group("DO", 16, -1);
    group("DA", 1, -2);
    group("Counter", 3, 2);
    group("AD", inputs, 2);
    return std::make_pair(n, k);
  };
  // Input mode 1 is differential; any other stored value reads as single-ended.
  for (const auto& [mode, inputs] : std::vector<std::pair<int, int>>{{0, 16}, {1, 8}, {2, 16}, {-1, 16}, {99, 16}}) {
    for (const char* file : {"Rindavo.dll", "RindavoE.drv"}) {
      const HostRun run =
          Drive(Script(file, {HostCall("SvrGetChannel")}, {{"archive", WordsHex({768, 10, 0, mode, 0, 0, 0})}}));
      const auto [n, k] = rindavo(inputs);
      EXPECT_EQ(run.Call(0)["names"], n) << file << " mode " << mode;
      EXPECT_EQ(run.Call(0)["kinds"], k) << file << " mode " << mode;
    }
  }
}
