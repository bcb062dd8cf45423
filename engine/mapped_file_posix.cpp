#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/mapped_file.h"

// A mapped file that another program shortens raises SIGBUS on the next read of a page past its new end,
// which would end the tool. A SIGBUS handler guards every mapping: a fault inside one puts zero pages in
// place of the lost ones, marks the mapping as changed and lets the read go on; the command then refuses
// to write anything from it (MappedFileUnchanged). A fault anywhere else ends the process as before.
// Reading the files into memory instead would need no guard but costs ten times the time and a second
// copy of every binary (measured: 160-180 ms against 15-21 ms for a 256 MiB binary, see
// docs/performance.md).
namespace dovra {

class MappedFile {
public:
    std::uint8_t* bytes = nullptr;
    std::size_t length = 0;
    int descriptor = -1;
    struct stat loaded {};
    std::atomic<bool> lost{false};
};

namespace {

// The handler reads this table without locks: slots are filled before the mapping is used and emptied
// only after it is gone. The tool holds two images at a time; a few more slots cover tests.
constexpr int kSlots = 8;
#ifdef MAP_POPULATE
constexpr int kPopulate = MAP_POPULATE;
#else
constexpr int kPopulate = 0;
#endif
std::atomic<MappedFile*> g_guarded[kSlots];
std::mutex g_slotMutex;
struct sigaction g_previous {};

void OnBusError(int signal, siginfo_t* info, void* context) {
    auto* address = static_cast<std::uint8_t*>(info->si_addr);
    for (auto& slot : g_guarded) {
        MappedFile* mapping = slot.load();
        if (mapping != nullptr && address >= mapping->bytes && address < mapping->bytes + mapping->length) {
            // Zero pages from the faulting page to the end of the mapping; mmap is a plain system call here.
            const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
            auto* start = reinterpret_cast<std::uint8_t*>(reinterpret_cast<std::uintptr_t>(address) & ~(page - 1));
            mmap(start, static_cast<std::size_t>(mapping->bytes + mapping->length - start), PROT_READ | PROT_WRITE,
                 MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
            mapping->lost.store(true);
            return;
        }
    }
    // Not ours: the fault ends the process as it would have without this handler.
    sigaction(SIGBUS, &g_previous, nullptr);
    (void)signal;
    (void)context;
}

void InstallGuard() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, &g_previous);
    });
}

bool Guard(MappedFile* mapping) {
    std::lock_guard<std::mutex> lock(g_slotMutex);
    for (auto& slot : g_guarded) {
        if (slot.load() == nullptr) {
            slot.store(mapping);
            return true;
        }
    }
    return false;
}

void Unguard(MappedFile* mapping) {
    std::lock_guard<std::mutex> lock(g_slotMutex);
    for (auto& slot : g_guarded) {
        if (slot.load() == mapping) {
            slot.store(nullptr);
        }
    }
}

#ifdef __linux__
// One word per page in /proc/self/pagemap: bit 63 present, bit 62 swapped out, bit 61 still the file's
// own page (not yet copied for this process).
constexpr std::uint64_t kPagePresent = std::uint64_t{1} << 63;
constexpr std::uint64_t kPageSwapped = std::uint64_t{1} << 62;
constexpr std::uint64_t kPageOfFile = std::uint64_t{1} << 61;

// Which pages of the mapping hold a copy of this process's own, that is, were written. A page that is
// neither present nor swapped out was dropped by the system and reads from the file again.
bool WrittenPages(const MappedFile& mapping, std::size_t page, std::vector<bool>& written) {
    const std::size_t pages = (mapping.length + page - 1) / page;
    std::vector<std::uint64_t> entries(pages);
    const int map = open("/proc/self/pagemap", O_RDONLY | O_CLOEXEC);
    if (map < 0) {
        return false;
    }
    auto* into = reinterpret_cast<char*>(entries.data());
    std::size_t left = pages * sizeof(std::uint64_t);
    auto at = static_cast<off_t>(reinterpret_cast<std::uintptr_t>(mapping.bytes) / page * sizeof(std::uint64_t));
    while (left > 0) {
        const ssize_t got = pread(map, into, left, at);
        if (got <= 0) {
            close(map);
            return false;
        }
        into += got;
        at += got;
        left -= static_cast<std::size_t>(got);
    }
    close(map);
    written.resize(pages);
    for (std::size_t k = 0; k < pages; ++k) {
        const std::uint64_t entry = entries[k];
        written[k] = (entry & kPageSwapped) != 0 || ((entry & kPagePresent) != 0 && (entry & kPageOfFile) == 0);
    }
    return true;
}

bool WriteAt(int descriptor, const std::uint8_t* bytes, std::size_t size, off_t at) {
    while (size > 0) {
        const ssize_t put = pwrite(descriptor, bytes, size, at);
        if (put <= 0) {
            return false;
        }
        bytes += put;
        at += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

bool CopyThenPatch(const MappedFile& mapping, int out) {
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    std::vector<bool> written;
    if (!WrittenPages(mapping, page, written)) {
        return false;
    }
    loff_t in = 0;
    loff_t at = 0;
    for (std::size_t left = mapping.length; left > 0;) {
        const ssize_t copied = copy_file_range(mapping.descriptor, &in, out, &at, left, 0);
        if (copied <= 0) {
            return false; // EXDEV, EOPNOTSUPP and the like: the caller writes instead
        }
        left -= static_cast<std::size_t>(copied);
    }
    // Runs of written pages, each in one write.
    for (std::size_t k = 0; k < written.size();) {
        if (!written[k]) {
            ++k;
            continue;
        }
        std::size_t end = k;
        while (end < written.size() && written[end]) {
            ++end;
        }
        const std::size_t from = k * page;
        const std::size_t to = std::min(end * page, mapping.length);
        if (!WriteAt(out, mapping.bytes + from, to - from, static_cast<off_t>(from))) {
            return false;
        }
        k = end;
    }
    return true;
}
#endif

} // namespace

void MappedFileDeleter::operator()(MappedFile* mapping) const {
    if (mapping->bytes != nullptr) {
        munmap(mapping->bytes, mapping->length);
    }
    Unguard(mapping);
    if (mapping->descriptor >= 0) {
        close(mapping->descriptor);
    }
    delete mapping;
}

MappedFilePtr MapFileCopyOnWrite(std::FILE* file, std::uint32_t size, bool writable) {
    InstallGuard();
    MappedFilePtr mapping(new MappedFile);
    mapping->descriptor = dup(fileno(file));
    // On each failure the deleter undoes what was done (unmapping nothing is harmless).
    if (mapping->descriptor < 0 || fstat(mapping->descriptor, &mapping->loaded) != 0) {
        return nullptr;
    }
    // Read-only while the pages are read in: populating a writable private mapping would copy every page.
    void* bytes = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | kPopulate, mapping->descriptor, 0);
    if (bytes == MAP_FAILED) {
        return nullptr;
    }
    mapping->bytes = static_cast<std::uint8_t*>(bytes);
    mapping->length = size;
    if ((writable && mprotect(bytes, size, PROT_READ | PROT_WRITE) != 0) || !Guard(mapping.get())) {
        return nullptr; // the deleter unmaps
    }
    return mapping;
}

std::uint8_t* MappedBytes(const MappedFile& mapping) {
    return mapping.bytes;
}

bool WriteMappedFile(const MappedFile& mapping, std::FILE* destination) {
#ifdef __linux__
    if (std::fflush(destination) != 0) {
        return false;
    }
    const int out = fileno(destination);
    if (CopyThenPatch(mapping, out)) {
        return true;
    }
    // Copies and writes above go by explicit offsets and leave the file's position at its start, so the
    // caller's write of the whole image replaces whatever part was copied; emptying the file is tidiness.
    (void)ftruncate(out, 0);
    return false;
#else
    (void)mapping;
    (void)destination;
    return false;
#endif
}

bool MappedFileUnchanged(const MappedFile& mapping) {
    struct stat now {};
    if (mapping.lost.load() || fstat(mapping.descriptor, &now) != 0) {
        return false;
    }
    return now.st_size == mapping.loaded.st_size && now.st_mtim.tv_sec == mapping.loaded.st_mtim.tv_sec &&
           now.st_mtim.tv_nsec == mapping.loaded.st_mtim.tv_nsec;
}

} // namespace dovra
