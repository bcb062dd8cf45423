#include "bench/update_cases.h"

namespace dovra::bench {

GeneratorOptions WithHabits(GeneratorOptions options) {
    options.copiedPercent = 8;
    options.zeroPercent = 6;
    options.constantPercent = 6;
    options.repeatedPercent = 6;
    options.pointerPercent = 8;
    options.echoedPercent = 3;
    options.changedPercent = 5;
    options.removedPercent = 3;
    return options;
}

std::span<const UpdateCase> UpdateCases() {
    static const UpdateCase cases[] = {
        {"Typical",
         WithHabits({.seed = 5, .imageSize = 4u << 20, .tableCount = 300, .maxRecordSize = 64, .maxRecordCount = 400})},
        {"Dense",
         WithHabits(
             {.seed = 6, .imageSize = 8u << 20, .tableCount = 2000, .maxRecordSize = 32, .maxRecordCount = 100})},
        {"Sparse",
         WithHabits({.seed = 7, .imageSize = 64u << 20, .tableCount = 20, .maxRecordSize = 64, .maxRecordCount = 200})},
    };
    return cases;
}

} // namespace dovra::bench
