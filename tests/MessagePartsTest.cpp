// Long chat messages cut into posts the chat service accepts: at most 2000 characters each, at
// line breaks, with code blocks closed and reopened across parts, and nothing lost.
#include <gmock/gmock.h>

#include "audit/MessageParts.h"

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::SizeIs;

namespace {

// A report's shape: a heading, then member lines inside one inline code block.
std::string MemberReport(int members) {
    std::string message =
        "# Destroyed dino(Rex) level 1200 from tribe 1000050001 at X=1.000 "
        "Y=2.000 Z=3.000\nMembers: ```";
    for (int member = 0; member < members; ++member) {
        if (member > 0) message += "\n";
        message += "Survivor " + std::to_string(member) + " - EOS id: 0002" + std::string(28, 'a');
    }
    return message + "```";
}

// What a reader sees when the parts are read in order: the fence that closes a part and the one
// that reopens the next are markup, not text.
std::string Rejoined(const std::vector<std::string>& parts) {
    std::string text;
    for (size_t index = 0; index < parts.size(); ++index) {
        std::string part = parts[index];
        if (index > 0) {
            if (part.starts_with("```") && text.ends_with("```")) {
                text.resize(text.size() - 3);
                part.erase(0, 3);
            }
            text += "\n";
        }
        text += part;
    }
    return text;
}

size_t Fences(const std::string& text) {
    size_t count = 0;
    for (size_t at = text.find("```"); at != std::string::npos; at = text.find("```", at + 3))
        ++count;
    return count;
}

TEST(MessagePartsTest, MessageThatFitsStaysOneIdenticalPart) {
    const std::string exact(2000, 'x');
    EXPECT_THAT(SplitMessage(exact), ElementsAre(exact));
    EXPECT_THAT(SplitMessage(""), ElementsAre(""));
    EXPECT_THAT(SplitMessage(MemberReport(3)), ElementsAre(MemberReport(3)));
}

TEST(MessagePartsTest, OneCharacterOverTheLimitSplitsAtTheLineBreak) {
    const std::string first(1000, 'a'), second(1000, 'b');
    EXPECT_THAT(SplitMessage(first + "\n" + second), ElementsAre(first, second));
}

TEST(MessagePartsTest, CharactersAreCountedNotBytes) {
    // 2000 characters of two bytes each fit one post; 2001 do not.
    std::string umlauts;
    for (int i = 0; i < 2000; ++i) umlauts += "\xC3\xA4";
    EXPECT_EQ(CharacterCount(umlauts), 2000u);
    EXPECT_THAT(SplitMessage(umlauts), SizeIs(1));
    const auto parts = SplitMessage(umlauts + "\n\xC3\xA4");
    EXPECT_THAT(parts, ElementsAre(umlauts, "\xC3\xA4"));
}

TEST(MessagePartsTest, SplitInsideACodeBlockClosesAndReopensTheBlock) {
    const std::string message = MemberReport(60);
    ASSERT_GT(CharacterCount(message), 2000u);
    const auto parts = SplitMessage(message);
    ASSERT_THAT(parts, SizeIs(2));
    for (const std::string& part : parts) {
        EXPECT_LE(CharacterCount(part), 2000u);
        EXPECT_EQ(Fences(part) % 2, 0u) << "a part leaves a code block open: " << part;
    }
    EXPECT_TRUE(parts[0].ends_with(" - EOS id: 0002" + std::string(28, 'a') + "```"));
    EXPECT_TRUE(parts[1].starts_with("```Survivor "));
    EXPECT_EQ(Rejoined(parts), message);
}

TEST(MessagePartsTest, EveryMemberLineOfAHugeTribeArrivesOnceInOrder) {
    const std::string message = MemberReport(500);
    const auto parts = SplitMessage(message);
    EXPECT_GT(parts.size(), 10u);
    for (const std::string& part : parts) EXPECT_LE(CharacterCount(part), 2000u);
    EXPECT_EQ(Rejoined(parts), message);
}

TEST(MessagePartsTest, SingleLineOverTheLimitIsCutAtTheLimit) {
    const std::string line(4500, 'z');
    const auto parts = SplitMessage("head\n" + line + "\ntail");
    ASSERT_THAT(parts, SizeIs(4));
    EXPECT_EQ(parts[0], "head");
    EXPECT_EQ(parts[1], std::string(2000 - 3, 'z'));  // room is kept for a closing fence
    EXPECT_EQ(parts[2], std::string(2000 - 3, 'z'));
    EXPECT_EQ(parts[3], std::string(4500 - 2 * (2000 - 3), 'z') + "\ntail");
}

TEST(MessagePartsTest, CutNeverSplitsACharacterOrAFence) {
    std::string line;
    for (int i = 0; i < 1500; ++i) line += "\xE2\x82\xAC";  // three bytes each
    const auto euros = SplitMessage(line + line);
    for (const std::string& part : euros) {
        EXPECT_LE(CharacterCount(part), 2000u);
        EXPECT_EQ(part.size() % 3, 0u) << "a character was cut";
    }
    // A fence that straddles the cut moves whole into the next part.
    const std::string fenced = std::string(1996, 'q') + "```" + std::string(100, 'r') + "```";
    const auto parts = SplitMessage(fenced + "\n" + std::string(100, 's'), 2000);
    EXPECT_THAT(parts, Each(::testing::Truly([](const std::string& part) {
                    return CharacterCount(part) <= 2000 && Fences(part) % 2 == 0;
                })));
    EXPECT_EQ(parts[0], std::string(1996, 'q'));
}

TEST(MessagePartsTest, SmallLimitsStillMakeProgressAndKeepEveryLine) {
    const std::string message = "Members: ```a\nbb\nccc\ndddd```";
    // The first line and its closing fence take the whole limit; every other line fits with room.
    const auto parts = SplitMessage(message, 16);
    EXPECT_THAT(parts, SizeIs(3));
    for (const std::string& part : parts) EXPECT_LE(CharacterCount(part), 16u) << part;
    EXPECT_EQ(Rejoined(parts), message);
}

}  // namespace
