// Writes one end-to-end benchmark case into a folder, for scripts/bench-e2e: the old settings folder
// "old", the old and new binaries of a create run ("old.bin", "new.bin"), and for a rewrite run a new
// settings folder "new" (the same definitions) with a new binary "rewrite.bin" that differs from the old
// one in the first byte of every tenth table.
//   e2e_case_writer FOLDER IMAGE_MIB TABLES MAX_RECORDS
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/generator.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: e2e_case_writer FOLDER IMAGE_MIB TABLES MAX_RECORDS\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    dovra::bench::GeneratorOptions options;
    options.imageSize = static_cast<std::uint32_t>(std::stoul(argv[2])) << 20;
    options.tableCount = static_cast<std::uint32_t>(std::stoul(argv[3]));
    options.maxRecordCount = static_cast<std::uint32_t>(std::stoul(argv[4]));
    const dovra::bench::GeneratedCase generated = dovra::bench::Generate(options);

    dovra::bench::WriteSettingsFolder(generated, folder / "old");
    dovra::bench::WriteSettingsFolder(generated, folder / "new");
    dovra::bench::WriteFile(folder / "old.bin", generated.oldImage);
    dovra::bench::WriteFile(folder / "new.bin", generated.newImage);
    std::vector<std::uint8_t> rewritten = generated.oldImage;
    for (std::size_t k = 0; k < generated.tables.size(); k += 10) {
        rewritten[generated.tables[k].oldAddress] ^= 0x5A;
    }
    dovra::bench::WriteFile(folder / "rewrite.bin", rewritten);
    return 0;
}
