#include "packer/lazy_parse.hpp"

#include "format/item_format.hpp"
#include "packer/packer_namespace.hpp"

namespace quorvel::packer {

void ParseLazily(const JoinedBytes& bytes, std::size_t start, const LazyRules& rules, HashChains& chains,
                 ItemSink& sink, PassProgress progress) {
    chains.Start(bytes, rules.chainDepth, rules.niceLength);
    // Positions further back than a match reaches are never searched from `start` on.
    chains.SkipTo(start > kMaxDistance ? start - kMaxDistance : 0);
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
            if (!sink.Take(LiteralItem(bytes[position++]))) return;
            match = next;
        }
        const Item item = match.length > 0 ? MatchItem(match.length, match.distance) : LiteralItem(bytes[position]);
        if (!sink.Take(item)) return;
        position += item.Size();
    }
}

}  // namespace quorvel::packer
