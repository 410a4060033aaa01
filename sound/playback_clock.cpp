#include "sound/playback_clock.h"

namespace quarbtro {

int playbackClockFromBytes(std::uint32_t bytesWritten, int queuedBytes) {
    const std::uint32_t heard = bytesWritten - static_cast<std::uint32_t>(queuedBytes);
    const long double seconds = static_cast<long double>(heard) / heardBytesPerSecond;
    return static_cast<int>(seconds * 100.0L);
}

}  // namespace quarbtro
