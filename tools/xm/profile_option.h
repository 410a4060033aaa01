#pragma once
// --profile for the XM tools: how the player plays where trackers part (player/
// playback_profile.h). The tools play as FastTracker 2 unless told otherwise; the intro and
// its capture play the design.

#include <string>

#include "player/playback_profile.h"
#include "cli/command_line.h"

namespace quarbtro {

inline constexpr PlaybackProfile toolsDefaultProfile = PlaybackProfile::ft2;

inline cli::Option profileOption(PlaybackProfile& target) {
    return {"profile", 0, "NAME",
            "play as ft2 (FastTracker 2, the default) or design (the intro's own player)",
            [&target](const char* value) {
                const auto profile = playbackProfileNamed(value);
                if (profile) target = *profile;
                return profile ? std::string() : std::string("takes ft2 or design");
            }};
}

}  // namespace quarbtro
