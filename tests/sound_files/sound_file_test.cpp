#include "tools/xm/sound_file.h"

#include <FLAC/stream_decoder.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace quarbtro {
namespace {

// Three frames of the mix and the same rounded and clipped, as the renderer hands them over.
constexpr float mix[] = {16384.0f, -16384.0f, 40000.0f, -0.25f, 0.0f, -32768.0f};
constexpr std::int16_t samples[] = {16384, -16384, 32767, 0, 0, -32768};

std::vector<unsigned char> written(SoundFileFormat format, std::int32_t rate = 48000) {
    std::FILE* file = std::tmpfile();
    auto writer = makeSoundWriter(format, file, "test");
    EXPECT_TRUE(writer->begin(3, rate));
    EXPECT_TRUE(writer->write(mix, samples, 2));
    EXPECT_TRUE(writer->write(mix + 4, samples + 4, 1));
    EXPECT_TRUE(writer->finish()) << writer->error();
    std::fseek(file, 0, SEEK_END);  // FLAC's encoder ends where it completed the stream information
    std::vector<unsigned char> bytes(static_cast<std::size_t>(std::ftell(file)));
    std::rewind(file);
    EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
    return bytes;
}

std::uint32_t word(const std::vector<unsigned char>& bytes, std::size_t at, int size = 4) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | bytes.at(at + i);
    return value;
}

float floatAt(const std::vector<unsigned char>& bytes, std::size_t at) {
    const std::uint32_t bits = word(bytes, at);
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
}

const std::vector<unsigned char> samplesLittleEndian = {0x00, 0x40, 0x00, 0xC0, 0xFF, 0x7F,
                                                        0x00, 0x00, 0x00, 0x00, 0x00, 0x80};

TEST(SoundFile, SixteenBitWavIsTheHeaderAndTheRoundedSamples) {
    const std::vector<unsigned char> bytes = written(SoundFileFormat::wav);
    ASSERT_EQ(bytes.size(), 44u + 12u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(word(bytes, 24), 48000u);  // the rate given
    EXPECT_EQ(word(bytes, 40), 12u);     // data bytes
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin() + 44, bytes.end()), samplesLittleEndian);
}

TEST(SoundFile, RawIsTheSamplesAlone) { EXPECT_EQ(written(SoundFileFormat::raw), samplesLittleEndian); }

TEST(SoundFile, FloatWavHoldsTheMixUnroundedAndUnclipped) {
    const std::vector<unsigned char> bytes = written(SoundFileFormat::floatWav, 44100);
    ASSERT_EQ(bytes.size(), 12u + 26u + 12u + 8u + 24u);
    EXPECT_EQ(word(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(word(bytes, 16), 18u);     // the format chunk's size
    EXPECT_EQ(word(bytes, 20, 2), 3u);   // IEEE float
    EXPECT_EQ(word(bytes, 22, 2), 2u);   // channels
    EXPECT_EQ(word(bytes, 24), 44100u);
    EXPECT_EQ(word(bytes, 28), 44100u * 8);
    EXPECT_EQ(word(bytes, 32, 2), 8u);   // bytes per frame
    EXPECT_EQ(word(bytes, 34, 2), 32u);  // bits
    EXPECT_EQ(std::string(bytes.begin() + 38, bytes.begin() + 42), "fact");
    EXPECT_EQ(word(bytes, 46), 3u);      // frames
    EXPECT_EQ(std::string(bytes.begin() + 50, bytes.begin() + 54), "data");
    EXPECT_EQ(word(bytes, 54), 24u);
    const float expected[] = {0.5f, -0.5f, 40000.0f / 32768.0f, -0.25f / 32768.0f, 0.0f, -1.0f};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(floatAt(bytes, 58 + 4 * i), expected[i]) << i;
}

// What libFLAC's own decoder reads back from a file.
struct Decoded {
    std::vector<std::int32_t> samples;
    FLAC__uint64 totalFrames = 0;
    unsigned rate = 0;
};

Decoded decodeFlac(const std::vector<unsigned char>& bytes) {
    std::FILE* file = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    Decoded decoded;
    FLAC__StreamDecoder* decoder = FLAC__stream_decoder_new();
    auto onFrame = [](const FLAC__StreamDecoder*, const FLAC__Frame* frame, const FLAC__int32* const channels[],
                      void* target) {
        for (unsigned i = 0; i < frame->header.blocksize; ++i)
            for (int c = 0; c < 2; ++c) static_cast<Decoded*>(target)->samples.push_back(channels[c][i]);
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    };
    auto onMetadata = [](const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata, void* target) {
        if (metadata->type != FLAC__METADATA_TYPE_STREAMINFO) return;
        static_cast<Decoded*>(target)->totalFrames = metadata->data.stream_info.total_samples;
        static_cast<Decoded*>(target)->rate = metadata->data.stream_info.sample_rate;
    };
    auto onError = [](const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void*) { ADD_FAILURE(); };
    EXPECT_EQ(FLAC__stream_decoder_init_FILE(decoder, file, onFrame, onMetadata, onError, &decoded),
              FLAC__STREAM_DECODER_INIT_STATUS_OK);
    EXPECT_TRUE(FLAC__stream_decoder_process_until_end_of_stream(decoder));
    FLAC__stream_decoder_finish(decoder);  // closes the file
    FLAC__stream_decoder_delete(decoder);
    return decoded;
}

TEST(SoundFile, FlacDecodesToTheSixteenBitSamples) {
    const Decoded decoded = decodeFlac(written(SoundFileFormat::flac, 96000));
    EXPECT_EQ(decoded.samples, std::vector<std::int32_t>(std::begin(samples), std::end(samples)));
    EXPECT_EQ(decoded.totalFrames, 3u);
    EXPECT_EQ(decoded.rate, 96000u);
}

TEST(SoundFile, AFullDiskIsReportedByName) {
    for (SoundFileFormat format : {SoundFileFormat::wav, SoundFileFormat::floatWav, SoundFileFormat::flac, SoundFileFormat::raw}) {
        std::FILE* full = std::fopen("/dev/full", "wb");
        ASSERT_NE(full, nullptr);
        std::setvbuf(full, nullptr, _IONBF, 0);
        auto writer = makeSoundWriter(format, full, "song.wav");
        const bool written = writer->begin(3, 44100) && writer->write(mix, samples, 3) && writer->finish();
        EXPECT_FALSE(written);
        EXPECT_EQ(writer->error(), "cannot write song.wav: No space left on device");
        std::fclose(full);
    }
}

TEST(SoundFile, WavRefusesWhatItsSizesCannotHold) {
    // 4 bytes a frame in 16 bits, 8 in float: 4 GiB of data is 2^30 or 2^29 frames.
    for (auto [format, frames] : {std::pair{SoundFileFormat::wav, std::int64_t{1} << 30},
                                  std::pair{SoundFileFormat::floatWav, std::int64_t{1} << 29}}) {
        auto writer = makeSoundWriter(format, stdout, "long.wav");
        EXPECT_FALSE(writer->begin(frames, 192000));
        EXPECT_NE(writer->error().find("more than a WAV file holds"), std::string::npos) << writer->error();
        std::FILE* file = std::tmpfile();
        EXPECT_TRUE(makeSoundWriter(format, file, "x")->begin(frames - (std::int64_t{1} << 20), 192000));
        std::fclose(file);
    }
}

TEST(SoundFile, FormatsByNameAndByExtension) {
    EXPECT_EQ(soundFileFormatNamed("float"), SoundFileFormat::floatWav);
    EXPECT_EQ(soundFileFormatNamed("flac"), SoundFileFormat::flac);
    EXPECT_FALSE(soundFileFormatNamed("mp3"));
    EXPECT_EQ(soundFileFormatOfPath("out/Song.FLAC"), SoundFileFormat::flac);
    EXPECT_EQ(soundFileFormatOfPath("song.raw"), SoundFileFormat::raw);
    EXPECT_EQ(soundFileFormatOfPath("song.wav"), SoundFileFormat::wav);
    EXPECT_FALSE(soundFileFormatOfPath("song.mp3"));
    EXPECT_FALSE(soundFileFormatOfPath("a.flac/song"));
    EXPECT_STREQ(extensionOf(SoundFileFormat::floatWav), ".wav");
}

}  // namespace
}  // namespace quarbtro
