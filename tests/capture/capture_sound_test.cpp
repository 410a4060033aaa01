#include "tools/capture/capture_sound.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/player/xm_test_support.h"

namespace quarbtro::capture {
namespace {

std::vector<std::uint8_t> smallSongBytes() {
    ModuleDraft draft = testing::smallSong();
    return writeXm(draft.module());
}

TEST(CaptureSound, ASpanIsTheSameStretchOfTheSongRenderedFromItsStart) {
    const std::vector<std::uint8_t> song = smallSongBytes();
    std::vector<std::int16_t> whole, part;
    std::string error;
    ASSERT_TRUE(renderSong(song.data(), std::int32_t(song.size()), 0, 10000, whole, error)) << error;
    ASSERT_EQ(whole.size(), 20000u);
    EXPECT_TRUE(std::any_of(whole.begin(), whole.end(), [](std::int16_t s) { return s != 0; }));
    // Across block boundaries (2,048 frames) at both ends.
    ASSERT_TRUE(renderSong(song.data(), std::int32_t(song.size()), 2047, 6145, part, error));
    ASSERT_EQ(part.size(), 2u * (6145 - 2047));
    EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin() + 2 * 2047));
    // Rendering again starts the song again.
    ASSERT_TRUE(renderSong(song.data(), std::int32_t(song.size()), 0, 10000, part, error));
    EXPECT_EQ(part, whole);
}

TEST(CaptureSound, ASongThatDoesNotLoadSaysWhy) {
    std::vector<std::uint8_t> song = smallSongBytes();
    song[0] = 'X';
    std::vector<std::int16_t> samples;
    std::string error;
    EXPECT_FALSE(renderSong(song.data(), std::int32_t(song.size()), 0, 100, samples, error));
    EXPECT_EQ(error.find("the song does not load: "), 0u) << error;
    EXPECT_GT(error.size(), std::string("the song does not load: ").size());
}

}  // namespace
}  // namespace quarbtro::capture
