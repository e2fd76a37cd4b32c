// varnhost script: runs a host script (JSON) against one driver and prints what every call
// returned and what it did to the bus.
#include "varnhost/script.h"

#include <cmath>
#include <cstdio>
#include <iostream>
#include <limits>
#include <set>

#include "varnhost/host.h"
#include "varnhost/textcodec.h"

namespace varnhost {
namespace {

using Json = nlohmann::json;
using Out = nlohmann::ordered_json;

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
  throw ScriptError(where.empty() ? what : where + ": " + what);
}

void CheckFields(const Json& object, const std::string& where, std::initializer_list<const char*> allowed) {
  if (!object.is_object()) Fail(where, "must be an object");
  const std::set<std::string> known(allowed.begin(), allowed.end());
  for (const auto& item : object.items())
    if (!known.count(item.key()) && item.key() != "comment") Fail(where, "unknown field \"" + item.key() + "\"");
}

int64_t Integer(const Json& value, const std::string& where, int64_t low, int64_t high) {
  if (!value.is_number_integer() &&
      !(value.is_number_float() && std::floor(value.get<double>()) == value.get<double>()))
    Fail(where, "must be an integer");
  const double d = value.get<double>();
  if (d < double(low) || d > double(high))
    Fail(where, "must lie between " + std::to_string(low) + " and " + std::to_string(high));
  return value.is_number_unsigned()  ? int64_t(value.get<uint64_t>())
         : value.is_number_integer() ? value.get<int64_t>()
                                     : int64_t(d);
}

double Number(const Json& value, const std::string& where) {
  if (value.is_number()) return value.get<double>();
  if (value.is_string()) {
    const std::string s = value.get<std::string>();
    if (s == "nan") return std::numeric_limits<double>::quiet_NaN();
    if (s == "inf") return std::numeric_limits<double>::infinity();
    if (s == "-inf") return -std::numeric_limits<double>::infinity();
  }
  Fail(where, "must be a number (or \"nan\", \"inf\", \"-inf\")");
}

Out NumberOut(double v) {
  if (std::isnan(v)) return "nan";
  if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
  return v;
}

std::string Text(const Json& value, const std::string& where) {
  if (!value.is_string()) Fail(where, "must be a text");
  return value.get<std::string>();
}

std::vector<std::string> Texts(const Json& value, const std::string& where) {
  if (!value.is_array()) Fail(where, "must be an array of texts");
  std::vector<std::string> out;
  for (size_t i = 0; i < value.size(); ++i) out.push_back(Text(value[i], where + "[" + std::to_string(i) + "]"));
  return out;
}

std::string Hex(const uint8_t* data, size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < n; ++i) s += {digits[data[i] >> 4], digits[data[i] & 15]};
  return s;
}

std::vector<uint8_t> Unhex(const std::string& text, const std::string& where) {
  if (text.size() % 2 != 0) Fail(where, "hex text of odd length");
  std::vector<uint8_t> bytes;
  auto nibble = [&](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    Fail(where, std::string("not a hex digit: '") + c + "'");
  };
  for (size_t i = 0; i < text.size(); i += 2) bytes.push_back(uint8_t(nibble(text[i]) << 4 | nibble(text[i + 1])));
  return bytes;
}

Out EventOut(const BusEvent& e) {
  if (e.kind == BusEvent::Kind::Sleep) return Out{{"op", "sleep"}, {"ms", e.value}};
  return Out{{"op", e.kind == BusEvent::Kind::In ? "in" : "out"},
             {"width", e.width},
             {"port", e.port},
             {"value", e.value},
             {"via", e.via == Via::Memory ? "memory" : "io"}};
}

// The calls and the fields each may carry.
const std::map<std::string, std::vector<const char*>>& CallFields() {
  static const std::map<std::string, std::vector<const char*>> fields = {
      {"SvrGetProperty", {}},
      {"SvrEnumPropertyValue", {"name", "list"}},
      {"SvrSetProperty", {"names", "values_text", "set"}},
      {"SvrDoHelp", {}},
      {"SvrGetChannel", {}},
      {"SvrEditProperty", {}},
      {"SvrEditCustomProperty", {}},
      {"SvrInitDevSet", {}},
      {"SvrInitDevRun", {}},
      {"SvrExitDevRun", {}},
      {"SvrCollectDevData", {"enabled"}},
      {"SvrDevIOCtrl", {"command"}},
      {"SvrGetDevInfo", {"index", "name_in", "file_in", "first_in", "second_in"}},
  };
  return fields;
}

// Everything a script may get wrong without running a call is found before the first call.
void ValidateCall(const Json& call, const std::string& where) {
  if (!call.is_object() || !call.contains("call")) Fail(where, "a call needs a \"call\" field");
  const std::string name = Text(call["call"], where + ".call");
  const auto known = CallFields().find(name);
  if (known == CallFields().end()) Fail(where, "unknown call \"" + name + "\"");
  const std::set<std::string> allowed(known->second.begin(), known->second.end());
  for (const auto& item : call.items())
    if (item.key() != "call" && item.key() != "comment" && !allowed.count(item.key()))
      Fail(where, "unknown field \"" + item.key() + "\" for " + name);
  if (name == "SvrEnumPropertyValue") {
    if (!call.contains("name")) Fail(where, "SvrEnumPropertyValue needs \"name\"");
    Text(call["name"], where + ".name");
    if (call.contains("list")) Texts(call["list"], where + ".list");
  } else if (name == "SvrSetProperty") {
    const bool arrays = call.contains("names") || call.contains("values_text");
    if (arrays == call.contains("set")) Fail(where, "SvrSetProperty needs \"names\" and \"values_text\", or \"set\"");
    if (arrays) {
      if (!call.contains("names") || !call.contains("values_text"))
        Fail(where, "SvrSetProperty needs both \"names\" and \"values_text\"");
      Texts(call["names"], where + ".names");
      Texts(call["values_text"], where + ".values_text");
    } else {
      if (!call["set"].is_object()) Fail(where + ".set", "must be an object of name: value text");
      for (const auto& item : call["set"].items()) Text(item.value(), where + ".set." + item.key());
    }
  } else if (name == "SvrCollectDevData" && call.contains("enabled")) {
    const Json& e = call["enabled"];
    if (e.is_array()) {
      for (size_t i = 0; i < e.size(); ++i)
        Integer(e[i], where + ".enabled[" + std::to_string(i) + "]", INT32_MIN, INT32_MAX);
    } else {
      Integer(e, where + ".enabled", INT32_MIN, INT32_MAX);
    }
  } else if (name == "SvrDevIOCtrl") {
    if (!call.contains("command")) Fail(where, "SvrDevIOCtrl needs \"command\"");
    Text(call["command"], where + ".command");
  } else if (name == "SvrGetDevInfo") {
    if (!call.contains("index")) Fail(where, "SvrGetDevInfo needs \"index\"");
    Integer(call["index"], where + ".index", INT32_MIN, INT32_MAX);
    for (const char* f : {"name_in", "file_in"})
      if (call.contains(f)) Text(call[f], where + "." + f);
    for (const char* f : {"first_in", "second_in"})
      if (call.contains(f)) Integer(call[f], where + "." + f, INT32_MIN, INT32_MAX);
  }
}

template <class Ch>
class ScriptRun {
 public:
  using Codec = varnhost::Codec<Ch>;
  using HostText = varn::BasicCString<Ch>;
  using HostTexts = varn::BasicCStringArray<Ch>;

  ScriptRun(const DriverLibrary& library, Bus& bus) : device_(library, bus), bus_(bus) {}

  HostDevice<Ch>& Device() { return device_; }

  Out RunCall(const Json& call) {
    const std::string name = call["call"].get<std::string>();
    Out answer{{"call", name}};
    bus_.TakeEvents();
    int result = 0;
    if (name == "SvrGetProperty") {
      HostTexts names, texts;
      varn::CByteArray kinds;
      result = device_.GetProperty(names, texts, kinds);
      lastNames_ = ToUtf8(names);
      lastTexts_ = ToUtf8(texts);
      answer["names"] = lastNames_;
      answer["values_text"] = lastTexts_;
      answer["kinds"] = Out::array();
      for (int i = 0; i < kinds.GetSize(); ++i) answer["kinds"].push_back(kinds[i]);
    } else if (name == "SvrEnumPropertyValue") {
      HostTexts list = call.contains("list") ? FromUtf8(call["list"].get<std::vector<std::string>>()) : HostTexts{};
      result = device_.EnumPropertyValue(HostText(Codec::FromUtf8(call["name"].get<std::string>())), list);
      answer["list"] = ToUtf8(list);
    } else if (name == "SvrSetProperty") {
      std::vector<std::string> names, texts;
      if (call.contains("set")) {
        if (!haveProperties_) Fail("", "SvrSetProperty with \"set\" needs an SvrGetProperty call before it");
        names = lastNames_;
        texts = lastTexts_;
        for (const auto& item : call["set"].items()) {
          size_t i = 0;
          while (i < names.size() && names[i] != item.key()) ++i;
          if (i == names.size())
            Fail("", "SvrSetProperty: no property \"" + item.key() + "\" in the last SvrGetProperty answer");
          if (i < texts.size()) texts[i] = item.value().get<std::string>();
        }
      } else {
        names = call["names"].get<std::vector<std::string>>();
        texts = call["values_text"].get<std::vector<std::string>>();
      }
      HostTexts hostNames = FromUtf8(names), hostTexts = FromUtf8(texts);
      result = device_.SetProperty(hostNames, hostTexts);
    } else if (name == "SvrDoHelp") {
      HostText topic;
      int context = 0;
      result = device_.DoHelp(topic, context);
      answer["topic"] = Codec::ToUtf8(topic.Text());
      answer["context"] = static_cast<uint32_t>(context);
    } else if (name == "SvrGetChannel") {
      HostTexts names;
      varn::CArray<int> kinds;
      result = device_.GetChannel(names, kinds);
      answer["names"] = ToUtf8(names);
      answer["kinds"] = Out::array();
      for (int i = 0; i < kinds.GetSize(); ++i) answer["kinds"].push_back(kinds[i]);
    } else if (name == "SvrEditProperty") {
      uint8_t flag = 0;
      result = device_.EditProperty(flag);
      answer["flag"] = flag;
    } else if (name == "SvrEditCustomProperty") {
      result = device_.EditCustomProperty();
    } else if (name == "SvrInitDevSet") {
      result = device_.InitDevSet();
    } else if (name == "SvrInitDevRun") {
      result = device_.InitDevRun();
    } else if (name == "SvrExitDevRun") {
      result = device_.ExitDevRun();
    } else if (name == "SvrCollectDevData") {
      varn::CArray<int> enabled;
      const Json e = call.contains("enabled") ? call["enabled"] : Json(1);
      if (e.is_array()) {
        enabled.SetSize(static_cast<int>(e.size()));
        for (size_t i = 0; i < e.size(); ++i) enabled[int(i)] = int(Integer(e[i], "", INT32_MIN, INT32_MAX));
      } else {
        enabled.SetSize(device_.values.GetSize());
        for (int i = 0; i < enabled.GetSize(); ++i) enabled[i] = int(Integer(e, "", INT32_MIN, INT32_MAX));
      }
      result = device_.CollectDevData(enabled);
    } else if (name == "SvrDevIOCtrl") {
      result = device_.DevIOCtrl(HostText(Codec::FromUtf8(call["command"].get<std::string>())));
    } else if (name == "SvrGetDevInfo") {
      HostText deviceName(Codec::FromUtf8(call.value("name_in", std::string())));
      HostText file(Codec::FromUtf8(call.value("file_in", std::string())));
      int first = int(call.contains("first_in") ? Integer(call["first_in"], "", INT32_MIN, INT32_MAX) : 0);
      int second = int(call.contains("second_in") ? Integer(call["second_in"], "", INT32_MIN, INT32_MAX) : 0);
      result =
          device_.GetDevInfo(deviceName, first, second, int(Integer(call["index"], "", INT32_MIN, INT32_MAX)), file);
      answer["name"] = Codec::ToUtf8(deviceName.Text());
      answer["first"] = first;
      answer["second"] = second;
      answer["file"] = Codec::ToUtf8(file.Text());
    }
    // Common fields, in front of the call's own ones.
    Out common{{"call", name}, {"result", result}};
    common["values"] = Out::array();
    for (int i = 0; i < device_.values.GetSize(); ++i) common["values"].push_back(NumberOut(device_.values[i]));
    common["io"] = Out::array();
    for (const BusEvent& e : bus_.TakeEvents()) common["io"].push_back(EventOut(e));
    common["settings"] = device_.record.settings != nullptr;
    const varn::OwnerArchive& archive = device_.archive;
    common["archive_size"] = archive.GetSize();
    common["archive"] = Hex(archive.bytes.GetData(), size_t(archive.GetSize() < 256 ? archive.GetSize() : 256));
    for (auto& item : answer.items())
      if (item.key() != "call") common[item.key()] = item.value();
    if (name == "SvrGetProperty") haveProperties_ = true;
    return common;
  }

 private:
  std::vector<std::string> ToUtf8(const HostTexts& texts) {
    std::vector<std::string> out;
    for (int i = 0; i < texts.GetSize(); ++i) out.push_back(Codec::ToUtf8(texts[i].Text()));
    return out;
  }
  HostTexts FromUtf8(const std::vector<std::string>& texts) {
    HostTexts out;
    for (const auto& t : texts) out.Add(HostText(Codec::FromUtf8(t)));
    return out;
  }

  HostDevice<Ch> device_;
  Bus& bus_;
  std::vector<std::string> lastNames_, lastTexts_;
  bool haveProperties_ = false;
};

Clock::Mode ClockOf(const Json& script) {
  if (!script.contains("clock")) return Clock::Mode::Virtual;
  const std::string c = Text(script["clock"], "clock");
  if (c == "virtual") return Clock::Mode::Virtual;
  if (c == "real") return Clock::Mode::Real;
  Fail("clock", "must be \"virtual\" or \"real\", not \"" + c + "\"");
}

void SetUpBus(const Json& script, Bus& bus) {
  if (!script.contains("bus")) return;
  const Json& b = script["bus"];
  CheckFields(b, "bus", {"board", "reads", "base", "inputs"});
  if (b.contains("reads")) {
    const Json& reads = b["reads"];
    if (!reads.is_array()) Fail("bus.reads", "must be an array");
    for (size_t i = 0; i < reads.size(); ++i) {
      const std::string where = "bus.reads[" + std::to_string(i) + "]";
      CheckFields(reads[i], where, {"port", "width", "values"});
      if (!reads[i].contains("port") || !reads[i].contains("values")) Fail(where, "needs \"port\" and \"values\"");
      const auto port = uint32_t(Integer(reads[i]["port"], where + ".port", 0, 0xFFFFFFFFll));
      const int width = reads[i].contains("width") ? int(Integer(reads[i]["width"], where + ".width", 8, 32)) : 8;
      if (width != 8 && width != 16 && width != 32) Fail(where + ".width", "must be 8, 16 or 32");
      const Json& values = reads[i]["values"];
      if (!values.is_array() || values.empty()) Fail(where + ".values", "must be a non-empty array of numbers");
      std::vector<uint32_t> list;
      const int64_t top = width == 32 ? 0xFFFFFFFFll : (int64_t(1) << width) - 1;
      for (size_t k = 0; k < values.size(); ++k)
        list.push_back(uint32_t(Integer(values[k], where + ".values[" + std::to_string(k) + "]", 0, top)));
      bus.ScriptReads(port, width, std::move(list));
    }
  }
  if (b.contains("board")) {
    sim::BoardSetup setup;
    if (b.contains("base")) setup.base = uint32_t(Integer(b["base"], "bus.base", 0, 0xFFFF));
    if (b.contains("inputs")) {
      if (!b["inputs"].is_object()) Fail("bus.inputs", "must be an object of name: number");
      for (const auto& item : b["inputs"].items())
        setup.inputs[item.key()] = Number(item.value(), "bus.inputs." + item.key());
    }
    try {
      bus.SetBoard(sim::MakeBoard(Text(b["board"], "bus.board"), setup));
    } catch (const sim::BoardError& e) {
      Fail("bus", e.what());
    }
  } else if (b.contains("base") || b.contains("inputs")) {
    Fail("bus", "\"base\" and \"inputs\" belong to a \"board\"");
  }
}

// The host's archive bytes and value array as the script gives them.
struct DeviceSetup {
  std::vector<uint8_t> archive;
  std::vector<double> values = std::vector<double>(128, 0.0);
};

DeviceSetup SetUpDevice(const Json& script) {
  DeviceSetup setup;
  if (script.contains("archive")) setup.archive = Unhex(Text(script["archive"], "archive"), "archive");
  if (script.contains("values")) {
    const Json& v = script["values"];
    setup.values.clear();
    if (v.is_array()) {
      for (size_t i = 0; i < v.size(); ++i) setup.values.push_back(Number(v[i], "values[" + std::to_string(i) + "]"));
    } else {
      setup.values.resize(size_t(Integer(v, "values", 0, 1000000)), 0.0);
    }
  }
  return setup;
}

template <class Ch>
int Run(const Json& script, const DeviceSetup& setup, const DriverLibrary& library, Bus& bus, Out& document) {
  ScriptRun<Ch> run(library, bus);
  auto& device = run.Device();
  device.archive.bytes.SetSize(int(setup.archive.size()));
  for (size_t i = 0; i < setup.archive.size(); ++i) device.archive.bytes[int(i)] = setup.archive[i];
  device.values.SetSize(int(setup.values.size()));
  for (size_t i = 0; i < setup.values.size(); ++i) device.values[int(i)] = setup.values[i];
  document["calls"] = Out::array();
  const Json& calls = script["calls"];
  for (size_t i = 0; i < calls.size(); ++i) {
    try {
      document["calls"].push_back(run.RunCall(calls[i]));
    } catch (const std::exception& e) {
      throw ScriptError("calls[" + std::to_string(i) + "] " + calls[i]["call"].get<std::string>() + ": " + e.what());
    }
  }
  device.Release();
  return 0;
}

}  // namespace

int RunScript(const std::string& scriptText, const ScriptOptions& options) {
  Json script;
  try {
    script = Json::parse(scriptText);
  } catch (const Json::exception& e) {
    std::cerr << "varnhost: malformed JSON script: " << e.what() << "\n";
    return 2;
  }
  Out document;
  bool started = false;
  try {
    CheckFields(script, "script", {"driver", "bus", "clock", "archive", "values", "calls"});
    if (!script.contains("driver")) Fail("script", "\"driver\" is required");
    if (!script.contains("calls")) Fail("script", "\"calls\" is required");
    const std::string path = Text(script["driver"], "driver");
    if (!script["calls"].is_array()) Fail("calls", "must be an array");
    for (size_t i = 0; i < script["calls"].size(); ++i)
      ValidateCall(script["calls"][i], "calls[" + std::to_string(i) + "]");
    Bus bus(ClockOf(script));
    SetUpBus(script, bus);
    const DeviceSetup setup = SetUpDevice(script);
    DriverLibrary library(path);
    document["driver"] = path;
    document["flavour"] = FlavourName(library.GetFlavour());
    document["exports"] = library.Elf().exports;
    InstallTraps(options.watchdogSeconds);
    started = true;
    if (library.GetFlavour() == Flavour::Configuration)
      Run<char>(script, setup, library, bus, document);
    else
      Run<char16_t>(script, setup, library, bus, document);
  } catch (const std::exception& e) {
    std::cerr << "varnhost: " << e.what() << "\n";
    if (started) {
      document["error"] = e.what();
      std::cout << document.dump(options.indent) << "\n";
    }
    return started ? 1 : 2;
  }
  std::cout << document.dump(options.indent) << "\n";
  return 0;
}

}  // namespace varnhost
