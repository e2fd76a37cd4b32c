// varnhost show and varnhost run: a driver as a person looks at it.
#include "varnhost/people.h"

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#endif

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>

#include "varnhost/host.h"
#include "varnhost/sim/boards.h"
#include "varnhost/textcodec.h"

namespace varnhost {
namespace {

struct Table {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;

  void Print(std::ostream& out) const {
    std::vector<int> widths(header.size(), 0);
    auto measure = [&](const std::vector<std::string>& row) {
      for (size_t c = 0; c < row.size() && c < widths.size(); ++c)
        widths[c] = std::max(widths[c], DisplayWidth(row[c]));
    };
    measure(header);
    for (const auto& row : rows) measure(row);
    auto line = [&](const std::vector<std::string>& row) {
      std::string text;
      for (size_t c = 0; c < row.size(); ++c) {
        text += row[c];
        if (c + 1 < row.size()) text += std::string(size_t(widths[c] - DisplayWidth(row[c]) + 2), ' ');
      }
      out << "  " << text << "\n";
    };
    line(header);
    std::vector<std::string> rule;
    for (int w : widths) rule.push_back(std::string(size_t(w), '-'));
    line(rule);
    for (const auto& row : rows) line(row);
  }
};

std::string KindName(int kind) {
  switch (kind) {
    case 1: return "digital in";
    case -1: return "digital out";
    case 2: return "numeric in";
    case -2: return "numeric out";
    default: return "kind " + std::to_string(kind);
  }
}

std::string ValueText(double v) {
  if (std::isnan(v)) return "nan";
  if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
  char text[32];
  if (v == std::floor(v) && std::fabs(v) < 1e15)
    std::snprintf(text, sizeof text, "%.0f", v);
  else
    std::snprintf(text, sizeof text, "%.6f", v);
  return text;
}

std::string Hex32(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", v);
  return text;
}

template <class Ch>
struct Person {
  using Codec = varnhost::Codec<Ch>;
  using Text = varn::BasicCString<Ch>;
  using Texts = varn::BasicCStringArray<Ch>;

  static std::vector<std::string> Utf8(const Texts& texts) {
    std::vector<std::string> out;
    for (int i = 0; i < texts.GetSize(); ++i) out.push_back(Codec::ToUtf8(texts[i].Text()));
    return out;
  }

  static void Show(const DriverLibrary& library, std::ostream& out) {
    Bus bus(Clock::Mode::Virtual);
    HostDevice<Ch> device(library, bus);
    out << library.Path() << ": " << FlavourName(library.GetFlavour()) << " build, " << library.Elf().exports.size()
        << " entry points exported\n\n";
    Text topic;
    int context = 0;
    device.DoHelp(topic, context);
    out << "help topic \"" << Codec::ToUtf8(topic.Text()) << "\", context " << Hex32(uint32_t(context)) << "\n";
    Text name, file0, file1;
    int first = 0, second = 0;
    if (device.GetDevInfo(name, first, second, 0, file0) != 0) {
      device.GetDevInfo(name, first, second, 1, file1);
      out << "device \"" << Codec::ToUtf8(name.Text()) << "\", runtime files \"" << Codec::ToUtf8(file0.Text())
          << "\" and \"" << Codec::ToUtf8(file1.Text()) << "\"\n";
    } else {
      out << "runtime build: no device information\n";
    }

    Texts names, texts;
    varn::CByteArray kinds;
    device.GetProperty(names, texts, kinds);
    Table properties{{"#", "property", "kind", "shown value", "choices"}, {}};
    const auto propertyNames = Utf8(names), shown = Utf8(texts);
    for (size_t i = 0; i < propertyNames.size(); ++i) {
      const bool choice = int(i) < kinds.GetSize() && kinds[int(i)] == 1;
      std::string choices;
      if (choice) {
        Texts list;
        device.EnumPropertyValue(names[int(i)], list);
        for (const auto& c : Utf8(list)) choices += (choices.empty() ? "" : " | ") + c;
      }
      properties.rows.push_back(
          {std::to_string(i), propertyNames[i], choice ? "choice" : "text", i < shown.size() ? shown[i] : "", choices});
    }
    out << "\nproperties\n";
    properties.Print(out);

    Texts channelNames;
    varn::CArray<int> channelKinds;
    device.GetChannel(channelNames, channelKinds);
    Table channels{{"index", "channel", "kind"}, {}};
    const auto cn = Utf8(channelNames);
    for (size_t i = 0; i < cn.size(); ++i)
      channels.rows.push_back(
          {std::to_string(i), cn[i], KindName(int(i) < channelKinds.GetSize() ? channelKinds[int(i)] : 0)});
    out << "\nchannels (" << cn.size() << ")\n";
    channels.Print(out);
    device.Release();
  }

  static void PrintWrites(const std::vector<BusEvent>& events, std::ostream& out) {
    for (const BusEvent& e : events) {
      if (e.kind == BusEvent::Kind::Out)
        out << "    out" << e.width << " port " << sim::Hex(e.port) << " <- " << sim::Hex(e.value) << "\n";
      else if (e.kind == BusEvent::Kind::Sleep)
        out << "    wait " << e.value << " ms\n";
    }
  }

  static int Run(const DriverLibrary& library, const RunOptions& options, std::ostream& out) {
    Bus bus(options.realClock || options.hardware ? Clock::Mode::Real : Clock::Mode::Virtual);
    if (!options.hardware) {
      sim::BoardSetup setup;
      setup.base = options.base;
      setup.inputs = options.inputs;
      bus.SetBoard(sim::MakeBoard(options.board, setup));
    }
    HostDevice<Ch> device(library, bus);
    device.values.SetSize(128);

    // Configuration, as the host's configuration environment does it.
    Texts names, texts;
    varn::CByteArray kinds;
    device.GetProperty(names, texts, kinds);
    const auto propertyNames = Utf8(names);
    for (const auto& [name, text] : options.sets) {
      size_t i = 0;
      while (i < propertyNames.size() && propertyNames[i] != name) ++i;
      if (i == propertyNames.size()) {
        std::string list;
        for (const auto& n : propertyNames) list += (list.empty() ? "" : ", ") + n;
        throw std::runtime_error("the driver has no property \"" + name + "\" (it has " + list + ")");
      }
      texts[int(i)] = Text(Codec::FromUtf8(text));
    }
    bus.TakeEvents();
    device.SetProperty(names, texts);
    if (options.hardware)
      out << library.Path() << " (" << FlavourName(library.GetFlavour())
          << " build) on the real ports of this machine\n";
    else
      out << library.Path() << " (" << FlavourName(library.GetFlavour()) << " build) on a simulated " << options.board
          << " board, " << (options.realClock ? "real" : "virtual") << " clock\n";
    const auto shown = Utf8(texts);
    for (size_t i = 0; i < propertyNames.size(); ++i) out << "  " << propertyNames[i] << " = " << shown[i] << "\n";
    const auto setEvents = bus.TakeEvents();
    if (!setEvents.empty()) {
      out << "  SvrSetProperty:\n";
      PrintWrites(setEvents, out);
    }

    Texts channelNames;
    varn::CArray<int> channelKinds;
    device.GetChannel(channelNames, channelKinds);
    const auto channels = Utf8(channelNames);
    if (device.values.GetSize() < int(channels.size())) device.values.SetSize(int(channels.size()));

    // Run, as the target does it.
    device.InitDevSet();
    device.InitDevRun();
    const auto runEvents = bus.TakeEvents();
    if (!runEvents.empty()) {
      out << "  SvrInitDevRun:\n";
      PrintWrites(runEvents, out);
    }
    for (const auto& command : options.writes) {
      const int result = device.DevIOCtrl(Text(Codec::FromUtf8(command)));
      out << "write " << command << " -> " << result << "\n";
      PrintWrites(bus.TakeEvents(), out);
    }
    if (const sim::BoardModel* board = bus.Board())
      for (const auto& line : board->Outputs()) out << "  board: " << line << "\n";

    varn::CArray<int> enabled;
    enabled.SetSize(int(channels.size()));
    for (int i = 0; i < enabled.GetSize(); ++i) enabled[i] = 1;
    for (int cycle = 1; cycle <= options.cycles; ++cycle) {
      device.CollectDevData(enabled);
      const auto events = bus.TakeEvents();
      int reads = 0;
      uint64_t waited = 0;
      for (const BusEvent& e : events) {
        reads += e.kind == BusEvent::Kind::In;
        if (e.kind == BusEvent::Kind::Sleep) waited += e.value;
      }
      char head[160];
      std::snprintf(head, sizeof head, "\ncycle %d  (t = %.3f s; %d port reads, %llu ms of waits)\n", cycle,
                    double(bus.GetClock().Now()) / 1e6, reads, static_cast<unsigned long long>(waited));
      out << head;
      PrintGrid(channels, channelKinds, device.values, out);
      out.flush();
    }
    device.ExitDevRun();
    return 0;
  }

  // The channels in columns: name, value; output channels marked.
  static void PrintGrid(const std::vector<std::string>& channels, const varn::CArray<int>& kinds,
                        const varn::CArray<double>& values, std::ostream& out) {
    constexpr size_t kColumns = 3;
    const size_t rows = (channels.size() + kColumns - 1) / kColumns;
    std::vector<std::string> cells;
    int width = 0;
    for (size_t i = 0; i < channels.size(); ++i) {
      const bool output = int(i) < kinds.GetSize() && kinds[int(i)] < 0;
      std::string cell = channels[i] + (output ? " (out)" : "");
      width = std::max(width, DisplayWidth(cell));
      cells.push_back(cell);
    }
    for (size_t r = 0; r < rows; ++r) {
      std::string line = " ";
      for (size_t c = 0; c < kColumns; ++c) {
        const size_t i = c * rows + r;
        if (i >= cells.size()) break;
        std::string value = ValueText(int(i) < values.GetSize() ? values[int(i)] : 0.0);
        line += " " + cells[i] + std::string(size_t(width - DisplayWidth(cells[i]) + 1), ' ');
        line += std::string(value.size() < 14 ? 14 - value.size() : 0, ' ') + value + "   ";
      }
      out << line << "\n";
    }
  }
};

}  // namespace

int ShowDriver(const std::string& path) {
  DriverLibrary library(path);
  InstallTraps(60);
  if (library.GetFlavour() == Flavour::Configuration)
    Person<char>::Show(library, std::cout);
  else
    Person<char16_t>::Show(library, std::cout);
  return 0;
}

// Real port access, for a real target only, and only when asked for: with I/O permission the
// driver's port instructions no longer fault, so they reach the machine's bus untrapped.
void GrantPortAccess() {
#if defined(__x86_64__) || defined(__i386__)
  if (iopl(3) != 0)
    throw std::runtime_error(std::string("no permission for the real ports (") + std::strerror(errno) +
                             "); --hardware is for a real target, run as root there");
#else
  throw std::runtime_error("--hardware is available for x86 drivers on an x86 target only");
#endif
}

int RunDriver(const std::string& path, const RunOptions& options) {
  DriverLibrary library(path);
  if (options.hardware) GrantPortAccess();
  InstallTraps(options.realClock ? 0 : 60);
  if (library.GetFlavour() == Flavour::Configuration) return Person<char>::Run(library, options, std::cout);
  return Person<char16_t>::Run(library, options, std::cout);
}

}  // namespace varnhost
