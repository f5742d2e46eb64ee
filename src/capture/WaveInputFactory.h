#pragma once

#include <memory>
#include <optional>
#include <string>

#include "capture/WaveInput.h"

namespace acw {

// Chooses the capture source from the program's options: a recording (`--input FILE`) or the
// demo adaptor (`--demo`) as the only device, otherwise the system's sound cards. A recording is
// only checked when it is opened (at START).
std::unique_ptr<WaveInput> makeWaveInput(bool demo, const std::optional<std::string>& inputPath);

}  // namespace acw
