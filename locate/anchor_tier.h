#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "locate/anchor_filter.h"
#include "locate/haystack_profile.h"
#include "locate/search_state.h"

namespace dovra::detail {

// Finds the tables that sampling cannot: those shorter than the narrowest stride needs, and those whose
// grams are runs of one byte for some residue (long zero stretches). Each gets one anchor, four
// consecutive bytes of it that the haystack's profile saw least, and every haystack position is tested
// for all anchors at once: the nibble filter rules out almost every position, the few that pass are looked
// up exactly, and each anchor found gives one candidate start. Positions come in ascending order and a
// table has one anchor, so its first verified candidate is its lowest match.
class AnchorTier {
public:
    AnchorTier();

    // Tables of at least four bytes.
    bool Add(std::uint32_t index, std::span<const std::uint8_t> needle, const HaystackProfile& profile);
    // Call once, after the last Add.
    void Build() { Rebuild(); }

    void Scan(SearchState& state, std::size_t from, std::size_t to);
    // Settles the tables that have a match and drops them, and those handed over to the search on their
    // own, from the filter. Returns how many are still open.
    std::size_t Settle(SearchState& state);

private:
    struct Member {
        std::uint32_t anchor; // the four bytes as one word (read as in LoadAnchor)
        std::uint32_t needle;
        std::uint32_t offset; // of the anchor in the needle
    };
    struct Slot {
        std::uint32_t anchor = 0;
        std::uint32_t begin = 0; // its members; begin == end: empty slot
        std::uint32_t end = 0;
    };

    void Rebuild();
    std::size_t SlotOf(std::uint32_t anchor) const;

    std::vector<Member> m_members; // by anchor
    std::vector<Slot> m_slots;
    int m_slotShift = 32;
    AnchorMasks m_masks;
    AnchorFilter m_filter;
    std::vector<std::uint32_t> m_hits; // reused from block to block
    std::size_t m_changesSeen = 0;
};

} // namespace dovra::detail
