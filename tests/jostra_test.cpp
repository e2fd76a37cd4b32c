// The Jostra driver in its three shipped builds: eight port reads, then 64 bits. The ARM build reads
// the board through memory-mapped accesses and reports negative port numbers.
#include <gtest/gtest.h>

#include "support/varnhost_runner.h"

using namespace varntest;

namespace {

const Json kCollect = HostCall("SvrCollectDevData");
Json SetBase(const std::string& text) {
  return {{"call", "SvrSetProperty"}, {"names", {"设备IO基地址(十进制)"}}, {"values_text", {text}}};
}

// What a pass leaves for the eight port bytes: bit b of byte k at channel 8k + b.
Json Bits(const std::vector<int>& bytes, size_t size = 70, double beyond = -3.0) {
  Json values = Json(std::vector<double>(size, beyond));
  for (size_t c = 0; c < 64; ++c) values[c] = double((bytes[c / 8] >> (c % 8)) & 1);
  return values;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; ++at) ++n;
  return n;
}

}  // namespace

TEST(Jostra, PassReadsTheEightPortsThenSpreadsTheirBits) {
  const Json reads = {{{"port", 352 + 2}, {"values", {0x81}}}, {{"port", 352 + 5}, {"values", {0x3C, 0x00}}}};
  const HostRun run =
      Drive(Script("JostraE.drv", {HostCall("SvrInitDevRun"), kCollect, kCollect, SetBase("400"), kCollect},
                   {{"bus", {{"reads", reads}}}, {"values", Bits({0, 0, 0, 0, 0, 0, 0, 0}, 70, -3.0)}}));
  EXPECT_EQ(PortEvents(run.Call(0)), Json::array()) << "the run start programs nothing";
  const Json& pass = run.Call(1);
  EXPECT_EQ(pass["result"], 0);
  Json io = Json::array();
  for (int k = 0; k < 8; ++k) io.push_back(In(8, 352 + k, k == 2 ? 0x81 : k == 5 ? 0x3C : 0xFF));
  EXPECT_EQ(PortEvents(pass), io);
  for (const Json& e : pass["io"]) EXPECT_EQ(e["via"], "io");
  EXPECT_EQ(pass["values"], Bits({0xFF, 0xFF, 0x81, 0xFF, 0xFF, 0x3C, 0xFF, 0xFF}))
      << "channels 16 and 23 on, 17 to 22 off; slots beyond the 64 channels untouched";
  EXPECT_EQ(run.Call(2)["values"], Bits({0xFF, 0xFF, 0x81, 0xFF, 0xFF, 0x00, 0xFF, 0xFF}));
  io = Json::array();
  for (int k = 0; k < 8; ++k) io.push_back(In(8, 400 + k, 0xFF));
  EXPECT_EQ(PortEvents(run.Call(4)), io) << "the new base on the next pass";
}

TEST(Jostra, PortNumbersWrapAtSixteenBits) {
  const HostRun run = Drive(Script("JostraE.drv", {SetBase("65533"), kCollect, SetBase("99999999999"), kCollect},
                                   {{"bus", {{"reads", {{{"port", 1}, {"values", {0x02}}}}}}}}));
  Json io = Json::array();
  for (int port : {65533, 65534, 65535, 0, 1, 2, 3, 4}) io.push_back(In(8, port, port == 1 ? 0x02 : 0xFF));
  EXPECT_EQ(PortEvents(run.Call(1)), io);
  EXPECT_EQ(run.Call(1)["values"][33], 1.0);
  EXPECT_EQ(ArchiveWords(run.Call(2)), std::vector<int32_t>{INT32_MAX}) << "a base beyond 32 bits saturates";
  io = Json::array();
  for (int port : {65535, 0, 1, 2, 3, 4, 5, 6}) io.push_back(In(8, port, port == 1 ? 0x02 : 0xFF));
  EXPECT_EQ(PortEvents(run.Call(3)), io);
}

TEST(Jostra, ConfigurationBuildReadsAllOnesFromItsStub) {
  const HostRun run = Drive(
      Script("Jostra.dll", {HostCall("SvrInitDevRun"), kCollect}, {{"bus", {{"board", "jostra"}}}, {"values", 64}}));
  EXPECT_EQ(PortEvents(run.Call(1)), Json::array());
  EXPECT_EQ(run.Call(1)["values"], Json(std::vector<double>(64, 1.0)));
}

TEST(Jostra, ArmBuildReadsTheBoardThroughMemory) {
  const HostRun run = Drive(Script(
      "JostraE_ARMV4.drv", {HostCall("SvrInitDevSet"), kCollect, SetBase("800"), kCollect},
      {{"bus", {{"board", "jostra"}, {"inputs", {{"port3", 0x81}}}, {"reads", {{{"port", 803}, {"values", {0x7E}}}}}}},
       {"values", 64}}));
  const Json& pass = run.Call(1);
  const std::vector<int> pins = {0x81, 0x42, 0x24, 0x81, 0xF0, 0x0F, 0x55, 0xAA};
  Json io = Json::array();
  for (int k = 0; k < 8; ++k) io.push_back(In(8, 352 + k, pins[size_t(k)]));
  EXPECT_EQ(PortEvents(pass), io);
  for (const Json& e : pass["io"]) EXPECT_EQ(e["via"], "memory");
  EXPECT_EQ(pass["values"], Bits(pins, 64));
  // No board at 800: a floating bus but for the one scripted read.
  EXPECT_EQ(run.Call(3)["values"], Bits({0xFF, 0xFF, 0xFF, 0x7E, 0xFF, 0xFF, 0xFF, 0xFF}, 64));
  EXPECT_EQ(run.err, "");
}

TEST(Jostra, ArmBuildReportsNegativePortsNamingTheCoreAndGoesOn) {
  const HostRun run = Drive(Script("JostraE_ARMV4.drv", {SetBase("-3"), kCollect}, {{"values", 64}}));
  EXPECT_EQ(Count(run.err, "varn driver: assertion failed in devserver"), 3u) << run.err;
  EXPECT_EQ(Count(run.err, "port number below 0"), 3u) << run.err;
  Json io = Json::array();
  for (int port : {65533, 65534, 65535, 0, 1, 2, 3, 4}) io.push_back(In(8, port, 0xFF));
  EXPECT_EQ(PortEvents(run.Call(1)), io) << "the accesses still happen, at the low 16 bits";
  EXPECT_EQ(run.Call(1)["values"], Json(std::vector<double>(64, 1.0)));
  // The other builds do not check.
  for (const char* file : {"JostraE.drv", "Jostra.dll"}) {
    const HostRun quiet = Drive(Script(file, {SetBase("-3"), kCollect}));
    EXPECT_EQ(quiet.err, "") << file;
  }
}

TEST(Jostra, EveryRuntimeBuildShowsLiveValuesInVarnhostRun) {
  for (const char* file : {"JostraE.drv", "JostraE_ARMV4.drv"}) {
    const HostRun run = RunVarnhost({"run", Dist(file), "--board", "jostra", "--cycles", "1", "--input", "port7=0",
                                     "--set", "设备IO基地址(十进制)=352", "--write", "VARN_WRITE(0=1)"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("8 port reads"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("write VARN_WRITE(0=1) -> 0"), std::string::npos) << run.out;
    // DI00 (0x81 bit 0) on, DI63 (port7 = 0) off.
    EXPECT_NE(run.out.find("DI00              1"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("DI63              0"), std::string::npos) << run.out;
  }
  const HostRun bad = RunVarnhost({"run", Dist("JostraE.drv"), "--board", "jostra", "--input", "port1=300"});
  EXPECT_NE(bad.status, 0);
  EXPECT_NE(bad.err.find("\"port1\" stands for eight pins"), std::string::npos) << bad.err;
}
