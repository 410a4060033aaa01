#pragma once
// Block rendering: fills audioOutput.outputBuffer with the next blockFrames frames of the
// current module, alternating sequencer ticks and mixing. A tick can straddle two blocks; the
// frames still owed to it are carried in the module's samplesLeftInTick. Called by the playback
// thread, or by an offline renderer on its own thread, after beginPlayback.

namespace quarbtro {

void renderBlock();

}  // namespace quarbtro
