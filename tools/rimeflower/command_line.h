// Rimeflower host: reading a command's arguments.
//
// Every command declares its options in a table and hands the arguments to
// ParseCommandLine, so that all of them take "--opt VALUE" and "--opt=VALUE"
// alike and report mistakes the same way:
//
//   std::string output;
//   const CommandLine line{"mask", kHelp, "unknown option or missing value",
//                          {{"--output", "-o", kValue, StoreIn(output)}},
//                          [&](const std::string& word) { ...; return ""; }};
//   if (const std::optional<int> stop = ParseCommandLine(line, args)) return *stop;
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace rf::tools {

// Arguments of one command, without the program and command names.
using Args = std::vector<std::string>;

// Prints "rimeflower: <message>" to standard error and returns exit code 1.
int Fail(const std::string& message);
// Prints "rimeflower <command>: <message>" and the hint to use --help; returns 2.
int UsageError(const std::string& command, const std::string& message);

// Takes an option's value (empty for a flag) or a positional word; answers
// an empty string when it is accepted, else why not (a usage error).
using TakeArgument = std::function<std::string(const std::string&)>;

// The usual ways to take one: keep the value in `field`; set `field`.
TakeArgument StoreIn(std::string& field);
TakeArgument SetTrue(bool& field);

constexpr bool kFlag = false;
constexpr bool kValue = true;

struct Option {
  const char* name;   // "--output"
  const char* alias;  // "-o", or null
  bool takesValue;
  TakeArgument take;
  // For a value option: the usage error when the value is missing. The name
  // then also claims every argument it begins ("--folderx" is a misspelt
  // --folder, not an unknown option). Null: such arguments are unknown.
  const char* missingValue = nullptr;
};

struct CommandLine {
  const char* command;  // for messages: "rimeflower <command>: ..."
  // Printed to standard output by --help or -h, which end the parse with
  // exit code 0. Null when the command lists --help among its options.
  const char* help;
  // The start of the usage error for an argument no option takes, followed
  // by the argument in quotes: "unknown option" gives "unknown option '-x'".
  const char* unknown;
  std::vector<Option> options;
  // Positional words, in order; null when the command takes none (they are
  // then reported like unknown options).
  TakeArgument word = nullptr;
  // Whether a lone "-" is a word rather than an unknown option.
  bool dashIsWord = false;
};

// Goes through `args` in order. Answers nothing when every argument was
// taken, else the exit code the command ends with (0 after --help, 2 after a
// usage error, which has been printed).
std::optional<int> ParseCommandLine(const CommandLine& line, const Args& args);

}  // namespace rf::tools
