#include "support/test_support.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>

#include <gtest/gtest.h>

#include "engine/encoding.h"
#include "engine/message_box.h"

namespace dovra::test {

std::string Sj(std::string_view utf8) {
    auto converted = Utf8ToCp932(utf8);
    EXPECT_TRUE(converted.has_value()) << "no code page 932 form: " << utf8;
    return converted.value_or(std::string());
}

std::string Sj(std::u8string_view utf8) {
    return Sj(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string stem = "dovra-test";
    if (info != nullptr) {
        stem += std::string("-") + info->name();
    }
    for (auto& c : stem) {
        if (c == '/' || c == '\\') {
            c = '_';
        }
    }
    auto base = std::filesystem::temp_directory_path();
    std::random_device random;
    for (;;) {
        auto candidate = base / (stem + "-" + std::to_string(random()) + "-" + std::to_string(counter++));
        if (std::filesystem::create_directory(candidate)) {
            m_path = candidate;
            break;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

// Through UTF-8: on Windows, path::string() would convert to the ANSI code page, or throw where it lacks
// a character. Separators become the platform's own, as the engine writes them ("\" on Windows).
std::string TempDir::Cp932() const {
    return Sj(m_path.u8string());
}

std::string TempDir::Cp932(std::u8string_view relative) const {
    return Sj((m_path / relative).make_preferred().u8string());
}

bool NamesAreCaseSensitive(const std::filesystem::path& folder) {
    const std::filesystem::path probe = folder / "case-probe";
    WriteBytes(probe, "x");
    const bool sensitive = !std::filesystem::exists(folder / "CASE-PROBE");
    std::filesystem::remove(probe);
    return sensitive;
}

void WriteBytes(const std::filesystem::path& path, std::string_view bytes) {
    if (path.has_parent_path()) {
        std::filesystem::create_directories(path.parent_path());
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TreeSnapshot SnapshotTree(const std::filesystem::path& root, const std::vector<std::string>& skipped) {
    constexpr std::uintmax_t kReadLimit = std::uintmax_t{64} << 20;
    TreeSnapshot snapshot;
    for (auto it = std::filesystem::recursive_directory_iterator(root);
         it != std::filesystem::recursive_directory_iterator(); ++it) {
        const auto relative = it->path().lexically_relative(root);
        if (std::find(skipped.begin(), skipped.end(), relative.begin()->string()) != skipped.end()) {
            if (it->is_directory()) {
                it.disable_recursion_pending();
            }
            continue;
        }
        std::string& entry = snapshot[relative.generic_string()];
        if (it->is_directory()) {
            entry = "<folder>";
        } else if (!it->is_regular_file()) {
            entry = "<not a regular file>"; // a named pipe would block the read
        } else if (it->file_size() > kReadLimit) {
            entry = "<size " + std::to_string(it->file_size()) + ", written " +
                    std::to_string(it->last_write_time().time_since_epoch().count()) + ">";
        } else {
            entry = ReadBytes(it->path());
        }
    }
    return snapshot;
}

CapturedChannels::CapturedChannels(CDefinitionUpdater& engine) {
    engine.m_log = [this](const std::string& line) { log.push_back(line); };
    engine.m_confirm = [this](const std::string& question) {
        questions.push_back(question);
        if (answers.empty()) {
            return defaultAnswer;
        }
        bool answer = answers.front();
        answers.pop_front();
        return answer;
    };
    SetMessageBoxChannel([this](const std::string& text) { messages.push_back(text); });
}

CapturedChannels::~CapturedChannels() {
    SetMessageBoxChannel(nullptr);
}

} // namespace dovra::test
