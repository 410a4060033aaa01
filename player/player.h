#pragma once
// The player's state: everything that playing one song needs besides the song itself. A
// program makes one Player for each song it plays at a time (the intro has exactly one, for
// its whole run; a tool or a test makes its own), configures it for an output rate, starts a
// loaded Module on it (playback.h) and renders blocks from it (render.h). Nothing in the player
// library touches a Player it was not given, so players never share state, and none of them
// writes the Module: several players may play one module at once, on any threads.
//
// Who writes what, and on which thread:
//
// - Output format (outputRate, blockFrames, invRate, rampLength, invRampLength) and the
//   settings (gain, interpolation, stereoSeparation, the fade): written by configureOutput (the settings
//   then by a tool) on the controlling thread (the one that starts and stops playback) before
//   any playback starts; read-only while a song plays.
// - mutedChannels: written on any thread at any time (xmplay's keys), read by the mixer before
//   each segment it mixes.
// - profile: written by usePlaybackProfile on the controlling thread before playback starts;
//   rules: the profile's rules for the module, set by beginPlayback. Read-only while a song
//   plays. A zero-filled player plays the design profile.
// - currentModule, onTick and the mix buffer: written by beginPlayback and endPlayback on the
//   controlling thread, only while no block is being rendered.
// - song, channels, voices, sampleFinetunes, outputBuffer and the counts: filled by
//   beginPlayback (voices by configureOutput) while nothing renders, then touched only by the
//   thread that renders blocks (a playback thread, or a tool's own thread).
// - The published position: stored by renderBlock after every block on the rendering thread,
//   loaded by the position getters on any thread; each value is one atomic word.
//
// Nothing here is locked: the hand-over between the controlling thread and the rendering
// thread is the playback thread's start and stop handshake.
//
// Besides this record the player library keeps no state of its own: the shared empty sample
// and instrument (module.h) are constant, and the loader's failure record (xm_loader.h) belongs
// to the thread that loads.

#include <atomic>
#include <cstdint>

#include "player/channel.h"
#include "player/module.h"
#include "player/playback_profile.h"
#include "player/voice.h"

namespace quarbtro {

inline constexpr std::int32_t defaultOutputRate = 44100;
inline constexpr std::int32_t defaultBlockFrames = 2048;

// How the mixer reads a sample between its frames.
enum class Interpolation : std::uint8_t {
    none,    // the frame the position is in
    linear,  // a straight line between that frame and the next: the design's and FastTracker 2's
    cubic,   // a Catmull-Rom spline through the four frames around the position
    sinc,    // a band-limited windowed-sinc kernel whose cut-off follows the step (mixer.h)
};

// Where the song stands and how it goes on, in this playing: set from the module's defaults by
// beginPlayback, then advanced by the sequencer tick by tick and by the renderer frame by frame.
struct SongState {
    std::int32_t orderPosition;        // current order position
    std::int32_t row;                  // current row of its pattern
    std::int32_t tick;                 // tick within the row; 0 = the row tick
    std::int32_t speed;                // ticks per row
    std::int32_t bpm;                  // beats per minute
    std::int32_t patternDelayTicks;    // extra ticks of the current row (EEx)
    std::int32_t fineDelayTicks;       // X6x of the row: ticks added to each of its repeats (ModPlug)
    std::int32_t repeatTicks;          // ticks of one repeat of the row (patternDelayRepeatsRow)
    std::int32_t nextRow;              // row of the next row tick; -1 = none pending
    std::int32_t nextOrder;            // order position of the next row tick; -1 = none pending
    // The cells the last row tick read (null when it read none). The row's later ticks read
    // them again: a pattern loop (E6y) moves `row` during the row tick already.
    const PatternCell* rowCells;
    // FT2's way to the next row (patternLoopAsFt2): B, D and E6x set these on the row tick.
    std::int32_t breakRow;             // where a loop or the next pattern starts; kept after a loop
    std::int32_t jumpOrder;            // Bxx's order position, when jumpsToOrder
    bool jumpsToOrder;                 // Bxx came in this row
    bool endsPattern;                  // Bxx or Dxx came in this row: the pattern ends after it
    bool loopsBack;                    // E6x jumps back to breakRow after this row
    std::int32_t globalVolume;         // 0..64
    std::uint8_t globalVolSlideMemory; // last non-zero Hxy parameter
    std::int32_t playedMs;             // milliseconds rendered since playback start
    std::int32_t samplesLeftInTick;    // output frames still owed to the current tick
    std::int32_t samplesPerTick;       // output frames per tick, from the BPM
};

struct Player {
    std::int32_t outputRate;      // Hz
    std::int32_t blockFrames;     // frames per rendered block
    float invRate;                // 1 / outputRate
    std::int32_t rampLength;      // frames of a volume ramp: 128 at 44,100 Hz
    float invRampLength;          // 1 / rampLength
    // Settings, all as the song itself plays by default (the same bytes as without them).
    float gain;                   // the mix is multiplied by it before it is rounded; 1 = as mixed
    Interpolation interpolation;  // linear by default
    std::int32_t stereoSeparation;  // percent: 100 the song's own panning, 0 mono
    std::atomic<std::uint32_t> mutedChannels;  // bit c set: channel c (from 0) is not heard
    PlaybackProfile profile = PlaybackProfile::design;  // how the song is played where trackers part
    PlaybackRules rules = {};     // the profile's rules for the module playing, consulted by the sequencer and mixer
    // A fade to silence over fadeOutFrames from the fadeOutAt-th frame rendered since playback
    // began (a raised cosine), silence after it; none while fadeOutAt is below 0.
    std::int64_t fadeOutAt;
    std::int32_t fadeOutFrames;

    const Module* currentModule;  // the song being rendered; null when none
    // One tick of the song; beginPlayback sets the sequencer's (sequencerTick) where none is
    // set. A test may put its own in before.
    std::int32_t (*onTick)(Player& player, const Module& module);
    float* mixBuffer;             // blockFrames x 2 floats (left, right), 16-byte aligned
    void* mixBufferAllocation;    // what was allocated for mixBuffer (for freeing)

    SongState song;
    Channel channels[maxChannels];
    Voice voices[voiceCount];
    // Each sample's finetune (1/128 semitone) as this playing has it: the song's value at the
    // start, then whatever E5y set. Kept here, not in the song, so that playing never changes
    // a loaded module and a module plays the same every time it starts.
    std::int8_t sampleFinetunes[maxInstruments][maxSamplesPerInstrument];
    std::int16_t outputBuffer[defaultBlockFrames * 2];  // one block, left then right
    // Frames rendered since playback began, and samples of them clipped to 16 bits (the mix
    // beyond full scale): written by the rendering thread, read once it has stopped.
    std::int64_t renderedFrames;
    std::int64_t clippedSamples;

    std::atomic<std::uint8_t> publishedOrderPosition;  // low 8 bits of orderPosition
    std::atomic<std::uint8_t> publishedRow;            // low 8 bits of row
    std::atomic<std::int32_t> publishedPlayedMs;       // playedMs
    std::atomic<std::uint8_t> publishedSpeed;          // ticks per row
    std::atomic<std::uint8_t> publishedBpm;            // beats per minute
    std::atomic<std::uint8_t> publishedSoundingChannels;  // channels whose voice plays a sample
};

// Sets the output format for a rate (blocks of 2,048 frames, ramps of rate x 128 / 44,100
// frames) and the default settings (a gain of 1, linear interpolation, the song's own panning,
// every channel heard, no fade), and resets every voice to silence: voice i gets index i and a step of
// one frame.
void configureOutput(Player& player, std::int32_t rate);

// Makes the player play by a profile's rules (for the module) from the next playback start on.
void usePlaybackProfile(Player& player, PlaybackProfile profile);

}  // namespace quarbtro
