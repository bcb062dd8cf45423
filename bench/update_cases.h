#pragma once

#include <span>

#include "bench/generator.h"

// Generated updates that do what real ones do: copies, zero tables, common constants, small records
// repeated, pointer tables that move with what they point to, changed and removed tables, in a typical, a
// dense and a sparse folder. The create command's test and the locator's accuracy probe share them.
namespace dovra::bench {

struct UpdateCase {
    const char* name;
    GeneratorOptions options;
};

// The update's habits on top of `options`, each a few percent of the tables.
GeneratorOptions WithHabits(GeneratorOptions options);

// Typical (300 tables, 4 MiB), Dense (2000 tables, 8 MiB), Sparse (20 tables, 64 MiB).
std::span<const UpdateCase> UpdateCases();

} // namespace dovra::bench
