#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tools/capture/capture_output.h"

namespace quarbtro::capture {
namespace {

namespace fs = std::filesystem;

class ImageSequenceOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/quarbtro-capture-test-XXXXXX";
        ASSERT_TRUE(mkdtemp(pattern));
        root = pattern;
        out = (root / "capture").string();
    }
    void TearDown() override { fs::remove_all(root); }

    static frames::Picture picture(unsigned char shade) {
        frames::Picture p;
        p.width = 4;
        p.height = 2;
        p.rgb.assign(4 * 2 * 3, shade);
        return p;
    }
    static Sound sound() { return Sound{{1, -1, 2, -2, 3, -3}, 44100}; }

    fs::path root;
    std::string out;
};

TEST_F(ImageSequenceOutputTest, NumberedFramesAndTheSoundAppearOnlyWhenFinished) {
    std::string error;
    auto output = startImageSequenceOutput(out, sound(), error);
    ASSERT_TRUE(output) << error;
    ASSERT_TRUE(output->writeFrame(picture(10)));
    ASSERT_TRUE(output->writeFrame(picture(20)));
    EXPECT_FALSE(fs::exists(out));
    ASSERT_TRUE(output->finish()) << output->error();
    EXPECT_TRUE(fs::exists(out + "/frame-000000.png"));
    EXPECT_TRUE(fs::exists(out + "/frame-000001.png"));
    EXPECT_FALSE(fs::exists(out + "/frame-000002.png"));
    EXPECT_EQ(fs::file_size(out + "/sound.wav"), 44u + 12u);  // three stereo frames
    EXPECT_FALSE(fs::exists(out + ".partial"));
}

TEST_F(ImageSequenceOutputTest, AnEarlierCaptureIsReplacedAndAnAbandonedOneLeavesNothing) {
    std::string error;
    auto first = startImageSequenceOutput(out, sound(), error);
    ASSERT_TRUE(first);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(first->writeFrame(picture(1)));
    ASSERT_TRUE(first->finish());

    auto second = startImageSequenceOutput(out, sound(), error);
    ASSERT_TRUE(second) << error;
    ASSERT_TRUE(second->writeFrame(picture(2)));
    ASSERT_TRUE(second->finish());
    EXPECT_FALSE(fs::exists(out + "/frame-000001.png"));

    auto third = startImageSequenceOutput(out, sound(), error);
    ASSERT_TRUE(third);
    ASSERT_TRUE(third->writeFrame(picture(3)));
    third->abandon();
    EXPECT_FALSE(fs::exists(out + ".partial"));
    EXPECT_TRUE(fs::exists(out + "/frame-000000.png")) << "the finished capture stays";
}

TEST_F(ImageSequenceOutputTest, NeverReplacesADirectoryOrFileThatIsNotACapture) {
    fs::create_directories(out);
    std::ofstream(out + "/notes.txt") << "mine";
    std::string error;
    EXPECT_FALSE(startImageSequenceOutput(out, sound(), error));
    EXPECT_NE(error.find("is not an earlier capture"), std::string::npos) << error;
    EXPECT_TRUE(fs::exists(out + "/notes.txt"));

    const std::string file = (root / "file").string();
    std::ofstream(file) << "mine";
    EXPECT_FALSE(startImageSequenceOutput(file, sound(), error));
    EXPECT_TRUE(fs::is_regular_file(file));
}

TEST_F(ImageSequenceOutputTest, AMissingParentDirectoryIsAnErrorNotMadeUp) {
    const std::string inMissing = (root / "missing" / "capture").string();
    std::string error;
    EXPECT_FALSE(startImageSequenceOutput(inMissing, sound(), error));
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(root / "missing"));
}

}  // namespace
}  // namespace quarbtro::capture
