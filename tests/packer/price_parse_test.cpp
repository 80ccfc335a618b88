#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "packer/binary_tree_matcher.hpp"
#include "packer/item_prices.hpp"
#include "packer/items_ahead.hpp"
#include "packer/matches_ahead.hpp"
#include "packer/parse_by_effort.hpp"
#include "packer/price_parse.hpp"
#include "packer/quick_tally.hpp"
#include "round_trip_fixture.hpp"
#include "support/parts.hpp"

namespace quorvel {
namespace {

using Bytes = std::vector<std::uint8_t>;
const Bytes kNoBytes;

// Text from a few hundred words of a skewed vocabulary, so matches of many lengths and
// distances occur.
Bytes Prose(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<std::string> words;
    for (int i = 0; i < 300; ++i) {
        std::string word;
        for (std::uint32_t n = 2 + random() % 8; n > 0; --n) word += static_cast<char>('a' + random() % 26);
        words.push_back(word + (i % 17 == 0 ? ".\n" : " "));
    }
    Bytes text;
    while (text.size() < size) {
        const std::string& word = words[std::min<std::size_t>(random() % 300, random() % 300)];
        text.insert(text.end(), word.begin(), word.end());
    }
    text.resize(size);
    return text;
}

// Fixed-size records with counters, small fields and repeated padding, like tables in a
// program file: short matches at regular distances, literals in between.
Bytes Records(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes;
    for (std::uint32_t n = 0; bytes.size() < size; ++n) {
        const std::uint8_t record[24] = {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8), 0, 0,
                                         0x12, static_cast<std::uint8_t>(random() % 4), 0, 0,
                                         static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random() % 16),
                                         0x40, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0x90, 0x90};
        bytes.insert(bytes.end(), record, record + 24);
    }
    bytes.resize(size);
    return bytes;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

using PriceParseTest = RoundTripFixture;

TEST_F(PriceParseTest, VariedDataRoundTripsAtEveryEffort) {
    const Bytes inputs[] = {
        Prose(50000, 1),
        Records(30000, 2),
        Join({Records(9000, 3), RandomBytes(2000, 4), Prose(9000, 5), Bytes(10000, 0), Records(3000, 6)}),
        Bytes(3, 'z'),
        Join({RandomBytes(700, 7), RandomBytes(700, 7), RandomBytes(700, 7)}),  // long matches far back
    };
    for (const Bytes& data : inputs)
        for (int effort = kMinEffort; effort <= kMaxEffort; ++effort) ExpectRoundTrip(data, {}, effort);
    const Bytes preset = Prose(8192, 8);
    for (int effort = kMinEffort; effort <= kMaxEffort; ++effort) {
        Bytes data(preset.begin() + 3000, preset.end());
        data.insert(data.end(), preset.begin(), preset.begin() + 5000);
        ExpectRoundTrip(data, preset, effort);
    }
}

// A second thread searching the matches ahead of the priced parse, or running the quick
// parse ahead of the encoding, gives exactly the data of one thread: at every effort, with
// and without a preset, long runs (matches of the nice length, which skip what they cover)
// included.
TEST(TwoThreadParseTest, TwoThreadsGiveTheSameData) {
    const Bytes preset = Prose(8192, 8);
    const Bytes inputs[] = {
        Join({Records(9000, 3), RandomBytes(2000, 4), Prose(9000, 5), Bytes(10000, 0), Records(3000, 6)}),
        Join({RandomBytes(700, 7), RandomBytes(700, 7), Prose(40000, 9), RandomBytes(700, 7)}),
    };
    for (const Bytes& data : inputs) {
        for (int effort = kMinEffort; effort <= kMaxEffort; ++effort) {
            for (const Bytes* start : {&kNoBytes, &preset}) {
                ItemEncoder here, ahead;
                FindItems(*start, data, effort, here, {}, false);
                FindItems(*start, data, effort, ahead, {}, true);
                EXPECT_EQ(here.Finish(), ahead.Finish()) << "effort " << effort << " preset " << start->size();
            }
        }
    }
    // Large enough for the rough pass to be split and for the hand-over ring to wrap.
    Bytes large;
    for (std::uint32_t part = 0; large.size() < (5u << 18); ++part)
        large = Join({large, Prose(20000, part), Bytes(3000 + part, static_cast<std::uint8_t>(part)),
                      Records(9000, part)});
    for (int effort : {1, 4, 6}) {
        ItemEncoder here, ahead;
        FindItems({}, large, effort, here, {}, false);
        FindItems({}, large, effort, ahead, {}, true);
        EXPECT_EQ(here.Finish(), ahead.Finish()) << "effort " << effort;
    }
}

// The search may be left at any point, also while it waits for the parse to take what it
// found; a parse asking for a position the search did not find matches for is a fault.
TEST(TwoThreadParseTest, EndsWhenLeftAndRefusesPositionsOutOfTurn) {
    const Bytes zeros(4 << 20, 0);  // each chunk reaches its most bytes: the search soon waits
    for (std::size_t taken : {0, 1, 3}) {
        MatchesAhead ahead(JoinedBytes(zeros), 0, 16, 64);
        const Match* matches = nullptr;
        EXPECT_EQ(ahead.Find(0, matches), 0u);
        for (std::size_t k = 1; k <= taken; ++k) {
            // A match of the nice length runs on as far as a match may: the search skips that.
            ASSERT_EQ(ahead.Find(1 + kMaxMatchLength * (k - 1), matches), 1u) << k;
            EXPECT_EQ(matches[0].distance, 1u);
        }
    }
    MatchesAhead ahead(JoinedBytes(zeros), 0, 16, 64);
    const Match* matches = nullptr;
    ahead.Find(0, matches);
    EXPECT_THROW(ahead.Find(2, matches), std::logic_error);
}

// A priced pass that reads the matches an earlier pass over the same bytes recorded writes
// the items of one that searches: with and without a preset, long runs included, the
// recording pass searching on one thread or two.
TEST(MatchRecordTest, RecordedMatchesGiveTheItemsOfASearch) {
    const PriceRules rules{64, 256, 4096, 2};
    const Bytes preset = Prose(8192, 8);
    const Bytes data = Join({Records(9000, 3), RandomBytes(2000, 4), Prose(9000, 5), Bytes(10000, 0), Records(3000, 6)});
    Bytes joined;
    const JoinedBytes withPreset(preset, data, joined), alone(data);
    SymbolTally rough;
    for (const auto& [bytes, start] : {std::pair{alone, std::size_t{0}}, std::pair{withPreset, preset.size()}}) {
        for (bool twoThreads : {false, true}) {
            PriceParseSpace space;
            MatchRecord record;
            ItemEncoder first(ItemEncoder::Output::CodesOnly), searched, read;
            ParseByPrice(bytes, start, rules, rough, first, nullptr, space, {}, twoThreads, &record);
            ASSERT_TRUE(record.Filled());
            ParseByPrice(bytes, start, rules, rough, searched, nullptr, space);
            ParseByPrice(bytes, start, rules, rough, read, nullptr, space, {}, false, &record);
            EXPECT_EQ(read.Finish(), searched.Finish()) << "preset " << start << " two threads " << twoThreads;
        }
    }
}

// A record read out of the order it was filled in is a fault; one that would grow past its
// bound is left unfilled, so that the later pass searches.
TEST(MatchRecordTest, RefusesPositionsOutOfTurnAndStaysBounded) {
    const Match matches[2] = {{3, 1}, {5, 7}};
    MatchRecord record;
    record.Add(10, matches, 2);
    record.Add(11, matches, 0);
    record.Finish();
    ASSERT_TRUE(record.Filled());
    const Match* read = nullptr;
    ASSERT_EQ(record.Read(10, read), 2u);
    EXPECT_EQ(read[1].distance, 7u);
    EXPECT_THROW(record.Read(12, read), std::logic_error);

    MatchRecord full;
    for (std::size_t position = 0; position <= (std::size_t{1} << 20); ++position) full.Add(position, matches, 0);
    full.Finish();
    EXPECT_FALSE(full.Filled());
}

// Counted in two halves, the quick parse's symbols are those of one parse of the whole:
// with and without a preset, where the halves meet past the middle, and where they may not
// meet beyond it (the first half's parse then goes on alone).
TEST(TwoThreadParseTest, QuickParseCountedInHalvesCountsAsOne) {
    const Bytes preset = Prose(8192, 8);
    const Bytes inputs[] = {
        Join({Prose(9000, 51), Records(9000, 52), RandomBytes(2000, 53), Bytes(5000, 0), Prose(9000, 54)}),
        Join({Bytes(20000, 0), Bytes(14000, 1)}),  // a match across the middle
        RandomBytes(30000, 55),
    };
    const LazyRules rules{8, 64, true};
    for (const Bytes& data : inputs) {
        for (const Bytes* start : {&kNoBytes, &preset}) {
            std::vector<std::uint8_t> joined;
            const JoinedBytes bytes = start->empty() ? JoinedBytes(data) : JoinedBytes(*start, data, joined);
            HashChains chains;
            SymbolTally whole;
            ParseLazily(bytes, start->size(), rules, chains, whole);
            for (std::size_t meetWithin : {std::size_t{4096}, std::size_t{1}}) {
                const SymbolTally halves = TallyQuickParse(bytes, start->size(), rules, chains, true, {}, meetWithin);
                EXPECT_EQ(halves.symbols, whole.symbols) << data.size() << " " << meetWithin;
                EXPECT_EQ(halves.distances, whole.distances) << data.size() << " " << meetWithin;
            }
        }
    }
}

// The quick parse ahead stops when its items are refused, however far it has gone.
TEST(TwoThreadParseTest, QuickParseAheadStopsWhenRefused) {
    const Bytes data = Join({Prose(300000, 41), Bytes(3 << 20, 0)});
    const std::vector<Item> all = FindItems({}, data, 2);
    struct FirstItems final : ItemSink {
        explicit FirstItems(std::size_t wanted) : wanted(wanted) {}
        bool Take(const Item& item) override {
            taken.push_back(item);
            return taken.size() < wanted;
        }
        std::size_t wanted;
        std::vector<Item> taken;
    };
    for (std::size_t wanted : {std::size_t{1}, std::size_t{40000}, all.size() - 1}) {
        FirstItems sink(wanted);
        ParseLazilyAhead(JoinedBytes(data), 0, {4, 32, false}, sink);
        ASSERT_EQ(sink.taken.size(), wanted);
        for (std::size_t k = 0; k < wanted; ++k) {
            ASSERT_EQ(sink.taken[k].MatchLength, all[k].MatchLength) << k;
            ASSERT_EQ(sink.taken[k].MatchDistance, all[k].MatchDistance) << k;
            ASSERT_EQ(sink.taken[k].Literal, all[k].Literal) << k;
        }
    }
}

// The price-based parse sees every choice the lazy one makes, and prices them with the
// codes the decoder will use, so it must not come out larger on any of these.
TEST_F(PriceParseTest, NeverLargerThanTheLazyParse) {
    const Bytes inputs[] = {
        Prose(40000, 11),
        Records(40000, 12),
        Join({Prose(6000, 13), Records(6000, 14), RandomBytes(500, 15), Prose(6000, 13)}),
        Prose(700, 16),
    };
    for (const Bytes& data : inputs) {
        const std::size_t lazy = ExpectRoundTrip(data, {}, 3);
        for (int effort = 4; effort <= kMaxEffort; ++effort)
            EXPECT_LE(ExpectRoundTrip(data, {}, effort), lazy) << "size " << data.size() << " effort " << effort;
        if (data.size() > 10000) {
            EXPECT_LT(ExpectRoundTrip(data, {}, 6), lazy * 99 / 100) << "size " << data.size();
        }
    }
}

// Every match reported is real, lengths rise, and each is at the nearest distance that
// gives its length: checked against a search of every earlier position.
TEST(BinaryTreeMatcherTest, ReportsTheNearestMatchOfEveryLength) {
    std::mt19937 random(21);
    Bytes bytes(12000);  // beyond the reach of 8192
    for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>('a' + random() % 3);
    constexpr std::uint32_t kNice = 40;
    BinaryTreeMatcher matcher(bytes, 1000, kNice);
    std::vector<Match> matches(kNice);
    for (std::size_t position = 0; position < bytes.size(); ++position) {
        const std::size_t found = matcher.Find(position, matches.data());
        // Nearest distance for each length, by brute force.
        std::vector<std::uint32_t> nearest(kNice + 1, 0);
        const std::size_t limit = std::min<std::size_t>(kNice, bytes.size() - position);
        for (std::uint32_t distance = 1; distance <= std::min<std::size_t>(8192, position); ++distance) {
            std::size_t length = 0;
            while (length < limit && bytes[position + length] == bytes[position + length - distance]) ++length;
            for (std::size_t l = 2; l <= length; ++l)
                if (nearest[l] == 0) nearest[l] = distance;
        }
        if (limit < 3) continue;
        std::uint32_t previous = 1;
        for (std::size_t k = 0; k < found; ++k) {
            ASSERT_GT(matches[k].length, previous) << position;
            for (std::uint32_t l = previous + 1; l <= matches[k].length; ++l)
                ASSERT_EQ(matches[k].distance, nearest[l]) << "position " << position << " length " << l;
            previous = matches[k].length;
        }
        ASSERT_TRUE(previous == limit || nearest[previous + 1] == 0) << "a longer match was missed at " << position;
    }
}

// Skipping what a match covers at once leaves the trees as skipping it position by position
// does: both matchers find the same matches everywhere after. Runs shorter and longer than
// the nice length, ending in one of a few bytes, so that where a match is cut short up to 52
// bytes before a run's end, the nearest longer match is an earlier run's end; a run that
// reaches the data's end; stretches repeating a pattern; matches at other distances.
TEST(BinaryTreeMatcherTest, SkippingAMatchAtOnceEqualsSkippingEachPosition) {
    constexpr std::uint32_t kNice = 40;
    std::mt19937 random(31);
    Bytes bytes = RandomBytes(300, 32);
    for (int run = 0; run < 60; ++run) {
        bytes.insert(bytes.end(), 20 + random() % 200, run % 5 == 4 ? 0xAA : 0);
        // A stretch repeating a pattern of 2 to 99 bytes, as long as 1 to 30 patterns.
        const Bytes pattern = RandomBytes(2 + random() % 98, run);
        for (std::size_t n = 1 + random() % 30; n > 0; --n) bytes.insert(bytes.end(), pattern.begin(), pattern.end());
        bytes.push_back(static_cast<std::uint8_t>(1 + random() % 3));
        const Bytes text = run % 3 == 0 ? Records(100, run) : Prose(60, run % 4);
        bytes.insert(bytes.end(), text.begin(), text.end());
    }
    bytes.insert(bytes.end(), 3000, 0);
    BinaryTreeMatcher atOnce(bytes, 64, kNice), oneByOne(bytes, 64, kNice);
    std::vector<Match> found(kNice), expected(kNice);
    for (std::size_t position = 0; position < bytes.size();) {
        const std::size_t count = atOnce.Find(position, found.data());
        ASSERT_EQ(count, oneByOne.Find(position, expected.data())) << position;
        for (std::size_t k = 0; k < count; ++k) {
            ASSERT_EQ(found[k].length, expected[k].length) << position;
            ASSERT_EQ(found[k].distance, expected[k].distance) << position;
        }
        std::uint32_t length = 1, distance = 1;
        if (count > 0) {
            distance = found[count - 1].distance;
            const std::size_t limit = std::min<std::size_t>(kMaxMatchLength, bytes.size() - position);
            while (length < limit && bytes[position + length] == bytes[position + length - distance]) ++length;
            const auto shorter = static_cast<std::uint32_t>(position % 53);
            if (length > shorter) length -= shorter;
        }
        atOnce.SkipCovered(position, length, distance);
        for (std::uint32_t skipped = 1; skipped < length; ++skipped) oneByOne.Skip(position + skipped);
        position += length;
    }
}

TEST(ItemPricesTest, FirstCodesAndAnEvenRoughParseCostNineBitsASymbol) {
    // Every symbol of either tree equally often.
    std::vector<Item> even;
    for (std::uint32_t s = 0; s < 512; ++s) {
        even.push_back(LiteralItem(static_cast<std::uint8_t>(s)));
        even.push_back(MatchItem(2 + s % 256, 16 * s + 1));
    }
    ItemPrices prices(even);
    prices.Follow(AdaptiveCodes());
    const std::uint32_t nine = 9 * kPriceScale;
    EXPECT_EQ(prices.Literal(0), nine);
    EXPECT_EQ(prices.Literal(255), nine);
    EXPECT_EQ(prices.Length(256), nine);
    EXPECT_EQ(prices.Length(300), nine + 12 * kPriceScale);
    EXPECT_EQ(prices.Distance(1), nine + 4 * kPriceScale);
    EXPECT_EQ(prices.Distance(8192), nine + 4 * kPriceScale);
}

// The rough parse never takes a match of two bytes; they must still be priced near matches
// of three, not as a symbol never seen, or the parse would never start taking them.
TEST(ItemPricesTest, MatchesOfTwoAreNotPricedOut) {
    std::vector<Item> rough;
    for (int i = 0; i < 1000; ++i) {
        rough.push_back(LiteralItem('a'));
        rough.push_back(MatchItem(3, 1));
    }
    ItemPrices prices(rough);
    prices.Follow(AdaptiveCodes());
    EXPECT_GT(prices.Length(2), prices.Length(3));
    EXPECT_LE(prices.Length(2), prices.Length(3) + kPriceScale);
    EXPECT_GT(prices.Length(4), prices.Length(2) + 4 * kPriceScale);  // never seen
}

}  // namespace
}  // namespace quorvel
