#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "engine/encoding.h"
#include "engine/path_text.h"

namespace dovra {
namespace {

// Every user-visible text lives in a *texts.cpp file compiled to code page 932. Formatting scans those bytes
// for "{", "}" and "%" without knowing about double-byte characters, and several characters have "{" (0x7B)
// or "}" (0x7D) as their second byte (ボ is 0x83 0x7B, マ 0x83 0x7D): such a text would make
// fmt throw at run time, in whatever rarely taken path shows it. This check reads the texts' sources, so it
// covers texts added later too.
std::vector<std::filesystem::path> TextSources() {
    std::vector<std::filesystem::path> files;
    std::filesystem::recursive_directory_iterator it(DOVRA_SOURCE_DIR), end;
    for (; it != end; ++it) {
        const std::string name = it->path().filename().string();
        if (it->is_directory()) {
            // Build trees and version control hold no sources of their own.
            if (name.rfind("build", 0) == 0 || name.rfind('.', 0) == 0) {
                it.disable_recursion_pending();
            }
        } else if (name.size() >= 9 && name.substr(name.size() - 9) == "texts.cpp") {
            files.push_back(it->path());
        }
    }
    return files;
}

std::string Unescape(const std::string& literal) {
    std::string result;
    for (std::size_t i = 0; i < literal.size(); ++i) {
        if (literal[i] != '\\' || i + 1 == literal.size()) {
            result += literal[i];
            continue;
        }
        const char next = literal[++i];
        result += next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : next;
    }
    return result;
}

TEST(Texts, NoDoubleByteCharacterEndsInAFormattingByte) {
    const auto sources = TextSources();
    ASSERT_FALSE(sources.empty());
    const std::regex literalPattern(R"re("((?:[^"\\\n]|\\.)*)")re");
    for (const auto& source : sources) {
        std::ifstream in(source);
        const std::string code{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        for (std::sregex_iterator it(code.begin(), code.end(), literalPattern), end; it != end; ++it) {
            const std::string utf8 = Unescape((*it)[1].str());
            SCOPED_TRACE(source.filename().string() + ": " + utf8);
            const auto cp932 = Utf8ToCp932(utf8);
            ASSERT_TRUE(cp932) << "no code page 932 form";
            for (std::size_t i = 0; i + 1 < cp932->size(); ++i) {
                if (IsCp932LeadByte(static_cast<unsigned char>((*cp932)[i]))) {
                    const char trail = (*cp932)[++i];
                    EXPECT_TRUE(trail != '{' && trail != '}') << "a character ends in a brace byte";
                }
            }
        }
    }
}

} // namespace
} // namespace dovra
