#include "locate/sampled_tier.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <optional>

#if defined(_MSC_VER) && (defined(_M_X64) || defined(_M_IX86))
#include <xmmintrin.h>
#endif

namespace dovra::detail {
namespace {

// For each residue the gram is chosen among its first few offsets: a few grams that are not runs, out
// of at most this many offsets. Near the start, so that the wait before a match is final stays short.
constexpr int kTriesPerResidue = 4;
constexpr int kLookPerResidue = 256;
// Filter bits per distinct gram: about one sample in this many passes the filter without holding a gram.
constexpr std::size_t kFilterBitsPerGram = 32;
constexpr std::size_t kMaxFilterBits = std::size_t{1} << 23;

constexpr std::uint64_t kFilterHash = 0x9E3779B97F4A7C15ull;
constexpr std::uint64_t kSlotHash = 0xD6E8FEB86659FD93ull;

std::uint64_t LoadGram(const std::uint8_t* bytes) {
    std::uint64_t gram;
    std::memcpy(&gram, bytes, sizeof gram);
    return gram;
}

bool IsRun(std::uint64_t gram) {
    return gram == (gram & 0xFF) * 0x0101010101010101ull;
}

// The number of zero bytes in a word, without a loop over them.
int ZeroBytes(std::uint64_t word) {
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
    return std::popcount(~(((word & kLow7) + kLow7) | word | kLow7));
}

// Lower is better: zero bytes and bytes equal to their neighbour make a gram common in binaries (padding,
// small numbers, fill patterns).
int Shape(std::uint64_t gram) {
    const int zeros = ZeroBytes(gram);
    // Bytes 1..7 compared with bytes 0..6; the top byte of the shifted word is made non-zero.
    const int repeats = ZeroBytes((gram ^ (gram << 8)) | 0xFF);
    return 2 * zeros + repeats;
}

// Lower is better: first how often the haystack's profile saw the gram, then its shape, which tells apart
// the many grams the profile never saw.
constexpr std::uint64_t kUnseen = 64;
// A gram the profile never saw with at most two zero bytes and no repeated neighbours, or the like.
constexpr std::uint64_t kGoodEnough = 4;

std::uint64_t Commonness(std::uint64_t gram, const HaystackProfile& profile) {
    return std::uint64_t{profile.GramCount(gram)} * kUnseen + static_cast<std::uint64_t>(Shape(gram));
}

// Asks for the cache line at `address` without waiting for it.
void Prefetch(const void* address) {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(address);
#elif defined(_MSC_VER) && (defined(_M_X64) || defined(_M_IX86))
    _mm_prefetch(static_cast<const char*>(address), _MM_HINT_T0);
#else
    (void)address;
#endif
}

std::uint16_t TagOf(std::uint64_t hash) {
    return static_cast<std::uint16_t>(hash >> 16);
}

int ShiftFor(std::size_t count) {
    return 64 - std::countr_zero(count);
}

} // namespace

bool SampledTier::Add(std::uint32_t index, std::span<const std::uint8_t> needle, const HaystackProfile& profile) {
    if (needle.size() < MinimumLength()) {
        return false;
    }
    std::uint32_t lastOffset = 0;
    for (std::size_t residue = 0; residue < m_stride; ++residue) {
        const std::optional<std::size_t> offset = ChooseGram(needle, residue, profile);
        if (!offset || *offset > std::numeric_limits<std::uint16_t>::max()) {
            return false;
        }
        lastOffset = std::max(lastOffset, static_cast<std::uint32_t>(*offset));
    }
    m_members.push_back({index, lastOffset});
    return true;
}

// The offset of the gram kept for one residue: at residue, residue + stride, ..., the least common of the
// first few that are not runs, or the first one the profile never saw that has a good shape. Looking a
// little further than the first stride matters: records whose size divides the stride, or is close to
// a divisor of it, put a residue's first offsets on the same zero stretch of every record.
std::optional<std::size_t> SampledTier::ChooseGram(std::span<const std::uint8_t> needle, std::size_t residue,
                                                   const HaystackProfile& profile) const {
    const std::size_t lastStart = needle.size() - kGramLength;
    std::optional<std::size_t> chosen;
    std::uint64_t chosenCommonness = 0;
    int tried = 0;
    int looked = 0;
    for (std::size_t offset = residue; offset <= lastStart && tried < kTriesPerResidue && looked < kLookPerResidue;
         offset += m_stride, ++looked) {
        const std::uint64_t gram = LoadGram(needle.data() + offset);
        if (IsRun(gram)) {
            continue;
        }
        ++tried;
        const std::uint64_t commonness = Commonness(gram, profile);
        if (!chosen || commonness < chosenCommonness) {
            chosen = offset;
            chosenCommonness = commonness;
        }
        if (chosenCommonness <= kGoodEnough) {
            break;
        }
    }
    return chosen;
}

void SampledTier::Build(std::span<const std::span<const std::uint8_t>> needles, const HaystackProfile& profile) {
    auto index = std::make_shared<Index>();
    const std::size_t entries = m_members.size() * m_stride;
    // Two thirds full at most: a sample whose gram passed the filter is nearly always one of the table's,
    // found within a probe or two.
    index->slots.assign(std::max<std::size_t>(16, entries + entries / 2), Slot{Index::kEmpty, 0, 0});
    const std::size_t slotCount = index->slots.size();
    const std::size_t filterBits =
        std::min(kMaxFilterBits, std::bit_ceil(std::max<std::size_t>(64, kFilterBitsPerGram * entries)));
    index->filter.assign(filterBits / 64, 0);
    index->filterShift = ShiftFor(filterBits);
    for (const Member& member : m_members) {
        const std::span<const std::uint8_t> needle = needles[member.needle];
        for (std::size_t residue = 0; residue < m_stride; ++residue) {
            // Add saw a gram for every residue; the same needle and profile choose the same one.
            const std::size_t offset = *ChooseGram(needle, residue, profile);
            const std::uint64_t gram = LoadGram(needle.data() + offset);
            const std::uint64_t hash = gram * kSlotHash;
            std::size_t slot = index->SlotOf(hash);
            while (index->slots[slot].needle != Index::kEmpty) {
                slot = slot + 1 == slotCount ? 0 : slot + 1;
            }
            index->slots[slot] = Slot{member.needle, static_cast<std::uint16_t>(offset), TagOf(hash)};
            const std::uint64_t bit = (gram * kFilterHash) >> index->filterShift;
            index->filter[bit / 64] |= std::uint64_t{1} << (bit % 64);
        }
    }
    index->members = std::move(m_members);
    m_members = {};
    std::sort(index->members.begin(), index->members.end(),
              [](const Member& a, const Member& b) { return a.needle < b.needle; });
    m_closed.assign(index->members.size(), 0);
    m_open = index->members.size();
    m_index = std::move(index);
}

// The high half of the hash picks the slot, scaled to any table size; the tag comes from bits below it.
std::size_t SampledTier::Index::SlotOf(std::uint64_t hash) const {
    return static_cast<std::size_t>(((hash >> 32) * slots.size()) >> 32);
}

void SampledTier::Scan(SearchState& state, std::size_t from, std::size_t to) {
    const std::span<const std::uint8_t> haystack = state.Haystack();
    if (haystack.size() < kGramLength || m_open == 0) {
        return;
    }
    const Index& index = *m_index;
    const std::uint8_t* data = haystack.data();
    const std::uint64_t* filter = index.filter.data();
    const int shift = index.filterShift;
    const auto passes = [filter, shift](std::uint64_t gram) -> unsigned {
        const std::uint64_t bit = (gram * kFilterHash) >> shift;
        return static_cast<unsigned>((filter[bit / 64] >> (bit % 64)) & 1);
    };
    // First the filter for the whole block, the samples that pass kept and their table lines fetched; then
    // their lookups, by which time the lines have mostly arrived. (The order of candidates within a block
    // does not matter: a needle keeps its lowest match, and settles only after the block.)
    m_passed.clear();
    const auto keep = [&](std::size_t sample, std::uint64_t gram) {
        m_passed.push_back({sample, gram});
        Prefetch(&index.slots[index.SlotOf(gram * kSlotHash)]);
    };
    const std::size_t end = std::min(to, haystack.size() - kGramLength + 1);
    std::size_t sample = (from + m_stride - 1) / m_stride * m_stride;
    // Four samples a step with one branch: almost every step has none that passes.
    for (; sample + 3 * m_stride < end; sample += 4 * m_stride) {
        const std::uint64_t grams[4] = {LoadGram(data + sample), LoadGram(data + sample + m_stride),
                                        LoadGram(data + sample + 2 * m_stride), LoadGram(data + sample + 3 * m_stride)};
        unsigned passed = passes(grams[0]) | passes(grams[1]) << 1 | passes(grams[2]) << 2 | passes(grams[3]) << 3;
        while (passed != 0) {
            const int k = std::countr_zero(passed);
            keep(sample + static_cast<std::size_t>(k) * m_stride, grams[k]);
            passed &= passed - 1;
        }
    }
    for (; sample < end; sample += m_stride) {
        const std::uint64_t gram = LoadGram(data + sample);
        if (passes(gram) != 0) {
            keep(sample, gram);
        }
    }
    for (const auto& [passedSample, gram] : m_passed) {
        index.Offer(state, passedSample, gram);
    }
}

// The candidates of one sample whose gram passed the filter: every entry of that gram.
void SampledTier::Index::Offer(SearchState& state, std::size_t sample, std::uint64_t gram) const {
    const std::uint64_t hash = gram * kSlotHash;
    const std::uint16_t tag = TagOf(hash);
    const std::size_t slotCount = slots.size();
    for (std::size_t slot = SlotOf(hash); slots[slot].needle != kEmpty; slot = slot + 1 == slotCount ? 0 : slot + 1) {
        const Slot& entry = slots[slot];
        if (entry.tag == tag && entry.offset <= sample) {
            state.Offer(entry.needle, sample - entry.offset, entry.offset);
        }
    }
}

std::size_t SampledTier::Settle(SearchState& state, std::size_t scannedTo) {
    const std::vector<std::uint32_t>& changes = state.Changes();
    const std::vector<Member>& members = m_index->members;
    for (; m_changesSeen < changes.size(); ++m_changesSeen) {
        const std::uint32_t needle = changes[m_changesSeen];
        const auto member = std::lower_bound(members.begin(), members.end(), needle);
        if (member == members.end() || member->needle != needle) {
            continue; // another tier's
        }
        std::uint8_t& closed = m_closed[static_cast<std::size_t>(member - members.begin())];
        if (!state.Open(needle)) {
            // Handed over, or a count that reached its cap.
            m_open -= closed == 0 ? 1 : 0;
            closed = 1;
        } else if (closed == 0) {
            m_waiting.push_back(*member);
        }
    }
    std::erase_if(m_waiting, [&](const Member& member) {
        if (!state.Open(member.needle)) {
            return true; // handed over since; counted above
        }
        NeedleProgress& progress = state.Progress(member.needle);
        if (std::size_t{*progress.best} + member.lastOffset < scannedTo) {
            progress.settled = true;
            m_closed[static_cast<std::size_t>(std::lower_bound(members.begin(), members.end(), member.needle) -
                                              members.begin())] = 1;
            --m_open;
            return true;
        }
        return false;
    });
    return m_open;
}

} // namespace dovra::detail
