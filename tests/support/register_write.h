// One register write of a made-up command stream, for tests that drive the register model directly.
#pragma once

namespace tavrin {

struct Write {
  int port;
  unsigned reg;
  unsigned value;
};

}  // namespace tavrin
