// One definition line, parsed into a fresh entry and into one that holds an earlier line, as the table
// load does. Beyond the sanitizers' checks: a successful parse leaves a record size of at least 1 (the
// field walk divides by it) and no stored column holds a comma (every comma ends a column).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "definitions/definition_entry.h"
#include "fuzz/fuzz_folder.h"

namespace {

void CheckParsed(const dovra::DefinitionEntry& entry) {
    if (entry.size == 0) {
        dovra::fuzz::Fail("a parsed line left the record size 0");
    }
    for (const auto* text : {&entry.name, &entry.widthText, &entry.text5, &entry.text6, &entry.text8, &entry.text9}) {
        if (text->find(',') != std::string::npos) {
            dovra::fuzz::Fail("a stored column holds a comma", *text);
        }
    }
    if (entry.flag4 > 1) {
        dovra::fuzz::Fail("column 4 stored a value other than 0 or 1");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);

    dovra::DefinitionEntry fresh;
    if (fresh.Parse(line)) {
        CheckParsed(fresh);
    }

    dovra::DefinitionEntry carried;
    if (carried.Parse("1000,HP,4,10,1,k,m,7,s,t,\n")) {
        const dovra::DefinitionEntry before = carried;
        if (carried.Parse(line)) {
            CheckParsed(carried);
        } else if (carried.size != before.size) {
            // A failed parse stops at column 0 or 3, before the size is stored or the size rule applied.
            dovra::fuzz::Fail("a failed parse changed the record size");
        }
    }
    return 0;
}
