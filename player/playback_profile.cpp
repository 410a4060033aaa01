#include "player/playback_profile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "player/module.h"

namespace quarbtro {

namespace {

// Whether the module names OpenMPT older than major.minor.fix.build as the tracker that wrote
// it ("OpenMPT 1.20.00.39").
bool writtenByOpenMptBefore(const Module& module, const int (&version)[4]) {
    int found[4];
    char tail;
    if (std::sscanf(module.trackerName, "OpenMPT %d.%d.%d.%d%c", &found[0], &found[1], &found[2], &found[3], &tail) < 4)
        return false;
    return std::lexicographical_compare(found, found + 4, version, version + 4);
}

// OpenMPT and the ModPlug Tracker it grew from ("OpenMPT 1.20.00.39", "ModPlug Tracker").
bool writtenByModPlugTracker(const Module& module) {
    return std::strncmp(module.trackerName, "OpenMPT ", 8) == 0 || std::strncmp(module.trackerName, "ModPlug", 7) == 0;
}

}  // namespace

PlaybackRules playbackRules(PlaybackProfile profile, const Module& module) {
    if (profile == PlaybackProfile::design) return {};
    PlaybackRules rules;
    rules.instrumentOfPlayingNote = true;
    rules.keyOffAsNote = true;
    rules.keyOffZeroesVolume = true;
    rules.noteDelayAsFt2 = true;
    rules.notesOutOfRangeIgnored = true;
    rules.emptyNotesKeepPlaying = true;
    rules.finetuneInSixteenths = !writtenByOpenMptBefore(module, {1, 22, 7, 0});
    rules.finetuneCommandAsFt2 = true;
    rules.arpeggioTable = true;
    rules.periodLimitsAsFt2 = true;
    rules.tonePortamentoAsFt2 = true;
    rules.volumeColumnPortamentoRow = true;
    rules.sampleOffsetAsFt2 = true;
    rules.retriggerAsFt2 = true;
    rules.tremorAsFt2 = true;
    rules.tremoloWaveformsAsFt2 = true;
    rules.volumeOffsetPersists = true;
    rules.separateFineVolumeMemories = true;
    rules.volumeLimitsAsFt2 = true;
    rules.volumeColumnAsFt2 = true;
    rules.periodOffsetPersists = true;
    rules.vibratoParameterEveryTick = true;
    rules.envelopesAfterEffects = true;
    rules.panningSustainNeverReleased = true;
    rules.sustainLoopLeftAtKeyOff = true;
    rules.envelopesOfNumberedNote = true;
    rules.envelopePositionAsFt2 = true;
    rules.autoVibratoAsFt2 = true;
    rules.patternLoopAsFt2 = true;
    rules.patternDelayRepeatsRow = true;
    rules.finePatternDelay = writtenByModPlugTracker(module);
    rules.panLawAsFt2 = true;
    rules.fineVoiceVolumes = true;
    rules.endOfSampleDeclick = true;
    rules.volumeRampsAsFt2 = true;
    return rules;
}

std::optional<PlaybackProfile> playbackProfileNamed(std::string_view name) {
    if (name == "design") return PlaybackProfile::design;
    if (name == "ft2") return PlaybackProfile::ft2;
    return std::nullopt;
}

const char* playbackProfileName(PlaybackProfile profile) {
    return profile == PlaybackProfile::ft2 ? "ft2" : "design";
}

}  // namespace quarbtro
