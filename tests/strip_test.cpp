#include "cipher/strip.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace quorvel {
namespace {

const CodePage& Page1252() { return *FindCodePage(1252); }

TEST(Padding, FillsWholeColumns) {
  struct Case {
    std::size_t length;
    int spaces;
  };
  for (const Case c : {Case{0, 0}, Case{1, 2}, Case{2, 1}, Case{3, 0}, Case{4, 2}, Case{5, 1},
                       Case{6, 0}, Case{7, 2}, Case{32764, 2}, Case{32765, 1}, Case{32766, 0},
                       Case{98300, 1}, Case{98301, 0}}) {
    EXPECT_EQ(PaddingCount(c.length), c.spaces) << c.length;
    EXPECT_EQ((c.length + static_cast<std::size_t>(c.spaces)) % 3, 0u);
  }
  EXPECT_EQ(PadText(u"ab"), u"ab ");
  EXPECT_EQ(PadText(u"a"), u"a  ");
  EXPECT_EQ(PadText(u"abc"), u"abc");
}

TEST(EncodeStrip, ColumnCountsFollowTheLength) {
  const KeyTriple keys{{1, 2, 3}};
  const std::pair<std::size_t, std::size_t> cases[] = {{1, 1}, {2, 1}, {3, 1}, {4, 2},
                                                       {5, 2}, {6, 2}, {7, 3}, {32766, 10922}};
  for (auto [length, columns] : cases) {
    const auto r = EncodeStrip(std::u16string(length, u'x'), keys, Page1252());
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.columns.size(), columns) << length;
  }
}

TEST(EncodeStrip, ColoursAreCodesXorKeys) {
  // Hand-computed: 'H' = 0x48, 'i' = 0x69, '!' = 0x21; keys 42 (0x2A), 0, 255.
  const KeyTriple keys{{42, 0, 255}};
  auto r = EncodeStrip(u"Hi!", keys, Page1252());
  ASSERT_TRUE(r.ok());
  ASSERT_EQ(r.columns.size(), 1u);
  EXPECT_EQ(r.columns[0], (Rgb{0x62, 0x69, 0xDE}));
  EXPECT_EQ(Packed(r.columns[0]), 0x00DE6962u);

  // One space pads to three spaces: each channel is 32 XOR its key.
  r = EncodeStrip(u" ", KeyTriple{{42, 42, 42}}, Page1252());
  ASSERT_EQ(r.columns.size(), 1u);
  EXPECT_EQ(r.columns[0], (Rgb{10, 10, 10}));

  // Two characters: the blue channel carries the padding space.
  r = EncodeStrip(u"ab", KeyTriple{{0, 0, 7}}, Page1252());
  EXPECT_EQ(r.columns[0], (Rgb{'a', 'b', 32 ^ 7}));

  // A line break is CR LF, codes 13 and 10; the euro sign is 0x80 in 1252.
  r = EncodeStrip(u"a\r\n\u20ac", KeyTriple{{0, 0, 0}}, Page1252());
  ASSERT_EQ(r.columns.size(), 2u);
  EXPECT_EQ(r.columns[0], (Rgb{'a', 13, 10}));
  EXPECT_EQ(r.columns[1], (Rgb{0x80, 32, 32}));
}

TEST(EncodeStrip, RefusesWhatItCannotHold) {
  const KeyTriple keys{{42, 42, 42}};
  auto r = EncodeStrip(u"", keys, Page1252());
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.failure->error, EncodeError::kEmpty);

  EXPECT_TRUE(EncodeStrip(std::u16string(kMaxTextLength, u'a'), keys, Page1252()).ok());
  EXPECT_EQ(EncodeStrip(std::u16string(kMaxTextLength, u'a'), keys, Page1252()).columns.size(),
            32767u);
  r = EncodeStrip(std::u16string(kMaxTextLength + 1, u'a'), keys, Page1252());
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.failure->error, EncodeError::kTooLong);
  EXPECT_TRUE(r.columns.empty());

  // A Cyrillic letter has no code in 1252: named with its position.
  r = EncodeStrip(u"abc\u0416", keys, Page1252());
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.failure->error, EncodeError::kNoCode);
  EXPECT_EQ(r.failure->position, 4u);
  EXPECT_EQ(r.failure->character, U'\u0416');
  EXPECT_TRUE(r.columns.empty());

  // ... but it has one in 1251.
  EXPECT_TRUE(EncodeStrip(u"abc\u0416", keys, *FindCodePage(1251)).ok());

  // A character outside the basic plane is named whole.
  r = EncodeStrip(u"x\U0001F600", keys, Page1252());
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.failure->position, 2u);
  EXPECT_EQ(r.failure->character, U'\U0001F600');
}

TEST(LastColumnIndex, RoundsHalvesToEvenAndOverflows) {
  struct Case {
    float width;
    int last;  // INT32_MIN: overflow
  };
  const int overflow = INT32_MIN;
  for (const Case c :
       {Case{0, -1}, Case{0.5f, 0}, Case{1, 0}, Case{1.5f, 0}, Case{2.5f, 2}, Case{3.5f, 2},
        Case{4.5f, 4}, Case{32767, 32766}, Case{32768, 32767}, Case{32769, overflow},
        Case{-32767, -32768}, Case{-32768, overflow}, Case{1e30f, overflow},
        Case{std::numeric_limits<float>::infinity(), overflow},
        Case{std::numeric_limits<float>::quiet_NaN(), overflow}}) {
    const auto got = LastColumnIndex(c.width);
    if (c.last == overflow) {
      EXPECT_FALSE(got.has_value()) << c.width;
    } else {
      ASSERT_TRUE(got.has_value()) << c.width;
      EXPECT_EQ(*got, c.last) << c.width;
    }
  }
}

// Decodes a strip given as a vector of packed colours.
DecodeResult Decode(const std::vector<std::int32_t>& pixels, float width, const KeyTriple& keys) {
  return DecodeStrip(
      keys, width,
      [&](std::int32_t x) {
        return x < static_cast<std::int32_t>(pixels.size()) ? pixels[static_cast<std::size_t>(x)]
                                                            : -1;
      },
      Page1252());
}

std::vector<std::int32_t> Pixels(const EncodeResult& r) {
  std::vector<std::int32_t> p;
  for (const Rgb c : r.columns) p.push_back(static_cast<std::int32_t>(Packed(c)));
  return p;
}

TEST(DecodeStrip, RoundTripsLessTrailingSpaces) {
  const KeyTriple keys{{42, 17, 200}};
  const std::u16string texts[] = {u"a",     u"ab",           u"abc",     u"abcd",
                                  u"abcde", u"abcdef",       u"abcdefg", u" x ",
                                  u"  a b", u"line\r\nnext", u"tail   ", u"\u20ac\u00ff"};
  for (const auto& text : texts) {
    const auto enc = EncodeStrip(text, keys, Page1252());
    ASSERT_TRUE(enc.ok());
    const auto pixels = Pixels(enc);
    const auto dec = Decode(pixels, static_cast<float>(pixels.size()), keys);
    ASSERT_TRUE(dec.ok());
    std::u16string expected = text;
    TrimTrailingSpaces(expected);
    EXPECT_EQ(dec.text, expected);
  }
}

TEST(DecodeStrip, EveryCodeComesBack) {
  for (int page_number : KnownCodePages()) {
    const CodePage& page = *FindCodePage(page_number);
    std::u16string text;
    for (int c = 0; c < 256; ++c) text.push_back(page.Char(static_cast<std::uint8_t>(c)));
    const KeyTriple keys{{1, 128, 255}};
    const auto enc = EncodeStrip(text, keys, page);
    ASSERT_TRUE(enc.ok()) << page_number;
    const auto pixels = Pixels(enc);
    const auto dec = DecodeStrip(
        keys, static_cast<float>(pixels.size()),
        [&](std::int32_t x) { return pixels[static_cast<std::size_t>(x)]; }, page);
    ASSERT_TRUE(dec.ok());
    EXPECT_EQ(dec.text, text) << page_number;
  }
}

TEST(DecodeStrip, OtherKeysGiveOtherCharactersWithoutFailing) {
  const auto enc = EncodeStrip(u"secret", KeyTriple{{1, 2, 3}}, Page1252());
  const auto pixels = Pixels(enc);
  const auto dec = Decode(pixels, 2, KeyTriple{{4, 5, 6}});
  ASSERT_TRUE(dec.ok());
  ASSERT_EQ(dec.text.size(), 6u);
  const char16_t xors[3] = {0x1 ^ 0x4, 0x2 ^ 0x5, 0x3 ^ 0x6};
  for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(dec.text[i], u"secret"[i] ^ xors[i % 3]);
}

TEST(DecodeStrip, TrimsOnlySpaces) {
  const KeyTriple keys{{9, 9, 9}};
  // A column equal to the keys decodes to three code-0 characters, kept.
  auto dec = Decode({0x00090909}, 1, keys);
  ASSERT_TRUE(dec.ok());
  EXPECT_EQ(dec.text, std::u16string(3, u'\0'));
  // "a" and two spaces at the end keep only the "a".
  dec = Decode({static_cast<std::int32_t>(Packed(ColumnColour('a', ' ', ' ', keys)))}, 1, keys);
  EXPECT_EQ(dec.text, u"a");
  // Spaces only decode to nothing.
  dec = Decode({static_cast<std::int32_t>(Packed(ColumnColour(' ', ' ', ' ', keys)))}, 1, keys);
  ASSERT_TRUE(dec.ok());
  EXPECT_EQ(dec.text, u"");
}

TEST(DecodeStrip, WidthsDecideTheColumnsRead) {
  const KeyTriple keys{};
  struct Case {
    float width;
    int columns_read;  // -1: fails before reading anything
    bool ok;
  };
  for (const Case c : {Case{0, 0, true}, Case{0.5f, 1, true}, Case{2.5f, 3, true},
                       Case{3.5f, 3, true}, Case{32767, 32767, true}, Case{32768, 32768, false},
                       Case{32769, 0, false}, Case{-3, 0, true}}) {
    int reads = 0;
    const auto dec = DecodeStrip(
        keys, c.width,
        [&](std::int32_t) {
          ++reads;
          return 0x00414141;
        },
        Page1252());
    EXPECT_EQ(dec.ok(), c.ok) << c.width;
    EXPECT_EQ(reads, c.columns_read) << c.width;
    if (c.ok) {
      EXPECT_EQ(dec.text.size(), 3u * static_cast<std::size_t>(c.columns_read));
    } else {
      EXPECT_TRUE(dec.text.empty());
    }
  }
}

TEST(DecodeStrip, UnreadablePointFails) {
  const auto dec = Decode({0x00414141, -1, 0x00414141}, 3, KeyTriple{});
  ASSERT_FALSE(dec.ok());
  EXPECT_EQ(dec.failure->error, DecodeError::kBadColour);
  EXPECT_EQ(dec.failure->column, 1);
  EXPECT_TRUE(dec.text.empty());
}

TEST(DecodeStrip, RandomStripsRoundTrip) {
  std::mt19937 rng(12345);
  const CodePage& page = Page1252();
  for (int round = 0; round < 200; ++round) {
    const std::size_t length = 1 + rng() % 300;
    std::u16string text;
    for (std::size_t i = 0; i < length; ++i) text.push_back(page.Char(rng() & 0xFF));
    const KeyTriple keys{{static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()),
                          static_cast<std::uint8_t>(rng())}};
    const auto pixels = Pixels(EncodeStrip(text, keys, page));
    const auto dec = Decode(pixels, static_cast<float>(pixels.size()), keys);
    TrimTrailingSpaces(text);
    ASSERT_EQ(dec.text, text);
  }
}

// The colour read is a signed 32-bit value split into its channels: a set
// top byte or a negative value leaves a channel outside 0 to 255.
TEST(DecodeStrip, ColoursOutsideTheChannelsFail) {
  for (const std::int32_t p : {-1, -256, 0x01000000, INT32_MIN, INT32_MAX}) {
    EXPECT_FALSE(Decode({p}, 1, KeyTriple{{0xFF, 0xFF, 0xFF}}).ok()) << p;
  }
  // Codes 0 and 255 are characters like any other, and the channels come
  // from their own bytes.
  const auto dec = Decode({0x00FF00FF}, 1, KeyTriple{{0xFF, 0, 0}});
  ASSERT_TRUE(dec.ok());
  EXPECT_EQ(dec.text, (std::u16string{u'\0', u'\0', u'\u00FF'}));
  EXPECT_EQ(Decode({0x00636261}, 1, KeyTriple{}).text, u"abc");
}

}  // namespace
}  // namespace quorvel
