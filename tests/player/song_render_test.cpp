// The offline render's start by time and its limit: what is left out at the start and what
// follows is the whole song's own sound, frame for frame; a limit cuts with a fade.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "player/song_render.h"
#include "tests/player/test_song.h"

namespace quarbtro {
namespace {

// Two notes an octave apart in a song of 8 rows (about 0.96 s at speed 6 and 125 BPM).
struct TwoNotes {
    TestSong song{1, {8}};
    TwoNotes() {
        song.addInstrument(20000);
        song.cell(0, 0, 0) = {49, 1, 0, 0, 0};
        song.cell(0, 4, 0) = {61, 1, 0, 0, 0};
    }
};

std::vector<float> rendered(const Module& module, const SongRenderRequest& request) {
    auto render = std::make_unique<SongRender>();
    EXPECT_TRUE(beginSongRender(*render, module, request));
    std::vector<float> left;
    while (const int frames = renderSongBlock(*render))
        for (int i = 0; i < frames; ++i) left.push_back(render->player.mixBuffer[2 * i]);
    endSongRender(*render);
    return left;
}

TEST(SongRender, LeftOutFramesAreTheWholeSongsFirst) {
    TwoNotes notes;
    const std::vector<float> whole = rendered(notes.song.module, {});
    ASSERT_EQ(whole.size(), 8u * 6 * 882);
    for (std::int64_t skip : {2048, 12345}) {
        SongRenderRequest request;
        request.skipFrames = skip;
        const std::vector<float> rest = rendered(notes.song.module, request);
        ASSERT_EQ(rest.size(), whole.size() - skip);
        for (std::size_t i = 0; i < rest.size(); ++i) ASSERT_EQ(rest[i], whole[skip + i]) << skip << " + " << i;
    }
    SongRenderRequest past;
    past.skipFrames = static_cast<std::int64_t>(whole.size());
    auto render = std::make_unique<SongRender>();
    EXPECT_FALSE(beginSongRender(*render, notes.song.module, past));  // nothing would be left
}

TEST(SongRender, ALimitCutsTheSongWithAFade) {
    TwoNotes notes;
    const std::vector<float> whole = rendered(notes.song.module, {});
    SongRenderRequest request;
    request.skipFrames = 1000;
    request.longestFrames = 20000;
    request.fadeFrames = 4410;
    const std::vector<float> cut = rendered(notes.song.module, request);
    ASSERT_EQ(cut.size(), 20000u);
    for (std::size_t i = 0; i < 20000 - 4410; ++i) ASSERT_EQ(cut[i], whole[1000 + i]) << i;
    EXPECT_NEAR(cut[20000 - 4410 / 2], whole[1000 + 20000 - 4410 / 2] / 2, 1);  // half way
    EXPECT_NEAR(cut.back(), 0, 0.1);
    request.longestFrames = 100000;  // the song ends first: no fade
    EXPECT_EQ(rendered(notes.song.module, request).back(), whole.back());
}

}  // namespace
}  // namespace quarbtro
