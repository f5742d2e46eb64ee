#pragma once

#include <memory>
#include <optional>
#include <string>

#include "capture/RecordingReader.h"
#include "capture/WaveInput.h"

namespace acw {

// How a recording given as the source is played: over and over as a sound card would deliver it
// (the window), or once (headless measuring, where its end is the end of the run).
enum class RecordingPlayback { Looping, Once };

// Chooses the capture source from the program's options: a recording (`--input FILE`) or the
// demo adaptor (`--demo`) as the only device, otherwise the system's sound cards. A recording is
// only checked when it is opened; `channels` names its voltage and current channels when it has
// more than two.
std::unique_ptr<WaveInput> makeWaveInput(bool demo, const std::optional<std::string>& inputPath,
                                         RecordingPlayback playback = RecordingPlayback::Looping,
                                         std::optional<ChannelChoice> channels = std::nullopt);

}  // namespace acw
