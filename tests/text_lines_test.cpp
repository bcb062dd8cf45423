#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/text_lines.h"
#include "support/test_support.h"

namespace dovra {
namespace {

using test::Sj;
using test::TempDir;
using test::WriteBytes;

std::vector<std::string> Pieces(std::string_view text) {
    std::vector<std::string> result;
    for (std::string_view piece : SplitLinePieces(text)) {
        result.emplace_back(piece);
    }
    return result;
}

TEST(TextLines, ReadTextModeFileTurnsOnlyCrLfIntoLf) {
    TempDir dir;
    WriteBytes(dir.Native(u8"a.ini"), "one\r\ntwo\rthree\r\r\nfour\r");
    EXPECT_EQ(ReadTextModeFile(dir.Cp932(u8"a.ini")), std::optional<std::string>("one\ntwo\rthree\r\nfour\r"));
}

TEST(TextLines, ReadTextModeFileOpensJapaneseNamesAndFallsBackOnLetterCase) {
    TempDir dir;
    WriteBytes(dir.Native(u8"表.IDN"), Sj(u8"名前\r\n"));
    EXPECT_EQ(ReadTextModeFile(dir.Cp932(u8"表.IDN")), Sj(u8"名前\n"));
    EXPECT_EQ(ReadTextModeFile(dir.Cp932(u8"表.idn")), Sj(u8"名前\n"));
    EXPECT_FALSE(ReadTextModeFile(dir.Cp932(u8"missing.idn")));
    EXPECT_FALSE(ReadTextModeFile(dir.Cp932()));
}

TEST(TextLines, PiecesAreLinesOfAtMost1023Bytes) {
    const std::string a1022(1022, 'a');
    const std::string b1023(1023, 'b');
    const std::string c1500(1500, 'c');
    struct Case {
        const char* what;
        std::string text;
        std::vector<std::string> pieces;
    };
    const Case cases[] = {
        {"empty file", "", {}},
        {"lone line feed", "\n", {"\n"}},
        {"final line without line feed", "x\ny", {"x\n", "y"}},
        {"trailing empty line", "x\n\n", {"x\n", "\n"}},
        {"1022 bytes and LF fit one piece", a1022 + "\n", {a1022 + "\n"}},
        {"1023 bytes and LF leave the LF alone", b1023 + "\nz\n", {b1023, "\n", "z\n"}},
        {"1500 bytes split after 1023", c1500 + "\n", {std::string(1023, 'c'), std::string(477, 'c') + "\n"}},
        {"a lone CR is an ordinary byte", "p\rq\n", {"p\rq\n"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Pieces(c.text), c.pieces);
    }
}

TEST(TextLines, NulEndsWhatAPieceHoldsButNotThePiece) {
    using namespace std::string_literals;
    // The bytes after the NUL are lost, the line feed included; the piece still counts as a line, and the
    // NUL still counts towards the 1023-byte limit.
    EXPECT_EQ(Pieces("ab\0cd\nef\n"s), (std::vector<std::string>{"ab", "ef\n"}));
    EXPECT_EQ(Pieces("\0\n"s), (std::vector<std::string>{""}));
    const std::string longLine = "x\0"s + std::string(1021, 'y') + "zz\n";
    EXPECT_EQ(Pieces(longLine), (std::vector<std::string>{"x", "zz\n"}));
}

TEST(TextLines, CrLfFileOfLongLinesSplitsAfterTranslation) {
    // 1022 bytes + CR LF is 1024 bytes on disk but 1023 after text-mode translation: one piece.
    TempDir dir;
    const std::string line(1022, 'q');
    WriteBytes(dir.Native(u8"t.idn"), line + "\r\n" + line + "x\r\n");
    auto text = ReadTextModeFile(dir.Cp932(u8"t.idn"));
    ASSERT_TRUE(text);
    EXPECT_EQ(Pieces(*text), (std::vector<std::string>{line + "\n", line + "x", "\n"}));
}

} // namespace
} // namespace dovra
