// libFuzzer entry: the whole conversion in memory on arbitrary bytes, options taken from the last bytes.
//
// The sanitizers stop the run on any fault of memory or undefined behaviour; conversion_oracle.h
// says which options each input gets and what its report must look like, and a failed check stops
// the run the same way, so the input is kept as a crash.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include "fuzz/conversion_oracle.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  const std::string failed = tavrin::fuzz::CheckConversion(input, tavrin::fuzz::RunFor(input));
  if (!failed.empty()) {
    std::fprintf(stderr, "tavrin fuzz check failed: %s\n", failed.c_str());
    std::abort();
  }
  return 0;
}
