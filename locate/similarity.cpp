#include "locate/similarity.h"

#include <algorithm>

namespace dovra::detail {
namespace {

// A value is filler when it is more than one byte in this many of the image.
constexpr std::uint64_t kFillerShare = 16;
constexpr std::size_t kProfileStride = 61;
// Window places are ranked on the table's first bytes; only the best is scored in full.
constexpr std::size_t kRankingBytes = 1024;

struct Agreement {
    std::uint32_t informative = 0;
    std::uint32_t agreeing = 0;
};

Agreement Agree(std::span<const std::uint8_t> table, const std::uint8_t* place, std::size_t length,
                const FillerBytes& filler) {
    Agreement agreement;
    for (std::size_t i = 0; i < length; ++i) {
        if (!filler.IsFiller(table[i])) {
            ++agreement.informative;
            agreement.agreeing += place[i] == table[i] ? 1 : 0;
        }
    }
    return agreement;
}

} // namespace

FillerBytes::FillerBytes(std::span<const std::uint8_t> image) {
    std::array<std::uint64_t, 256> counts{};
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < image.size(); i += kProfileStride) {
        ++counts[image[i]];
        ++total;
    }
    for (std::size_t value = 0; value < 256; ++value) {
        m_filler[value] = total != 0 && counts[value] * kFillerShare > total;
    }
}

std::uint32_t InformativeBytes(std::span<const std::uint8_t> table, const FillerBytes& filler) {
    return Agree(table, table.data(), table.size(), filler).informative;
}

std::optional<SimilarMatch> FindSimilar(std::span<const std::uint8_t> table, std::span<const std::uint8_t> newImage,
                                        std::int64_t base, const FillerBytes& filler) {
    if (table.size() > newImage.size()) {
        return std::nullopt;
    }
    const std::int64_t lastStart = static_cast<std::int64_t>(newImage.size() - table.size());
    const std::size_t ranked = std::min(table.size(), kRankingBytes);
    std::optional<std::int64_t> best;
    std::uint64_t bestAgreeing = 0;
    // Nearest first, so that among equal agreements the place nearest the prediction wins.
    for (std::int64_t step = 0; step <= 2 * std::int64_t{kSimilarWindow}; ++step) {
        const std::int64_t start = base + (step % 2 == 0 ? step / 2 : -(step + 1) / 2);
        if (start < 0 || start > lastStart) {
            continue;
        }
        const Agreement agreement = Agree(table, newImage.data() + start, ranked, filler);
        if (!best || agreement.agreeing > bestAgreeing) {
            best = start;
            bestAgreeing = agreement.agreeing;
        }
    }
    if (!best) {
        return std::nullopt;
    }
    const Agreement agreement = Agree(table, newImage.data() + *best, table.size(), filler);
    if (agreement.informative < kMinimumInformative ||
        std::uint64_t{agreement.agreeing} * 100 < std::uint64_t{kSimilarPercent} * agreement.informative) {
        return std::nullopt;
    }
    const std::uint32_t percent = std::min<std::uint32_t>(
        99, static_cast<std::uint32_t>(std::uint64_t{agreement.agreeing} * 100 / agreement.informative));
    return SimilarMatch{static_cast<std::uint32_t>(*best), percent};
}

} // namespace dovra::detail
