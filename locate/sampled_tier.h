#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "locate/haystack_profile.h"
#include "locate/search_state.h"

namespace dovra::detail {

// Eight bytes read as one word (in the machine's byte order, the same for tables and binary): long enough
// that a gram taken from a table is rare in a binary, short enough to read in one load.
inline constexpr std::size_t kGramLength = 8;

// Reads the haystack only every `stride` bytes, yet finds every occurrence of every needle it holds.
//
// A needle of length L >= stride + 7 that starts at p covers the samples p + j for every j with
// (p + j) % stride == 0 and j <= L - 8. So for each residue r of the stride the tier keeps one gram of the
// needle at an offset j = r (mod stride): whatever p is, the sample p + j of the matching residue lies
// inside the occurrence and reads exactly that gram. A sample whose gram is found gives the candidates
// p = sample - j, which are then compared.
//
// Grams of one repeated byte (zero fill, 0xFF fill) are never kept: binaries are full of them and every
// one would be a candidate. Among the others, those the haystack's profile saw least are taken. A needle
// that has no usable gram for some residue is left to the anchor scan.
//
// Samples are taken in ascending order, but a needle's grams lie at different offsets, so a match found at
// p is final only once the scan has passed p + (its largest offset): a lower occurrence may show up at a
// later sample through a gram further into the needle.
//
// After Build the lookup tables are shared, read-only, by every copy of the tier; each copy (one per
// thread) keeps its own list of needles still open.
class SampledTier {
public:
    explicit SampledTier(std::size_t stride) : m_stride(stride) {}

    std::size_t Stride() const { return m_stride; }
    // The shortest needle a tier of this stride can hold.
    std::size_t MinimumLength() const { return m_stride + kGramLength - 1; }

    // Takes the needle when it has a gram for every residue, one that is not a run of one byte among its
    // first offsets; false (and nothing kept) otherwise.
    bool Add(std::uint32_t index, std::span<const std::uint8_t> needle, const HaystackProfile& profile);
    // Call once, after the last Add, with the needles and profile the Adds were given. The grams are chosen
    // again here rather than kept from Add: a folder of thousands of small tables has a gram per residue
    // of every table, and the list of them would stand beside the lookup table built from it.
    void Build(std::span<const std::span<const std::uint8_t>> needles, const HaystackProfile& profile);
    // Room for this many more needles.
    void Reserve(std::size_t needles) { m_members.reserve(m_members.size() + needles); }

    // Looks up the samples that lie in [from, to) and offers their candidates.
    void Scan(SearchState& state, std::size_t from, std::size_t to);
    // Settles the needles whose best match can no longer be beaten once every sample below `scannedTo` is
    // done. Returns how many needles are still open.
    std::size_t Settle(SearchState& state, std::size_t scannedTo);

private:
    struct Member {
        std::uint32_t needle;
        std::uint32_t lastOffset; // the largest offset of its grams
        bool operator<(std::uint32_t index) const { return needle < index; }
    };
    // The entries in an open-addressing table (linear probing; entries of one gram lie in one probe
    // sequence), so that a sample whose gram passed the filter usually costs one cache line; and in front of
    // it a bit per hashed gram that answers most samples from the first- or second-level cache. A slot keeps
    // 16 bits of the gram's hash instead of the gram: a slot of another gram that shares them only offers a
    // candidate that the comparison rules out, and a folder of thousands of small tables holds a slot per
    // residue of every table.
    struct Slot {
        std::uint32_t needle;
        std::uint16_t offset;
        std::uint16_t tag;
    };
    struct Index {
        static constexpr std::uint32_t kEmpty = 0xFFFFFFFF; // in `needle`
        std::vector<Member> members;                        // by needle
        std::vector<Slot> slots;
        std::vector<std::uint64_t> filter;
        int filterShift = 64;

        std::size_t SlotOf(std::uint64_t hash) const;
        void Offer(SearchState& state, std::size_t sample, std::uint64_t gram) const;
    };

    std::optional<std::size_t> ChooseGram(std::span<const std::uint8_t> needle, std::size_t residue,
                                          const HaystackProfile& profile) const;

    std::size_t m_stride;
    std::vector<Member> m_members; // until Build
    std::shared_ptr<const Index> m_index;
    // This copy's view of its needles.
    std::vector<std::uint8_t> m_closed; // by member: settled or handed over
    std::vector<Member> m_waiting;      // found, but a lower match may still turn up
    std::size_t m_open = 0;
    std::size_t m_changesSeen = 0;
    std::vector<std::pair<std::size_t, std::uint64_t>> m_passed; // a block's samples that passed the filter
};

} // namespace dovra::detail
