// The stream layer: the memory and file streams, which clamp reads and seeks in the same way.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "player/file_stream.h"
#include "player/stream.h"

namespace quarbtro {
namespace {

TEST(ModuleFile, NullFileIsHarmless) {
    char buffer[4] = {};
    EXPECT_EQ(0, readModuleFile(buffer, 4, nullptr));
    EXPECT_EQ(0, tellModuleFile(nullptr));
    seekModuleFile(nullptr, 1, seekFromStart);
    closeModuleFile(nullptr);
}

void* failingOpen(const void*) { return nullptr; }

TEST(ModuleFile, FailedOpenGivesNull) {
    const FileCallbacks failing = {failingOpen, memoryStreamClose, memoryStreamRead, memoryStreamSeek,
                                   memoryStreamTell};
    EXPECT_EQ(nullptr, openModuleFile(failing, "anything"));
}

// The same checks run over both streams; the data is 42,858 bytes, the size of a small module.
class StreamClamps : public ::testing::TestWithParam<bool> {
protected:
    static constexpr std::int32_t size = 42858;

    void SetUp() override {
        for (std::int32_t i = 0; i < size; ++i) data_.push_back(std::uint8_t(i * 7));
        if (GetParam()) {
            path_ = ::testing::TempDir() + "stream_test.bin";
            std::FILE* out = std::fopen(path_.c_str(), "wb");
            ASSERT_NE(nullptr, out);
            std::fwrite(data_.data(), 1, data_.size(), out);
            std::fclose(out);
            file_ = openModuleFile(fileStreamCallbacks(), path_.c_str());
        } else {
            source_ = {data_.data(), size};
            file_ = openModuleFile(memoryStreamCallbacks(), &source_);
        }
        ASSERT_NE(nullptr, file_);
    }
    void TearDown() override {
        closeModuleFile(file_);
        if (!path_.empty()) std::remove(path_.c_str());
    }

    std::vector<std::uint8_t> data_;
    MemorySource source_{};
    std::string path_;
    ModuleFile* file_ = nullptr;
};

TEST_P(StreamClamps, ReadAtTheEndIsShortened) {
    seekModuleFile(file_, 42850, seekFromStart);
    std::uint8_t buffer[10] = {};
    buffer[8] = 0xAB;
    ASSERT_EQ(8, readModuleFile(buffer, 10, file_));
    EXPECT_EQ(data_[42850], buffer[0]);
    EXPECT_EQ(data_[42857], buffer[7]);
    EXPECT_EQ(0xAB, buffer[8]) << "bytes beyond what was read are left alone";
    EXPECT_EQ(size, tellModuleFile(file_));
    EXPECT_EQ(0, readModuleFile(buffer, 10, file_));
}

TEST_P(StreamClamps, SeeksLandInsideTheData) {
    seekModuleFile(file_, 0, seekFromEnd);
    EXPECT_EQ(size, tellModuleFile(file_));
    seekModuleFile(file_, 100000, seekFromStart);
    EXPECT_EQ(size, tellModuleFile(file_));
    seekModuleFile(file_, 100, seekFromStart);
    seekModuleFile(file_, 20, seekFromCurrent);
    EXPECT_EQ(120, tellModuleFile(file_));
    seekModuleFile(file_, -5, seekFromCurrent);
    EXPECT_EQ(115, tellModuleFile(file_));
    seekModuleFile(file_, 7, 3);
    EXPECT_EQ(115, tellModuleFile(file_)) << "an unknown origin changes nothing";
    seekModuleFile(file_, -200, seekFromCurrent);
    EXPECT_EQ(0, tellModuleFile(file_)) << "a seek before the start lands at the start";
    seekModuleFile(file_, -10, seekFromEnd);
    std::uint8_t byte = 0;
    ASSERT_EQ(1, readModuleFile(&byte, 1, file_));
    EXPECT_EQ(data_[size - 10], byte);
}

TEST_P(StreamClamps, HugeAndNegativeCountsDoNotWrap) {
    seekModuleFile(file_, 42000, seekFromStart);
    std::vector<std::uint8_t> buffer(size);
    EXPECT_EQ(0, readModuleFile(buffer.data(), -1, file_));
    EXPECT_EQ(858, readModuleFile(buffer.data(), 0x7FFFFFFF, file_));
}

INSTANTIATE_TEST_SUITE_P(Streams, StreamClamps, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "File" : "Memory"; });

TEST(FileStream, MissingFileFailsToOpen) {
    EXPECT_EQ(nullptr, openModuleFile(fileStreamCallbacks(), "/nonexistent/song.xm"));
}

}  // namespace
}  // namespace quarbtro
