// Rimeflower: a host suite held for one step.
//
// Suites are acquired by name and version through the host's basic suite and
// must be released exactly once. A ScopedSuite does both; a host without the
// basic suite or without the suite leaves it empty, and the step that wanted
// it is skipped.
#pragma once

#include <cstdint>

#include "host/interface/host_interface.h"

namespace rf::host {

template <class Procs>
class ScopedSuite {
 public:
  ScopedSuite(const SPBasicSuite* basic, const char* name, int32_t version)
      : basic_(basic), name_(name), version_(version) {
    if (!basic_ || !basic_->AcquireSuite || !basic_->ReleaseSuite) return;
    const void* p = nullptr;
    if (basic_->AcquireSuite(name_, version_, &p) == kSPNoError && p) procs_ = static_cast<const Procs*>(p);
  }
  ~ScopedSuite() {
    if (procs_) basic_->ReleaseSuite(name_, version_);
  }
  ScopedSuite(const ScopedSuite&) = delete;
  ScopedSuite& operator=(const ScopedSuite&) = delete;

  explicit operator bool() const { return procs_ != nullptr; }
  const Procs* operator->() const { return procs_; }
  const Procs* get() const { return procs_; }

 private:
  const SPBasicSuite* basic_;
  const char* name_;
  int32_t version_;
  const Procs* procs_ = nullptr;
};

}  // namespace rf::host
