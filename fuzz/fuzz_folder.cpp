#include "fuzz/fuzz_folder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

#include "engine/message_box.h"

namespace dovra::fuzz {
namespace {

constexpr std::string_view kHeader = "@@ ";
// Enough for a settings folder with a few tables and both binaries; more only slows each run.
constexpr std::size_t kMaxEntries = 32;
constexpr std::size_t kMaxDepth = 3;
// Linux allows 255 bytes; longer names would only be refused by the file system.
constexpr std::size_t kMaxComponent = 64;

bool IsHeaderAt(std::string_view input, std::size_t position) {
    return input.substr(position, kHeader.size()) == kHeader && (position == 0 || input[position - 1] == '\n');
}

std::size_t NextHeader(std::string_view input, std::size_t from) {
    for (std::size_t position = from; position < input.size(); ++position) {
        position = input.find(kHeader, position);
        if (position == std::string_view::npos) {
            break;
        }
        if (IsHeaderAt(input, position)) {
            return position;
        }
    }
    return input.size();
}

// Keeps the entry inside the scratch folder whatever its bytes.
std::string CleanPath(std::string_view raw) {
    std::string path;
    std::size_t depth = 0;
    std::size_t start = 0;
    while (start <= raw.size() && depth < kMaxDepth) {
        std::size_t end = raw.find('/', start);
        if (end == std::string_view::npos) {
            end = raw.size();
        }
        std::string component(raw.substr(start, std::min(end - start, kMaxComponent)));
        for (char& c : component) {
            c = c == '\0' ? '_' : c;
        }
        if (!component.empty() && component != "." && component != "..") {
            path += (path.empty() ? "" : "/") + component;
            ++depth;
        }
        start = end + 1;
    }
    return path;
}

void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void RemoveScratchAtExit() {
    std::error_code ignored;
    std::filesystem::remove_all(ScratchFolder::Instance().Path(), ignored);
}

} // namespace

std::vector<FuzzEntry> ParseEntries(std::string_view input) {
    std::vector<FuzzEntry> entries;
    std::size_t position = NextHeader(input, 0);
    while (position < input.size() && entries.size() < kMaxEntries) {
        std::size_t nameStart = position + kHeader.size();
        std::size_t lineEnd = input.find('\n', nameStart);
        std::size_t contentStart = lineEnd == std::string_view::npos ? input.size() : lineEnd + 1;
        std::string_view name = input.substr(nameStart, std::min(lineEnd, input.size()) - nameStart);
        std::size_t next = NextHeader(input, contentStart);
        // The line feed before the next header separates the entries.
        std::size_t contentEnd = next < input.size() && next > contentStart ? next - 1 : next;
        FuzzEntry entry;
        entry.path = CleanPath(name);
        entry.isFolder = !name.empty() && name.back() == '/';
        entry.bytes = std::string(input.substr(contentStart, contentEnd - contentStart));
        if (!entry.path.empty()) {
            entries.push_back(std::move(entry));
        }
        position = next;
    }
    return entries;
}

void Fail(std::string_view what, std::string_view detail) {
    std::fprintf(stderr, "fuzz check failed: %.*s\n%.*s\n", static_cast<int>(what.size()), what.data(),
                 static_cast<int>(detail.size()), detail.data());
    std::abort();
}

ScratchFolder& ScratchFolder::Instance() {
    static ScratchFolder folder;
    return folder;
}

ScratchFolder::ScratchFolder() {
    std::random_device random;
    auto base = std::filesystem::temp_directory_path();
    for (;;) {
        auto candidate = base / ("dovra-fuzz-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate)) {
            m_path = candidate;
            break;
        }
    }
    std::atexit(RemoveScratchAtExit);
}

std::string ScratchFolder::Engine(std::string_view relative) const {
    std::string path = m_path.string();
    return relative.empty() ? path : path + "/" + std::string(relative);
}

void ScratchFolder::Reset() {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(m_path, ignored)) {
        std::filesystem::remove_all(entry.path(), ignored);
    }
}

void ScratchFolder::Populate(std::string_view input) {
    Reset();
    for (const auto& entry : ParseEntries(input)) {
        const auto path = m_path / entry.path;
        std::error_code ignored;
        std::filesystem::create_directories(path.parent_path(), ignored);
        if (entry.isFolder) {
            std::filesystem::create_directory(path, ignored);
        } else if (!std::filesystem::is_directory(path, ignored)) {
            WriteFile(path, entry.bytes);
        }
    }
}

TreeSnapshot Snapshot(const std::filesystem::path& folder) {
    TreeSnapshot snapshot;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        const auto relative = it->path().lexically_relative(folder).string();
        if (it->is_directory(error)) {
            snapshot[relative] = "<folder>";
            continue;
        }
        std::ifstream in(it->path(), std::ios::binary);
        snapshot[relative] = std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return snapshot;
}

namespace {

// The engine's temporary files are "<target>.tmp<digits>"; a name list called "a.tmp.idn" is no such file.
bool IsTemporaryName(const std::string& path) {
    std::size_t mark = path.rfind(".tmp");
    if (mark == std::string::npos || mark + 4 == path.size()) {
        return false;
    }
    return std::all_of(path.begin() + static_cast<std::ptrdiff_t>(mark) + 4, path.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

void CheckNoNewTemporaryFiles(const TreeSnapshot& before, const TreeSnapshot& after) {
    for (const auto& [path, bytes] : after) {
        if (!before.contains(path) && IsTemporaryName(path)) {
            Fail("a temporary file was left behind", path);
        }
    }
}

void SilenceMessageBoxes() {
    SetMessageBoxChannel([](const std::string&) {});
}

ScratchFolder& ScratchFolderFor(const std::uint8_t* data, std::size_t size) {
    static const bool silenced = (SilenceMessageBoxes(), true);
    (void)silenced;
    ScratchFolder& scratch = ScratchFolder::Instance();
    scratch.Populate(std::string_view(reinterpret_cast<const char*>(data), size));
    return scratch;
}

} // namespace dovra::fuzz
