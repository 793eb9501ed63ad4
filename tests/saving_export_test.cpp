#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "headless/HeadlessForms.h"
#include "headless/HeadlessToolkit.h"
#include "posix/PosixFileSystem.h"
#include "saving/ExportCaptureFile.h"
#include "support/FailingFileSystem.h"
#include "support/SavingWindow.h"
#include "support/ScratchFolder.h"

namespace vr {
namespace {

using test::ScratchFolder;

const std::string kHeader = "Zorvik Technologies Verada logfile\r\n";

// Bytes 0, 1, ..., 255, 0, 1, ...: every filler and every kept byte, `size` in all.
std::string Ramp(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(i % 256);
    }
    return bytes;
}

std::string WithoutFiller(const std::string& bytes) {
    std::string kept;
    for (char c : bytes) {
        if (c != '\x00' && c != '\xFF') {
            kept += c;
        }
    }
    return kept;
}

class ExportTest : public ::testing::Test {
protected:
    ExportOutcome Export(const std::string& capture, bool append) {
        ScratchFolder::WriteFile(source, capture);
        return ExportCaptureFile(files, forms, window, source, target, append);
    }
    const headless::ProgressRecord& Progress() const { return *forms.progressForms.back(); }

    ScratchFolder scratch;
    posix::PosixFileSystem posix;
    test::FailingFileSystem files{posix};
    headless::HeadlessToolkit toolkit;
    headless::HeadlessForms forms;
    ProgramState state;
    test::SavingWindow window{toolkit, state};
    std::string source = scratch.Path("vrtemp.csv");
    std::string target = scratch.Path("out.csv");
};

TEST_F(ExportTest, StatusTextsFollowEveryHundredReadsIncludingTheFinalOne) {
    struct Case {
        std::size_t size;
        std::vector<std::string> texts;
    };
    const std::vector<Case> cases = {
        {0, {"0% completed ( 0 of 0 )"}},
        {98, {"0% completed ( 0 of 0 )"}},
        {99, {"0% completed ( 0 of 1 )", "100% completed (1 of 1)"}},
        {250, {"0% completed ( 0 of 2 )", "50% completed (1 of 2)", "100% completed (2 of 2)"}},
        {398,
         {"0% completed ( 0 of 3 )", "33% completed (1 of 3)", "67% completed (2 of 3)",
          "100% completed (3 of 3)"}},
        {799,
         {"0% completed ( 0 of 8 )", "13% completed (1 of 8)", "25% completed (2 of 8)",
          "38% completed (3 of 8)", "50% completed (4 of 8)", "63% completed (5 of 8)",
          "75% completed (6 of 8)", "88% completed (7 of 8)", "100% completed (8 of 8)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        const std::string capture = Ramp(c.size);
        ASSERT_EQ(Export(capture, false), ExportOutcome::Completed);

        EXPECT_EQ(ScratchFolder::ReadFile(target), kHeader + WithoutFiller(capture));
        EXPECT_FALSE(ScratchFolder::ReadFile(source)) << "capture file not deleted";
        const auto& progress = Progress();
        EXPECT_EQ(progress.statusTexts, c.texts);
        const auto steps = static_cast<float>(c.texts.size() - 1);
        EXPECT_EQ(progress.min, 0.0F);
        EXPECT_EQ(progress.max, steps);
        ASSERT_EQ(progress.values.size(), c.texts.size());  // 1..steps, then back to 0
        EXPECT_EQ(progress.values.back(), 0.0F);
        EXPECT_TRUE(progress.shown);
        EXPECT_EQ(progress.owner, window.GetWindowHandle());
        EXPECT_TRUE(progress.unloaded);
    }
}

TEST_F(ExportTest, KeepsEveryByteButFillerInOrder) {
    const std::string onlyFiller = std::string(300, '\x00') + std::string(300, '\xFF');
    ASSERT_EQ(Export(onlyFiller, false), ExportOutcome::Completed);
    EXPECT_EQ(ScratchFolder::ReadFile(target), kHeader);

    std::string kept;
    for (int b = 0x01; b <= 0xFE; ++b) {
        kept += static_cast<char>(b);
    }
    ASSERT_EQ(Export("\xFF" + kept + '\0', false), ExportOutcome::Completed);
    EXPECT_EQ(ScratchFolder::ReadFile(target), kHeader + kept);
}

TEST_F(ExportTest, OverwriteLeavesNoTailOfTheOldContent) {
    for (bool reported : {true, false}) {
        SCOPED_TRACE(reported ? "reported" : "exists but not reported");
        files.unreported.clear();
        if (!reported) {
            files.unreported.insert(target);
        }
        ScratchFolder::WriteFile(target, std::string(5000, 'x'));
        ASSERT_EQ(Export("1,2\r\n", false), ExportOutcome::Completed);
        EXPECT_EQ(ScratchFolder::ReadFile(target), kHeader + "1,2\r\n");
    }
}

TEST_F(ExportTest, AppendAddsDataAfterTheLastByteWithoutHeader) {
    struct Case {
        const char* name;
        std::optional<std::string> before;
    };
    for (const auto& c :
         std::vector<Case>{{"existing", "old\r\n"}, {"empty", ""}, {"absent", {}}}) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(target);
        if (c.before) {
            ScratchFolder::WriteFile(target, *c.before);
        }
        ASSERT_EQ(Export(std::string("\0a,b\r\n\xFF", 7), true), ExportOutcome::Completed);
        EXPECT_EQ(ScratchFolder::ReadFile(target), c.before.value_or("") + "a,b\r\n");
    }
}

TEST_F(ExportTest, CaptureBeyondSixteenBitCountersIsExportedInBlocks) {
    const std::size_t size = 3'300'000;  // 33000 steps: more than a 16-bit counter holds
    const std::string capture = Ramp(size);
    ASSERT_EQ(Export(capture, false), ExportOutcome::Completed);

    EXPECT_EQ(ScratchFolder::ReadFile(target), kHeader + WithoutFiller(capture));
    const auto& texts = Progress().statusTexts;
    ASSERT_EQ(texts.size(), 33001U);
    EXPECT_EQ(texts[1], "0% completed (1 of 33000)");
    EXPECT_EQ(texts[16500], "50% completed (16500 of 33000)");
    EXPECT_EQ(texts.back(), "100% completed (33000 of 33000)");
    // Events are processed at a bounded pace, not after every byte.
    EXPECT_GT(toolkit.doEventsCount, 1);
    EXPECT_LT(toolkit.doEventsCount, 200);
}

// Filler bytes in every arrangement: each of the 256 patterns of filler among eight bytes, in
// captures whose lengths end inside and at the edge of a group of sixteen.
TEST_F(ExportTest, DropsFillerWhereverItStands) {
    std::string patterns;
    for (unsigned mask = 0; mask < 256; ++mask) {
        for (unsigned bit = 0; bit < 8; ++bit) {
            const bool filler = (mask & (1U << bit)) != 0;
            const char data = static_cast<char>(0x20 + (mask + bit) % 0x50);
            patterns += filler ? (bit % 2 == 0 ? '\x00' : '\xFF') : data;
        }
    }
    for (const std::size_t size : {std::size_t{1}, std::size_t{15}, std::size_t{16},
                                   std::size_t{17}, std::size_t{2047}, patterns.size()}) {
        SCOPED_TRACE(size);
        const std::string capture = patterns.substr(0, size);
        ASSERT_EQ(Export(capture, false), ExportOutcome::Completed);
        EXPECT_EQ(ScratchFolder::ReadFile(target), kHeader + WithoutFiller(capture));
    }
}

}  // namespace
}  // namespace vr
