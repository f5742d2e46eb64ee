#include "capture/WaveInputFactory.h"

#include "capture/AudioDeviceInput.h"
#include "capture/PacedInput.h"

namespace acw {

std::unique_ptr<WaveInput> makeWaveInput(bool demo, const std::optional<std::string>& inputPath,
                                         RecordingPlayback playback,
                                         std::optional<ChannelChoice> channels) {
    if (inputPath) {
        return std::make_unique<RecordingInput>(*inputPath,
                                                playback == RecordingPlayback::Once
                                                    ? RecordingInput::Playback::Once
                                                    : RecordingInput::Playback::Looping,
                                                channels);
    }
    if (demo) return std::make_unique<DemoAdaptorInput>();
    return std::make_unique<AudioDeviceInput>();
}

}  // namespace acw
