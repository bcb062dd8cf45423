// A fuzz target as a test: every input of its committed corpus (the seeds, and each finding kept there
// once fixed) goes through the target once, so a fixed crash stays fixed in every build, sanitizers
// included, without clang. A violated check aborts the run with the target's message.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

TEST(FuzzCorpus, EveryInputRunsClean) {
    std::vector<std::filesystem::path> inputs;
    for (const auto& entry : std::filesystem::directory_iterator(DOVRA_FUZZ_CORPUS)) {
        inputs.push_back(entry.path());
    }
    std::sort(inputs.begin(), inputs.end());
    ASSERT_FALSE(inputs.empty()) << "no corpus in " << DOVRA_FUZZ_CORPUS;
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.filename().string());
        const std::string bytes = dovra::test::ReadBytes(input);
        EXPECT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 0);
    }
}

} // namespace
