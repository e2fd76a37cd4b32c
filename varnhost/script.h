#pragma once

#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

namespace varnhost {

struct ScriptError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct ScriptOptions {
  unsigned watchdogSeconds = 60;  // a driver call that takes longer is reported as hung
  int indent = -1;                // -1: one line
};

// Runs a host script; prints the answer document on standard output and a one-line message on
// standard error when it fails. Returns the exit status.
int RunScript(const std::string& scriptText, const ScriptOptions& options);

}  // namespace varnhost
