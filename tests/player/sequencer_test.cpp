// Row processing and the voice update over songs built in code.
#include <gtest/gtest.h>

#include "player/playback.h"
#include "player/render.h"
#include "tests/player/test_song.h"
#include "tests/player/xm_test_support.h"

namespace quarbtro {
namespace {


TEST(Sequencer, WorkedRowTickOnBothFrequencyTables) {
    struct Table {
        bool linear;
        std::int32_t notePeriod;
        std::int32_t frequency;
        std::uint32_t stepFrac;
    };
    for (const Table& table : {Table{true, 4608, 8363, 814485521u}, Table{false, 1712, 8362, 814388129u}}) {
        TestSong song(1, {64}, table.linear);
        song.addInstrument();
        song.cell(0, 0, 0) = {49, 1, 0, 0, 0};
        song.start();
        song.tick();
        const Channel& channel = song.channel(0);
        const Voice& voice = song.voiceOf(0);
        EXPECT_EQ(channel.note, 48);
        EXPECT_EQ(channel.notePeriod, table.notePeriod);
        EXPECT_EQ(channel.period, table.notePeriod);
        EXPECT_EQ(voice.frequency, table.frequency);
        EXPECT_EQ(voice.stepInt, 0u);
        EXPECT_EQ(voice.stepFrac, table.stepFrac);
        EXPECT_EQ(voice.volume, 127);
        EXPECT_EQ(voice.panning, 128);
        EXPECT_EQ(voice.targetLeft, 63);
        EXPECT_EQ(voice.targetRight, 63);
        EXPECT_EQ(voice.positionInt, 0u);
        EXPECT_EQ(voice.direction, forward);
        EXPECT_EQ(voice.sample, &song.sampleOf(1));
    }
}

TEST(Sequencer, PanningZeroIsLeftAndFullIsRight) {
    TestSong song(2, {64});
    song.addInstrument();
    song.cell(0, 0, 0) = {49, 1, 0xC0, 0, 0};  // volume column: panning 0
    song.cell(0, 0, 1) = {49, 1, 0xCF, 0, 0};  // panning 240
    song.start();
    song.tick();
    EXPECT_EQ(song.voiceOf(0).targetLeft, 127);
    EXPECT_EQ(song.voiceOf(0).targetRight, 0);
    EXPECT_EQ(song.voiceOf(1).targetLeft, 7);  // 127 x 15 / 255
    EXPECT_EQ(song.voiceOf(1).targetRight, 119);
}

// As FT2 pans (panLawAsFt2, fineVoiceVolumes): a square-root law on voice volumes 256 times
// finer; the centre is 3 dB down on both sides, hard left leaves the right at nothing, and 255
// leaves the left 24 dB down.
TEST(Ft2Profile, SquareRootPanLaw) {
    TestSong song(3, {64});
    song.addInstrument();
    song.cell(0, 0, 0) = {49, 1, 0xC0, 0, 0};
    song.cell(0, 0, 1) = {49, 1, 0, effect::setPanning, 0x80};
    song.cell(0, 0, 2) = {49, 1, 0, effect::setPanning, 0xFF};
    usePlaybackProfile(song.player(), PlaybackProfile::ft2);
    song.start();
    song.tick();
    EXPECT_EQ(song.voiceOf(0).volume, 32640);  // 127.5 in the design's steps
    EXPECT_EQ(song.voiceOf(0).targetLeft, 32640);
    EXPECT_EQ(song.voiceOf(0).targetRight, 0);
    EXPECT_EQ(song.voiceOf(1).targetLeft, 23079);  // 32,640 x sqrt(1/2)
    EXPECT_EQ(song.voiceOf(1).targetRight, 23079);
    EXPECT_EQ(song.voiceOf(2).targetLeft, 2040);   // 32,640 x sqrt(1/256)
    EXPECT_EQ(song.voiceOf(2).targetRight, 32576);
}

TEST(Sequencer, NotesAlternateBetweenAVoiceAndItsPartner) {
    TestSong song(2, {64});
    song.addInstrument();
    song.module.defaultSpeed = 1;
    for (int row = 0; row < 3; ++row) song.cell(0, row, 1) = {49, 1, 0, 0, 0};
    song.start();
    Voice* voices = song.player().voices;
    song.tick();
    EXPECT_EQ(song.channel(1).voice, &voices[1]);
    song.tick();  // the first note still sounds: the second moves to voice 33
    EXPECT_EQ(song.channel(1).voice, &voices[33]);
    EXPECT_EQ(voices[33].index, 33);
    EXPECT_EQ(voices[1].targetLeft, 0);  // ramping out
    EXPECT_EQ(voices[1].targetRight, 0);
    EXPECT_NE(voices[1].sample, nullptr);
    EXPECT_EQ(voices[33].targetLeft, 63);
    song.tick();
    EXPECT_EQ(song.channel(1).voice, &voices[1]);
    EXPECT_EQ(voices[33].targetLeft, 0);
}

TEST(Sequencer, NoteOnAMissingInstrumentIsSilentButReleasesTheOldVoice) {
    TestSong song(1, {64});
    song.addInstrument();
    song.module.defaultSpeed = 1;
    song.cell(0, 0, 0) = {49, 1, 0, 0, 0};
    song.cell(0, 1, 0) = {49, 9, 0, 0, 0};
    song.start();
    song.tick(2);
    EXPECT_EQ(song.channel(0).voice, &song.player().voices[32]);
    EXPECT_EQ(song.player().voices[0].targetLeft, 0);
    EXPECT_EQ(song.player().voices[32].sample, &emptySample);
    EXPECT_EQ(song.player().voices[32].volume, 0);
}

TEST(Sequencer, KeyOffWithoutVolumeEnvelopeSilencesAtTheRowTick) {
    TestSong song(1, {64});
    song.addInstrument();
    song.cell(0, 0, 0) = {49, 1, 0, 0, 0};
    song.cell(0, 1, 0) = {noteKeyOff, 0, 0, 0, 0};
    song.start();
    song.tick(6);
    EXPECT_EQ(song.voiceOf(0).volume, 127);
    song.tick();
    EXPECT_EQ(song.channel(0).keyOff, 1);
    EXPECT_EQ(song.voiceOf(0).volume, 0);
}

TEST(Sequencer, KeyOffWithVolumeEnvelopeFadesOutFromTheRowTick) {
    TestSong song(1, {64});
    Instrument& instrument = song.addInstrument();
    instrument.volumeEnvelope[0] = {0, 64};
    instrument.volumeEnvelope[1] = {10, 64};
    instrument.volumePointCount = 2;
    instrument.volumeEnvelopeFlags = envelopeOn | envelopeSustain;  // sustain at point 0
    instrument.volumeFadeout = 8192;               // an eighth of full volume per tick
    song.cell(0, 0, 0) = {49, 1, 0, 0, 0};
    song.cell(0, 1, 0) = {noteKeyOff, 0, 0, 0, 0};
    song.start();
    song.tick(6);
    EXPECT_EQ(song.channel(0).fadeOut, 65536);
    song.tick();
    EXPECT_EQ(song.channel(0).fadeOut, 65536 - 8192);
    EXPECT_EQ(song.voiceOf(0).volume, 111);  // 64 x 64 x 57344 x 64 x 255 / 2^35
    song.tick(7);
    EXPECT_EQ(song.channel(0).fadeOut, 0);
    EXPECT_EQ(song.voiceOf(0).volume, 0);
}

TEST(Sequencer, InstrumentWithoutNoteResetsVolumeButDoesNotRestart) {
    TestSong song(1, {64});
    song.addInstrument();
    song.module.defaultSpeed = 1;
    song.cell(0, 0, 0) = {49, 1, 0x30, 0, 0};  // volume 32
    song.cell(0, 1, 0) = {0, 1, 0, 0, 0};
    song.start();
    song.tick();
    EXPECT_EQ(song.channel(0).volume, 32);
    song.player().voices[0].positionInt = 500;
    song.tick();
    EXPECT_EQ(song.channel(0).volume, 64);
    EXPECT_EQ(song.channel(0).voice, &song.player().voices[0]);
    EXPECT_EQ(song.player().voices[0].positionInt, 500u);
}

TEST(Sequencer, PortamentoRowSetsOnlyTheTarget) {
    TestSong song(1, {64});
    song.addInstrument();
    song.addInstrument();
    song.module.defaultSpeed = 1;
    song.cell(0, 0, 0) = {49, 1, 0, 0, 0};
    song.cell(0, 1, 0) = {61, 2, 0, 3, 0};  // tone portamento to C-5 with another instrument
    song.start();
    song.tick();
    song.player().voices[0].positionInt = 500;
    song.tick();
    const Channel& channel = song.channel(0);
    EXPECT_EQ(channel.note, 60);
    EXPECT_EQ(channel.notePeriod, 7680 - 60 * 64);
    EXPECT_EQ(channel.period, 4608);
    EXPECT_EQ(channel.instrument, 0);
    EXPECT_EQ(channel.keyNote, 48);
    EXPECT_EQ(channel.sample, &song.sampleOf(1));
    EXPECT_EQ(channel.voice, &song.player().voices[0]);  // not restarted
    EXPECT_EQ(song.player().voices[0].positionInt, 500u);
}

TEST(Sequencer, JumpTargetsOutsideTheSongGoToItsStart) {
    struct Case {
        std::uint8_t effect, parameter;
        std::int32_t order, row;
    };
    // D reads its parameter as two decimal digits; 64 and above is row 0. B past the song
    // length, and a break in the last order, go to order 0.
    for (const Case& jump : {Case{0xD, 0x12, 1, 12}, Case{0xD, 0x64, 1, 0}, Case{0xD, 0x70, 1, 0},
                             Case{0xB, 0x01, 1, 0}, Case{0xB, 0x02, 0, 0}}) {
        TestSong song(1, {16, 16});
        song.setOrders({0, 1});
        song.module.defaultSpeed = 1;
        song.cell(0, 0, 0) = {0, 0, 0, jump.effect, jump.parameter};
        song.cell(1, 0, 0) = {0, 0, 0, 0xD, 0x03};
        song.start();
        song.tick(2);
        EXPECT_EQ(song.state().orderPosition, jump.order) << int(jump.effect) << " " << int(jump.parameter);
        EXPECT_EQ(song.state().row, jump.row) << int(jump.effect) << " " << int(jump.parameter);
        if (jump.order == 1 && jump.row == 0) {
            song.tick();  // the break at order 1, row 0 is in the last order position
            EXPECT_EQ(song.state().orderPosition, 0);
            EXPECT_EQ(song.state().row, 3);
        }
    }
}

TEST(Sequencer, OverRangeVolumeKeptBySlidesThatMoveNothing) {
    TestSong song(1, {64});
    song.addInstrument();
    song.module.defaultSpeed = 3;
    song.cell(0, 0, 0) = {49, 1, 0, 0xC, 80};
    song.cell(0, 1, 0) = {0, 0, 0x60, 0xA, 0x00};  // no slide memory yet; column slides by 0
    song.start();
    song.tick(6);
    EXPECT_EQ(song.channel(0).volume, 80);
}

TEST(Sequencer, NotesPastTheKeyboardCountAsNoNote) {
    TestSong song(1, {64});
    song.addInstrument();
    song.module.defaultSpeed = 1;
    song.cell(0, 0, 0) = {49, 1, 0, 0, 0};
    song.cell(0, 1, 0) = {200, 1, 0, 0, 0};
    song.start();
    song.tick(2);
    EXPECT_EQ(song.channel(0).keyNote, 48);
    EXPECT_EQ(song.channel(0).note, 48);
    EXPECT_EQ(song.channel(0).voice, &song.player().voices[0]);  // not retriggered
}

TEST(Sequencer, SongEndContinuesAtTheRestartPosition) {
    TestSong song(1, {4, 4, 4});
    song.setOrders({0, 1, 2});
    song.module.restartPosition = 1;
    song.module.defaultSpeed = 1;
    song.start();
    song.tick(12);
    song.tick();
    EXPECT_EQ(song.state().orderPosition, 1);
    EXPECT_EQ(song.state().row, 0);

    song.module.restartPosition = 3;  // past the song: starts over at order 0
    song.tick(8);
    song.tick();
    EXPECT_EQ(song.state().orderPosition, 0);
}

TEST(Sequencer, SpeedZeroMakesEveryTickARowTick) {
    TestSong song(1, {64});
    song.module.defaultSpeed = 0;
    song.start();
    song.tick(5);
    EXPECT_EQ(song.state().row, 4);
    EXPECT_EQ(song.state().tick, 0);
}

TEST(Playback, RefusesSongsWithMoreThan32Channels) {
    TestSong wide(33, {1});
    configureOutput(wide.player(), 44100);
    EXPECT_EQ(beginPlayback(wide.player(), &wide.module), 0);
    TestSong widest(32, {1});
    configureOutput(widest.player(), 44100);
    EXPECT_EQ(beginPlayback(widest.player(), &widest.module), 1);
}

TEST(Playback, TicksLastFromTheBpm) {
    const std::pair<int, int> expected[] = {{125, 882}, {224, 492}, {32, 3445}, {35, 3149}, {70, 1574}, {255, 432}};
    for (auto [bpm, frames] : expected) EXPECT_EQ(samplesPerTickAt(44100, bpm), frames) << bpm;
}

int ticksSeen = 0;
std::int32_t countingTick(Player& player, const Module& module) {
    ++ticksSeen;
    return sequencerTick(player, module);
}

TEST(Render, TickStraddlesTwoBlocks) {
    TestSong song(1, {64});
    song.player().onTick = countingTick;
    song.start();
    ticksSeen = 0;
    renderBlock(song.player());
    EXPECT_EQ(ticksSeen, 3);  // at frames 0, 882 and 1,764
    EXPECT_EQ(song.state().samplesLeftInTick, 598);
    EXPECT_EQ(getPlayedMs(song.player(), &song.module), 19 + 19 + 6);  // 882, 882 and 284 frames, truncated
    renderBlock(song.player());
    EXPECT_EQ(ticksSeen, 5);  // at 598 and 1,480
    EXPECT_EQ(song.state().samplesLeftInTick, 314);
}

// Playing never changes the song: E5y's finetune belongs to the playing, so a second start
// sounds as the first.
TEST(Render, SameSongRendersToTheSameBytes) {
    TestSong song(2, {16});
    song.addInstrument(3000, false);
    song.cell(0, 0, 0) = {49, 1, 0, 0, 0};
    song.cell(0, 2, 1) = {0, 0, 0, effect::extended, 0x5F};  // finetune 15 from here on
    song.cell(0, 4, 1) = {56, 1, 0x20, 0, 0};
    song.cell(0, 8, 0) = {noteKeyOff, 0, 0, 0, 0};
    std::vector<std::int16_t> first;
    for (int pass = 0; pass < 2; ++pass) {
        song.start();
        std::vector<std::int16_t> bytes;
        for (int block = 0; block < 20; ++block) {
            renderBlock(song.player());
            bytes.insert(bytes.end(), song.player().outputBuffer, song.player().outputBuffer + 4096);
        }
        EXPECT_EQ(song.player().sampleFinetunes[0][0], 15);
        EXPECT_EQ(song.sampleOf(1).finetune, 0);
        if (pass == 0) first = bytes;
        else EXPECT_EQ(bytes, first);
    }
    EXPECT_NE(std::count(first.begin(), first.end(), 0), static_cast<long>(first.size()));
}

// The song's position, tempo and global volume belong to each player: two players taking
// turns over one module (every effect that moves the song's state on it) sound as one alone,
// and the module is the same afterwards, byte for byte.
TEST(Render, TwoPlayersOverOneModuleRenderWhatOneRenders) {
    TestSong song(2, {8, 8});
    song.setOrders({0, 1});
    song.addInstrument(3000);
    song.cell(0, 0, 0) = {49, 1, 0, effect::speedOrTempo, 3};
    song.cell(0, 0, 1) = {61, 1, 0, effect::speedOrTempo, 150};
    song.cell(0, 1, 0) = {0, 0, 0, effect::extended, 0x60};                 // loop start
    song.cell(0, 2, 1) = {0, 0, 0, effect::extended, 0x57};                 // finetune 7
    song.cell(0, 3, 0) = {0, 0, 0, effect::globalVolume, 40};
    song.cell(0, 4, 0) = {0, 0, 0, effect::extended, 0x62};                 // back to row 1, twice
    song.cell(0, 5, 1) = {56, 1, 0, effect::globalVolumeSlide, 0x02};
    song.cell(0, 6, 0) = {0, 0, 0, effect::extended, 0xE2};                 // pattern delay
    song.cell(1, 2, 0) = {52, 1, 0, effect::patternBreak, 0x04};
    song.cell(1, 6, 1) = {0, 0, 0, effect::positionJump, 1};
    const std::vector<std::uint8_t> before(reinterpret_cast<const std::uint8_t*>(&song.module),
                                           reinterpret_cast<const std::uint8_t*>(&song.module + 1));
    constexpr int blocks = 40;
    auto render = [&](Player& player) {
        renderBlock(player);
        return std::vector<std::int16_t>(player.outputBuffer, player.outputBuffer + 2 * player.blockFrames);
    };
    std::vector<std::vector<std::int16_t>> alone;
    song.start();
    for (int block = 0; block < blocks; ++block) alone.push_back(render(song.player()));

    auto first = std::make_unique<Player>();
    auto second = std::make_unique<Player>();
    for (Player* player : {first.get(), second.get()}) {
        configureOutput(*player, 44100);
        ASSERT_EQ(beginPlayback(*player, &song.module), 1);
    }
    // The second starts three blocks late, so the two are at different rows all along.
    for (int block = 0; block < 3; ++block) EXPECT_EQ(render(*first), alone[block]) << block;
    for (int block = 0; block + 3 < blocks; ++block) {
        EXPECT_EQ(render(*second), alone[block]) << block;
        EXPECT_EQ(render(*first), alone[block + 3]) << block + 3;
    }
    endPlayback(*first);
    endPlayback(*second);
    const std::vector<std::uint8_t> after(reinterpret_cast<const std::uint8_t*>(&song.module),
                                          reinterpret_cast<const std::uint8_t*>(&song.module + 1));
    EXPECT_EQ(after, before);
    EXPECT_EQ(song.sampleOf(1).finetune, 0);
}

}  // namespace
}  // namespace quarbtro

namespace quarbtro {
namespace {

TEST(Render, LoadedSongPlaysThroughTheSequencer) {
    ModuleDraft draft = testing::smallSong();
    LoadedModule module = testing::loadBytes(writeXm(draft.module()));
    ASSERT_TRUE(module);
    auto player = std::make_unique<Player>();
    configureOutput(*player, 44100);
    ASSERT_EQ(beginPlayback(*player, module.get()), 1);
    EXPECT_EQ(player->onTick, sequencerTick);
    renderBlock(*player);
    EXPECT_EQ(player->channels[0].notePeriod, 4608);
    int sounding = 0;
    for (int i = 0; i < 4096; ++i) sounding += player->outputBuffer[i] != 0;
    EXPECT_GT(sounding, 3000);
    endPlayback(*player);
}

}  // namespace
}  // namespace quarbtro
