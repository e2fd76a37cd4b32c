// varnhost: the project's stand-in for the HMI/SCADA host. It loads a driver file by name,
// resolves its thirteen entry points and drives it against a simulated bus.
//
//   varnhost script FILE.json|-           run a host script, print the answers as JSON
//   varnhost show FILE                    device information, properties, channels
//   varnhost run FILE --board WORD ...    configure as a host would and show live values
//
// Given an ARM driver, the varnhost for this machine runs its ARM build under qemu-arm.
#include <sys/wait.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <fstream>
#include <iostream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

#include "varnhost/elf.h"
#include "varnhost/people.h"
#include "varnhost/script.h"

namespace {

using namespace varnhost;

std::string ReadAll(std::istream& in) { return std::string(std::istreambuf_iterator<char>(in), {}); }

bool NeedsArm(const std::string& driverPath) {
#if defined(__arm__)
  (void)driverPath;
  return false;
#else
  try {
    return ReadElf(driverPath).machine == Machine::Arm;
  } catch (const ElfError&) {
    return false;  // the loader reports it
  }
#endif
}

std::string SelfDirectory() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  std::string self(path, size_t(n));
  return self.substr(0, self.rfind('/'));
}

// Runs the ARM build of varnhost under user-mode emulation with the same arguments; the script
// text, when it came from standard input, is handed on through a pipe.
int RunArmBuild(int argc, char** argv, const std::string* standardInput) {
  const char* qemu = getenv("VARNHOST_QEMU") ? getenv("VARNHOST_QEMU") : "qemu-arm";
  const char* sysroot = getenv("VARNHOST_ARM_SYSROOT") ? getenv("VARNHOST_ARM_SYSROOT") : "/usr/arm-linux-gnueabi";
  const std::string arm = getenv("VARNHOST_ARM") ? getenv("VARNHOST_ARM") : SelfDirectory() + "/varnhost_ARMV4";
  if (access(arm.c_str(), X_OK) != 0) {
    std::cerr << "varnhost: the ARM build of varnhost is missing (" << arm << ")\n";
    return 2;
  }
  std::vector<std::string> args = {qemu, "-L", sysroot, arm};
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  std::vector<char*> cargs;
  for (auto& a : args) cargs.push_back(a.data());
  cargs.push_back(nullptr);
  int pipeFds[2] = {-1, -1};
  if (standardInput != nullptr && pipe(pipeFds) != 0) {
    std::cerr << "varnhost: cannot create a pipe\n";
    return 2;
  }
  std::cout.flush();
  const pid_t child = fork();
  if (child == 0) {
    if (standardInput != nullptr) {
      dup2(pipeFds[0], 0);
      close(pipeFds[0]);
      close(pipeFds[1]);
    }
    execvp(qemu, cargs.data());
    std::cerr << "varnhost: cannot run " << qemu << " for an ARM driver (install qemu-user)\n";
    _exit(2);
  }
  if (standardInput != nullptr) {
    close(pipeFds[0]);
    size_t done = 0;
    while (done < standardInput->size()) {
      const ssize_t n = write(pipeFds[1], standardInput->data() + done, standardInput->size() - done);
      if (n <= 0) break;
      done += size_t(n);
    }
    close(pipeFds[1]);
  }
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  std::cerr << "varnhost: the ARM build of varnhost ended on signal " << WTERMSIG(status) << "\n";
  return 1;
}

std::pair<std::string, std::string> SplitAssignment(const std::string& text, const char* option) {
  const auto at = text.find('=');
  if (at == std::string::npos || at == 0)
    throw CLI::ValidationError(option, "expects NAME=VALUE, got \"" + text + "\"");
  return {text.substr(0, at), text.substr(at + 1)};
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"varnhost: the host stand-in that loads a driver file and drives it against a simulated bus"};
  app.require_subcommand(1);

  std::string scriptFile;
  ScriptOptions scriptOptions;
  bool pretty = false;
  auto* script = app.add_subcommand("script", "run a host script (JSON) and print the answers as JSON");
  script->add_option("FILE", scriptFile, "the script, or - for standard input")->required();
  script->add_option("--watchdog", scriptOptions.watchdogSeconds, "seconds a driver call may take (0: no limit)");
  script->add_flag("--pretty", pretty, "indent the answer");

  std::string showFile;
  auto* show = app.add_subcommand("show", "show a driver's device information, properties and channels");
  show->add_option("FILE", showFile, "the driver file")->required();

  std::string runFile, clock = "virtual";
  RunOptions runOptions;
  std::vector<std::string> sets, inputs;
  uint32_t base = 0;
  auto* run = app.add_subcommand("run", "configure a driver as a host would, run acquisition cycles, show the values");
  run->add_option("FILE", runFile, "the driver file")->required();
  auto* board = run->add_option("--board", runOptions.board, "the simulated board behind the ports");
  auto* hardware = run->add_flag("--hardware", runOptions.hardware,
                                 "use the real ports of this machine (a real target, as root) instead of a board");
  board->excludes(hardware);
  hardware->excludes(board);
  run->add_option("--set", sets, "NAME=TEXT: a property's value text before SvrSetProperty");
  run->add_option("--cycles", runOptions.cycles, "acquisition cycles (default 3)")->check(CLI::Range(0, 1000000));
  run->add_option("--write", runOptions.writes, "a write command, e.g. VARN_WRITE(5=2.5), sent before the cycles");
  auto* baseOption = run->add_option("--base", base, "where the board's base address jumpers sit");
  run->add_option("--input", inputs, "NAME=VALUE: an input of the simulated board (a voltage, pins, a rate)");
  run->add_option("--clock", clock, "virtual (default) or real")->check(CLI::IsMember({"virtual", "real"}));

  CLI11_PARSE(app, argc, argv);

  try {
    if (script->parsed()) {
      std::string text;
      if (scriptFile == "-") {
        text = ReadAll(std::cin);
      } else {
        std::ifstream in(scriptFile);
        if (!in) {
          std::cerr << "varnhost: no such script file: " << scriptFile << "\n";
          return 2;
        }
        text = ReadAll(in);
      }
      const auto parsed = nlohmann::json::parse(text, nullptr, false);
      if (!parsed.is_discarded() && parsed.is_object() && parsed.contains("driver") && parsed["driver"].is_string() &&
          NeedsArm(parsed["driver"].get<std::string>()))
        return RunArmBuild(argc, argv, scriptFile == "-" ? &text : nullptr);
      if (pretty) scriptOptions.indent = 2;
      return RunScript(text, scriptOptions);
    }
    if (show->parsed()) {
      if (NeedsArm(showFile)) return RunArmBuild(argc, argv, nullptr);
      return ShowDriver(showFile);
    }
    if (runOptions.board.empty() && !runOptions.hardware)
      throw CLI::ValidationError("--board",
                                 "run needs --board WORD (a simulated board), or --hardware on a real target");
    if (NeedsArm(runFile)) return RunArmBuild(argc, argv, nullptr);
    for (const auto& s : sets) runOptions.sets.push_back(SplitAssignment(s, "--set"));
    for (const auto& s : inputs) {
      const auto [name, value] = SplitAssignment(s, "--input");
      size_t used = 0;
      double number = 0;
      try {
        number = std::stod(value, &used);
      } catch (const std::exception&) {
      }
      if (used == 0 || used != value.size()) throw CLI::ValidationError("--input", "\"" + value + "\" is not a number");
      runOptions.inputs[name] = number;
    }
    if (baseOption->count() > 0) runOptions.base = base;
    runOptions.realClock = clock == "real";
    return RunDriver(runFile, runOptions);
  } catch (const CLI::Error& e) {
    return app.exit(e);
  } catch (const std::exception& e) {
    std::cerr << "varnhost: " << e.what() << "\n";
    return 2;
  }
}
