// The rimeflower program run as a user runs it: each test gets a folder of
// its own and a configuration folder inside it, so that the user's last-used
// values are neither read nor changed, and standard output and error are
// captured apart.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "tools/imagefile/image_io.h"

namespace rf::tools::testing {

class CommandTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs `rimeflower ARGUMENTS`, quoted as for a shell ("Center X=5" is one
  // argument); fills `out` and `err` and answers the exit code. `shell` is
  // put before the command in the same shell ("ulimit -v 300000;").
  int Run(const std::string& arguments, const std::string& shell = "");

  // Every entry of the test's folder but the captured output and the
  // configuration: files by content, links by target, others by kind.
  using Snapshot = std::map<std::string, std::string>;
  Snapshot Take() const;
  // Fails the test when anything but `changed` differs from `before`
  // (a temporary file left behind included).
  void ExpectOnlyChanged(const Snapshot& before, const std::set<std::string>& changed,
                         const std::string& context) const;

  // A file of the test's folder, as a path and quoted for Run.
  std::string Path(const std::string& name) const;
  std::string Quoted(const std::string& name) const;
  bool Exists(const std::string& name) const;
  std::string Read(const std::string& name) const;
  void Write(const std::string& name, const std::string& bytes) const;
  // A picture of every sample value, written in the format its name says.
  void WriteImage(const std::string& name, int width, int height, ImageMode mode = ImageMode::RGB) const;
  Image ReadImage(const std::string& name) const;

  std::filesystem::path folder;
  std::string pluginDir;  // the build's folder of Rimeflower64.8bf
  std::string out, err;
};

}  // namespace rf::tools::testing
