#include "tools/rimeflower/command_line.h"

#include <cstdio>

namespace rf::tools {

int Fail(const std::string& message) {
  std::fprintf(stderr, "rimeflower: %s\n", message.c_str());
  return 1;
}

int UsageError(const std::string& command, const std::string& message) {
  std::fprintf(stderr, "rimeflower %s: %s\n(see 'rimeflower %s --help')\n", command.c_str(), message.c_str(),
               command.c_str());
  return 2;
}

TakeArgument StoreIn(std::string& field) {
  return [&field](const std::string& value) {
    field = value;
    return std::string();
  };
}

TakeArgument SetTrue(bool& field) {
  return [&field](const std::string&) {
    field = true;
    return std::string();
  };
}

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

// Takes args[i] (and the value after it) when it belongs to `option`.
bool Takes(const Option& option, const Args& args, size_t& i, std::string& value) {
  const std::string& a = args[i];
  for (const char* name : {option.name, option.alias}) {
    if (!name) continue;
    const std::string n = name;
    if (!option.takesValue) {
      if (a == n) return true;
    } else if (StartsWith(a, n + "=")) {
      value = a.substr(n.size() + 1);
      return true;
    } else if (a == n && i + 1 < args.size()) {
      value = args[++i];
      return true;
    }
  }
  return false;
}

}  // namespace

std::optional<int> ParseCommandLine(const CommandLine& line, const Args& args) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (line.help && (a == "--help" || a == "-h")) {
      std::fputs(line.help, stdout);
      return 0;
    }
    const Option* taken = nullptr;
    std::string value;
    for (const Option& option : line.options)
      if (Takes(option, args, i, value)) {
        taken = &option;
        break;
      }
    if (!taken)
      for (const Option& option : line.options)
        if (option.takesValue && option.missingValue && StartsWith(a, option.name))
          return UsageError(line.command, option.missingValue);
    std::string error;
    if (taken) {
      error = taken->take(value);
    } else if (!a.empty() && a[0] == '-' && !(line.dashIsWord && a == "-")) {
      error = std::string(line.unknown) + " '" + a + "'";
    } else {
      error = line.word ? line.word(a) : std::string(line.unknown) + " '" + a + "'";
    }
    if (!error.empty()) return UsageError(line.command, error);
  }
  return std::nullopt;
}

}  // namespace rf::tools
