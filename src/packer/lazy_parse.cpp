#include "packer/lazy_parse.hpp"

#include "packer/hash_chains.hpp"

namespace quorvel {

std::vector<Item> ParseLazily(std::span<const std::uint8_t> bytes, std::size_t start, const LazyRules& rules,
                              PassProgress progress) {
    HashChains chains(bytes, rules.chainDepth, rules.niceLength);
    std::vector<Item> items;
    auto search = [&](std::size_t position) {
        chains.InsertUpTo(position);
        return chains.Longest(position);
    };
    std::size_t position = start;
    while (position < bytes.size()) {
        progress.At(position);
        Match match = search(position);
        // Lazy matching: a longer match at the next byte is worth a literal first.
        while (rules.lazy && match.length > 0 && match.length < rules.niceLength && position + 1 < bytes.size()) {
            Match next = search(position + 1);
            if (next.length <= match.length) break;
            items.push_back(LiteralItem(bytes[position++]));
            match = next;
        }
        if (match.length > 0) {
            items.push_back(MatchItem(match.length, match.distance));
            position += match.length;
        } else {
            items.push_back(LiteralItem(bytes[position++]));
        }
    }
    return items;
}

}  // namespace quorvel
