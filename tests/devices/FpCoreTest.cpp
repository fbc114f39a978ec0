// The fingerprint pipeline shared by the scanner library, its simulator and gatesim: synthetic
// fingers and touches, extraction, the template format and the matcher.

#include "Extract.h"
#include "Match.h"
#include "SynthFinger.h"
#include "Template.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace fp;

namespace {

std::vector<uint8_t> TouchImage(const Finger &f, uint64_t seed)
{
    std::vector<uint8_t> image(kImageBytes);
    image[kImagePixels] = uint8_t(Render(f, MakeImpression(f, seed), image.data()));
    return image;
}

Minutiae Read(const Finger &f, uint64_t seed)
{
    return ExtractMinutiae(TouchImage(f, seed).data()).minutiae;
}

} // namespace

TEST(FpCore, AFingerIsDeterminedByItsIdentity)
{
    const Finger a1 = MakeFinger("u7-left-index"), a2 = MakeFinger("u7-left-index"), b = MakeFinger("u7-left-thumb");
    ASSERT_EQ(a1.minutiae.size(), a2.minutiae.size());
    for (size_t i = 0; i < a1.minutiae.size(); ++i)
        EXPECT_EQ(a1.minutiae[i].x, a2.minutiae[i].x);
    EXPECT_GT(a1.minutiae.size(), 60u);
    EXPECT_NE(a1.minutiae[0].x, b.minutiae[0].x);
    // ... while every touch is a fresh impression.
    EXPECT_NE(TouchImage(a1, 1), TouchImage(a1, 2));
}

TEST(FpCore, TouchesOfOneFingerMatchAndTouchesOfOthersDoNot)
{
    constexpr int kFingers = 12;
    std::vector<Minutiae> first, second;
    for (int i = 0; i < kFingers; ++i) {
        const Finger f = MakeFinger("test-finger-" + std::to_string(i));
        first.push_back(Read(f, 100 + uint64_t(i)));
        second.push_back(Read(f, 200 + uint64_t(i)));
        EXPECT_GE(first.back().size(), 20u) << "finger " << i;
    }
    for (int i = 0; i < kFingers; ++i)
        for (int j = 0; j < kFingers; ++j) {
            const MatchResult r = MatchMinutiae(first[size_t(i)], second[size_t(j)]);
            EXPECT_EQ(r.match, i == j) << "fingers " << i << " and " << j << ": " << r.paired << " paired, score "
                                       << r.score;
        }
}

TEST(FpCore, ATemplateKeepsItsMinutiaeAndRefusesDamage)
{
    const Minutiae m = Read(MakeFinger("round-trip"), 5);
    ASSERT_FALSE(m.empty());
    uint8_t tpl[kTemplateBytes];
    EncodeTemplate(m, 77, tpl);
    Minutiae back;
    int quality = 0;
    ASSERT_TRUE(DecodeTemplate(tpl, &back, &quality));
    EXPECT_EQ(quality, 77);
    ASSERT_EQ(back.size(), m.size());
    for (size_t i = 0; i < m.size(); ++i) {
        EXPECT_NEAR(back[i].x, m[i].x, 0.5f);
        EXPECT_NEAR(back[i].y, m[i].y, 0.5f);
        EXPECT_NEAR(AngleDiff(back[i].angle, m[i].angle), 0, kTwoPi / 256);
        EXPECT_EQ(back[i].type, m[i].type);
    }

    uint8_t damaged[kTemplateBytes];
    std::copy(tpl, tpl + kTemplateBytes, damaged);
    damaged[kTemplateHeaderBytes + 1] ^= 0x01;
    EXPECT_FALSE(DecodeTemplate(damaged, &back));
    const uint8_t empty[kTemplateBytes] = {};
    EXPECT_FALSE(DecodeTemplate(empty, &back)); // a record never written
    EXPECT_FALSE(MatchTemplates(empty, tpl).match);
}

TEST(FpCore, AFullTemplateHoldsAtMost196Minutiae)
{
    Minutiae many;
    for (int i = 0; i < 250; ++i)
        many.push_back({float(i % 150), float(i % 199), 0.1f * float(i), uint8_t(i % 2), 50});
    uint8_t tpl[kTemplateBytes];
    EncodeTemplate(many, 50, tpl);
    Minutiae back;
    ASSERT_TRUE(DecodeTemplate(tpl, &back));
    EXPECT_EQ(back.size(), size_t(kMaxMinutiae));
    EXPECT_EQ(kMaxMinutiae, 196);
}

TEST(FpCore, TemplatesOfTwoTouchesMatch)
{
    const Finger f = MakeFinger("stored-and-presented");
    uint8_t a[kTemplateBytes], b[kTemplateBytes];
    EncodeTemplate(Read(f, 11), 80, a);
    EncodeTemplate(Read(f, 12), 80, b);
    EXPECT_TRUE(MatchTemplates(a, b).match);
    EncodeTemplate(Read(MakeFinger("someone-else"), 13), 80, b);
    EXPECT_FALSE(MatchTemplates(a, b).match);
}

TEST(FpCore, AnImageWithoutAFingerHasNoMinutiae)
{
    std::vector<uint8_t> white(kImageBytes, 238);
    const Extraction ex = ExtractMinutiae(white.data());
    EXPECT_TRUE(ex.minutiae.empty());
    EXPECT_EQ(ex.quality, 0);
    // A handful of minutiae never make a match, even with themselves.
    const Minutiae few = {{50, 50, 1, 0, 90}, {80, 90, 2, 1, 90}, {100, 120, 3, 0, 90}};
    EXPECT_FALSE(MatchMinutiae(few, few).match);
}
