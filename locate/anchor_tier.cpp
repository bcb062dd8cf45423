#include "locate/anchor_tier.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace dovra::detail {
namespace {

constexpr std::size_t kGroups = 8;
constexpr std::uint32_t kSlotHash = 0x9E3779B1u;
// An anchor the profile saw counts for more than any anchor of rare bytes it did not see.
constexpr std::uint64_t kSeenWeight = 256;

std::uint32_t LoadAnchor(const std::uint8_t* bytes) {
    std::uint32_t anchor;
    std::memcpy(&anchor, bytes, sizeof anchor);
    return anchor;
}

// About the logarithm of how often the profile saw the byte: summed over an anchor's bytes, it orders
// anchors like the product of their bytes' frequencies, the chance of finding the anchor by accident
// where the profile cannot tell (it saw neither anchor).
int Rarity(const HaystackProfile& profile, std::uint8_t byte) {
    return std::bit_width(profile.ByteCount(byte));
}

} // namespace

AnchorTier::AnchorTier() : m_filter(FastestAnchorFilter()) {}

bool AnchorTier::Add(std::uint32_t index, std::span<const std::uint8_t> needle, const HaystackProfile& profile) {
    if (needle.size() < kAnchorLength) {
        return false;
    }
    // The anchor the profile saw least, and among those the one whose bytes are rarest; the first of equals.
    std::size_t bestOffset = 0;
    std::uint64_t bestScore = std::numeric_limits<std::uint64_t>::max();
    for (std::size_t offset = 0; offset + kAnchorLength <= needle.size(); ++offset) {
        std::uint64_t score = std::uint64_t{profile.AnchorCount(LoadAnchor(needle.data() + offset))} * kSeenWeight;
        for (std::size_t i = 0; i < kAnchorLength; ++i) {
            score += static_cast<std::uint64_t>(Rarity(profile, needle[offset + i]));
        }
        if (score < bestScore) {
            bestScore = score;
            bestOffset = offset;
        }
    }
    m_members.push_back({LoadAnchor(needle.data() + bestOffset), index, static_cast<std::uint32_t>(bestOffset)});
    return true;
}

void AnchorTier::Rebuild() {
    // Sorted by anchor: equal anchors lie together for the lookup, and neighbouring anchors, which share
    // more nibbles, go to the same group, so the groups' tables stay narrow.
    std::sort(m_members.begin(), m_members.end(), [](const Member& a, const Member& b) {
        return a.anchor != b.anchor ? a.anchor < b.anchor : a.needle < b.needle;
    });
    m_masks = AnchorMasks{};
    m_masks.skipZeros = std::none_of(m_members.begin(), m_members.end(), [](const Member& m) { return m.anchor == 0; });
    const std::size_t perGroup = std::max<std::size_t>(1, (m_members.size() + kGroups - 1) / kGroups);
    for (std::size_t i = 0; i < m_members.size(); ++i) {
        const auto bit = static_cast<std::uint8_t>(1u << (i / perGroup));
        for (std::size_t m = 0; m < kAnchorLength; ++m) {
            const auto byte = static_cast<std::uint8_t>(m_members[i].anchor >> (8 * m));
            m_masks.low[m][byte & 0x0F] |= bit;
            m_masks.high[m][byte >> 4] |= bit;
        }
    }
    const std::size_t slotCount = std::bit_ceil(std::max<std::size_t>(16, 2 * m_members.size()));
    m_slots.assign(slotCount, Slot{});
    m_slotShift = 32 - std::countr_zero(slotCount);
    for (std::size_t begin = 0; begin < m_members.size();) {
        std::size_t end = begin;
        while (end < m_members.size() && m_members[end].anchor == m_members[begin].anchor) {
            ++end;
        }
        std::size_t slot = SlotOf(m_members[begin].anchor);
        while (m_slots[slot].begin != m_slots[slot].end) {
            slot = (slot + 1) & (m_slots.size() - 1);
        }
        m_slots[slot] = {m_members[begin].anchor, static_cast<std::uint32_t>(begin), static_cast<std::uint32_t>(end)};
        begin = end;
    }
}

std::size_t AnchorTier::SlotOf(std::uint32_t anchor) const {
    return static_cast<std::size_t>((anchor * kSlotHash) >> m_slotShift);
}

void AnchorTier::Scan(SearchState& state, std::size_t from, std::size_t to) {
    if (m_members.empty()) {
        return;
    }
    const std::span<const std::uint8_t> haystack = state.Haystack();
    if (m_hits.size() < to - from) {
        m_hits.resize(to - from);
    }
    const std::size_t hitCount = m_filter(haystack, from, to, m_masks, m_hits.data());
    const std::size_t mask = m_slots.size() - 1;
    for (std::uint32_t position : std::span(m_hits).first(hitCount)) {
        const std::uint32_t anchor = LoadAnchor(haystack.data() + position);
        for (std::size_t slot = SlotOf(anchor); m_slots[slot].begin != m_slots[slot].end; slot = (slot + 1) & mask) {
            if (m_slots[slot].anchor != anchor) {
                continue;
            }
            for (std::uint32_t i = m_slots[slot].begin; i < m_slots[slot].end; ++i) {
                if (m_members[i].offset <= position) {
                    state.Offer(m_members[i].needle, position - m_members[i].offset, m_members[i].offset);
                }
            }
            break;
        }
    }
}

std::size_t AnchorTier::Settle(SearchState& state) {
    if (state.Changes().size() == m_changesSeen) {
        return m_members.size();
    }
    m_changesSeen = state.Changes().size();
    const std::size_t before = m_members.size();
    std::erase_if(m_members, [&](const Member& member) {
        NeedleProgress& progress = state.Progress(member.needle);
        if (state.Open(member.needle) && progress.best) {
            progress.settled = true;
        }
        return !state.Open(member.needle);
    });
    if (m_members.size() != before) {
        Rebuild();
    }
    return m_members.size();
}

} // namespace dovra::detail
