// Searching takes unit comparisons linear in the text and the pattern whatever
// their shape (counted, not timed), and natives refuse a bad operand before
// they allocate anything for the good ones.
#include "../support/NativeProgram.h"

#include "objects/TextSearch.h"

#include <cctype>
#include <random>

namespace mcb {

namespace {
const char* const kTexts = ".string a \"a\"\n.string b \"b\"\n.string empty \"\"\n";

TInt32 naiveFind(const std::u16string& t, const std::u16string& p, TInt32 from, TInt32 to, bool exact, bool last) {
    auto same = [&](TInt32 at) {
        for (size_t k = 0; k < p.size(); ++k) {
            const TUint16 x = t[size_t(at) + k], y = p[k];
            if (exact ? x != y : OString::toLowerChar(x) != OString::toLowerChar(y)) return false;
        }
        return true;
    };
    const TInt32 lastStart = to - TInt32(p.size()) + 1;
    for (TInt32 i = from; i <= lastStart; ++i)
        if (same(last ? lastStart - (i - from) : i)) return last ? lastStart - (i - from) : i;
    return -1;
}

const TUint16* units(const std::u16string& s) { return reinterpret_cast<const TUint16*>(s.data()); }
}  // namespace

TEST(LinearSearch, AgreesWithTheNaiveSearch) {
    std::mt19937 rng(12);
    auto below = [&](int n) { return int(rng() % unsigned(n)); };
    for (int round = 0; round < 20000; ++round) {
        // The third holds units without case and the Kelvin sign, which lower-cases to "k".
        const char16_t* const alphabets[] = {u"ab", u"aAbB\u00C9\u00E9", u",.kK\u212A"};
        const char16_t* alphabet = alphabets[round % 3];
        const int letters = int(std::char_traits<char16_t>::length(alphabet));
        std::u16string text(size_t(below(40)), u'a'), pattern(size_t(1 + below(6)), u'a');
        for (auto& c : text) c = alphabet[below(letters)];
        for (auto& c : pattern) c = alphabet[below(letters)];
        const TInt32 from = text.empty() ? 0 : below(int(text.size()));
        const TInt32 to = text.empty() ? -1 : from + below(int(text.size()) - from);
        const bool exact = below(2), last = below(2);
        SCOPED_TRACE(testing::Message() << "round " << round);
        EXPECT_EQ(TextSearch(units(pattern), TInt32(pattern.size()), exact, last).find(units(text), from, to),
                  naiveFind(text, pattern, from, to, exact, last));
    }
}

// A one-unit pattern that is an ASCII non-letter is searched exactly even where case is ignored.
TEST(LinearSearch, NoUnitLowerCasesToAnAsciiNonLetter) {
    for (TUint32 u = 0x80; u <= 0xFFFF; ++u) {
        const TUint16 lower = OString::toLowerChar(TUint16(u));
        EXPECT_TRUE(lower >= 0x80 || std::isalpha(lower)) << "unit " << u;
    }
}

TEST(LinearSearch, AdversarialShapesTakeLinearComparisonsAlsoThroughTheNatives) {
    const TInt32 n = 1 << 20, m = (1 << 19) + 1;
    const std::u16string as(size_t(n), u'a');
    const std::u16string shapes[] = {std::u16string(size_t(m - 1), u'a') + u'b',
                                     u'b' + std::u16string(size_t(m - 1), u'a'),
                                     std::u16string(size_t(m - 1), u'a') + u'B'};
    for (const std::u16string& pattern : shapes)
        for (bool exact : {true, false})
            for (bool last : {false, true}) {
                const TUint64 before = TextSearch::comparisons();
                const TInt32 at = TextSearch(units(pattern), m, exact, last).find(units(as), 0, n - 1);
                EXPECT_EQ(at, -1);
                EXPECT_LE(TextSearch::comparisons() - before, TUint64(4) * (n + m));
            }
    // The string natives over 2^20 "a" (global 5) with 2^19 "a" then "b" (global 6) and 2^19 "a" (global 7): each
    // answers with comparisons linear in the lengths.
    const std::string build =
        "ldstr a\n push 1048576\n native String.repeat\n @store 5\n"
        "ldstr a\n push 524288\n native String.repeat\n @store 7\n"
        "ldstr a\n push 524288\n native String.repeat\n @keep 6\n ldstr b\n native String.append\n"
        "extcall 20, 99\n adjsp -1\n";
    struct Case {
        const char* operation;
        const char* after;  // what it leaves in global 2: a word, or the length of s (global 5) or of a vector
        TInt32 want;
    };
    const Case cases[] = {
        {"@load 5\n @load 6\n push 1\n native String.find_first_f\n @store 2", "", -1},
        {"@load 5\n @load 6\n push 0\n push -1\n push 0\n native String.find_first_rf\n @store 2", "", -1},
        {"@load 5\n @load 6\n native String.find_last\n @store 2", "", -1},
        {"@load 5\n @load 7\n push 0\n native String.find_last_f\n @store 2", "", 524288},
        {"@load 5\n @load 6\n native String.count\n @store 2", "", 0},
        {"@load 5\n @load 7\n push 1\n native String.count_f\n @store 2", "", 2},
        {"@load 5\n @load 6\n ldstr b\n native String.replace_all", "length", 1 << 20},
        {"@load 5\n @load 7\n ldstr b\n native String.replace_all", "length", 2},
        {"@load 5\n @load 6\n native String.remove_all", "length", 1 << 20},
        {"@load 5\n @load 6\n native String.split\n @store 2", "size", 0},
        {"@load 5\n @load 7\n push 0\n native String.split_f\n @store 2", "size", 0},
        {"@load 5\n @load 6\n ldstr b\n native String.replace_first", "length", 1 << 20},
        {"@load 5\n @load 7\n ldstr b\n native String.replace_last", "length", 524289},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operation);
        std::vector<TUint64> marks;
        std::string body = build + c.operation + "\n extcall 20, 99\n adjsp -1\n";
        NativeProgram p(body, kTexts, [&marks](NativeProgram& q) {
            q.handOver = [&marks] {
                marks.push_back(TextSearch::comparisons());
                return 0;
            };
        });
        ASSERT_EQ(errorOf(p), "0: ");
        ASSERT_EQ(marks.size(), 2u);
        const std::string after = c.after;
        EXPECT_EQ(after == "length" ? TInt32(p.vm.stringOf(p.word(5)).length())
                  : after == "size" ? p.vector(2).size()
                                    : p.integer(2),
                  c.want);
        EXPECT_LE(marks[1] - marks[0], TUint64(6) * (3 << 19));
    }
}

// Each native is given one bad operand beside large good ones: it must raise
// that operand's error before allocating anything (the budget's peak stays put
// but for the error's own text). Global 5 holds 2^21 "a", global 6 2^20 ints.
TEST(Refusal, NativesCheckEveryOperandBeforeTheyAllocate) {
    const std::string build =
        "ldstr a\n push 2097152\n native String.repeat\n @store 5\n"
        "@vec 4\n @keep 6\n push 1\n push 1048576\n native IntVector.set_filled\n"
        "extcall 20, 99\n adjsp -1\n";
    const std::string kBadAddress = "10: VMException: Bad VM address 0x7FFFFFF0";
    struct Case {
        const char* operation;
        std::string want;
    };
    const Case cases[] = {
        {"push 0x7FFFFFF0\n push 120\n push 16777216\n native String.set_repeated_char", kBadAddress},
        {"push 0x7FFFFFF0\n @load 5\n push 1\n push -1\n native String.set_substring", kBadAddress},
        {"push 0x7FFFFFF0\n @load 5\n push 1\n native String.set_stepped", kBadAddress},
        {"push 0x7FFFFFF0\n push 1\n push 33554432\n native ByteVector.set_filled", kBadAddress},
        {"push 0x7FFFFFF0\n @load 6\n push 1\n native IntVector.set_stepped", kBadAddress},
        {"push 0x7FFFFFF0\n @load 6\n native IntVector.set_copy", kBadAddress},
        {"push 0x7FFFFFF0\n push 1\n native Hash.new", kBadAddress},
        {"push 0x7FFFFFF0\n native DateTime.set_now", kBadAddress},
        {"@vec 4\n @load 6\n push -1\n native IntVector.insert_vector", "2: IndexOutOfBoundsException"},
        {"@vec 4\n @load 6\n push 0\n push -1\n push 1\n native IntVector.insert_part", "2: IndexOutOfBoundsException"},
        {"@vec 4\n push 5\n push 0\n @load 6\n push 0\n push -1\n native IntVector.replace_or_insert_part",
         "2: IndexOutOfBoundsException"},
        {"ldstr b\n push 0\n push -1\n @load 5\n push -1\n push 0\n native String.replace_or_insert_part",
         "5: RangeException"},
        {"@vec 16\n push 1\n push 2\n push 3\n push 4\n push 200000000\n native Int4Vector.set_filled",
         "6: InvalidArgumentException"},
        {"@load 5\n ldstr empty\n native String.split", "6: InvalidArgumentException"},
        {"@load 5\n push 99\n push -1\n native String.insert_char", "2: IndexOutOfBoundsException"},
        {"push 0\n push 5\n native Timer.add", "1: NullPointerException: NULL pointer"},
        {"push 0\n @load 6\n native Hash.update", "1: NullPointerException: NULL pointer"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operation);
        TUint64 mark = 0;
        NativeProgram p(build + c.operation + "\n", kTexts, [&mark](NativeProgram& q) {
            q.handOver = [&mark, &q] {
                q.vm.budget().resetPeak();
                mark = q.vm.budget().used();
                return 0;
            };
        });
        EXPECT_EQ(errorOf(p), c.want);
        // (the error's text may take a new heap pool: 64000 bytes)
        EXPECT_LT(p.vm.budget().peak() - mark, TUint64(128) << 10) << "something was made before the refusal";
    }
}

}  // namespace mcb
