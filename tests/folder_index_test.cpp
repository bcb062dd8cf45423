#include <gtest/gtest.h>

#include <string>

#include "engine/folder_index.h"
#include "engine/path_text.h"
#include "support/test_support.h"

namespace dovra {
namespace {

using test::Sj;
using test::TempDir;
using test::WriteBytes;

TEST(FolderIndex, FindsNamesAsWindowsWould) {
    TempDir dir;
    if (!test::NamesAreCaseSensitive(dir.Path())) {
        GTEST_SKIP() << "letter-case twins cannot exist here; the file system itself finds names of any case";
    }
    for (const auto* name :
         {u8"T.IDN", u8"both.idn", u8"Both.idn", u8"BOTH.IDN", u8"two.IDN", u8"Two.idn", u8"ア.idn", u8"表.IDN"}) {
        WriteBytes(dir.Native(u8"f") / name, "x");
    }
    const FolderIndex index(dir.Cp932(u8"f"));
    const auto in = [&](std::u8string_view name) { return JoinPath(dir.Cp932(u8"f"), Sj(name)); };

    // Exactly, or else the one name that differs only in letter case.
    EXPECT_EQ(index.Resolve("T.IDN"), in(u8"T.IDN"));
    EXPECT_EQ(index.Resolve("t.idn"), in(u8"T.IDN"));
    EXPECT_EQ(index.Resolve(Sj(u8"表.idn")), in(u8"表.IDN"));
    // An exact name wins over its letter-case twins; without one, twins leave no telling which was meant.
    EXPECT_EQ(index.Resolve("Both.idn"), in(u8"Both.idn"));
    EXPECT_EQ(index.Resolve("TWO.idn"), std::nullopt);
    EXPECT_EQ(index.Resolve("missing.idn"), std::nullopt);
    // The second byte of a double-byte character is no letter: ヂ (83 61) is not ア (83 41) in lower case.
    EXPECT_EQ(index.Resolve(Sj(u8"ヂ.idn")), std::nullopt);

    EXPECT_EQ(FolderIndex(dir.Cp932(u8"missing")).Resolve("T.IDN"), std::nullopt);
}

} // namespace
} // namespace dovra
