#include <gtest/gtest.h>

#include "TestUtil.h"
#include "skerrow/Src/Animation.h"
#include "skerrow/Src/ResourceLocator.h"

namespace {

const char kScript[] =
    "*ALL_FRAMES {\n"
    "  *f a, 0, 0, 8, 8\n"
    "  *f b 8 0 8 8\n"
    "  *f Ball1, 16, 0, 4, 4\n"
    "}\n"
    "*animation Idle {\n"
    "  *FRAME a\n"
    "  *pause 2\n"
    "  *frame b\n"
    "  *LOOP\n"
    "}\n"
    "*ANIMATION Once { *FRAME 5, ball1, 3\n *FRAME -2, 4, b\n *FRAME nothere, 7\n}\n";

std::vector<int> FramesOver(AnimationSet& set, const char* name, int ticks)
{
    std::vector<int> frames;
    for (int i = 0; i < ticks; ++i) {
        set.Animate(name, 0);
        frames.push_back(set.CurrentFrame());
    }
    return frames;
}

TEST(AnimationSet, ParsesFramesAndCommands)
{
    AnimationSet set;
    set.Parse(kScript);
    ASSERT_EQ(set.FrameCount(), 3);
    EXPECT_STREQ(set.Frames()[2].name, "Ball1");
    EXPECT_EQ(set.Frames()[1].left, 8);
    EXPECT_EQ(set.Frames()[1].right, 16);
    EXPECT_EQ(set.Frames()[2].bottom, 4);
    ASSERT_EQ(set.ScriptCount(), 2);
    EXPECT_EQ(set.FindAnimation("IDLE"), 0);
    EXPECT_EQ(set.FindAnimation("once"), 1);
    AnimationScript* once = set.Script(1);
    ASSERT_EQ(once->commandCount, 4 + 3 + 2);
    const AnimationCommand expected[] = {{ANIM_OFFSET_X, 5}, {ANIM_OFFSET_Y, 0}, {ANIM_FRAME, 2}, {ANIM_PAUSE, 3},
                                         {ANIM_OFFSET_X, -2}, {ANIM_OFFSET_Y, 4}, {ANIM_FRAME, 1},
                                         {ANIM_OFFSET_X, 0},  {ANIM_OFFSET_Y, 0}};
    for (int i = 0; i < once->commandCount; ++i) {
        EXPECT_EQ(once->commands[i].type, expected[i].type) << i;
        EXPECT_EQ(once->commands[i].value, expected[i].value) << i;
    }
}

TEST(AnimationSet, PauseHoldsNPlusOneTicksAndLoopRestarts)
{
    AnimationSet set;
    set.Parse(kScript);
    // a for 4 ticks (its FRAME tick and the 3 ticks of PAUSE 2), b for 2 (FRAME and LOOP).
    EXPECT_EQ(FramesOver(set, "Idle", 8), (std::vector<int>{0, 0, 0, 0, 1, 1, 0, 0}));
    EXPECT_FALSE(set.IsFinished());
}

TEST(AnimationSet, OffsetsChainAndTheEndIsReported)
{
    AnimationSet set;
    set.Parse(kScript);
    set.Animate("Once", 0);
    EXPECT_EQ(set.GetOffsetX(), 5);
    EXPECT_EQ(set.GetOffsetY(), 0);
    EXPECT_EQ(set.CurrentFrame(), 2);
    for (int i = 0; i < 4; ++i) set.Animate("Once", 0);  // PAUSE 3: 4 ticks
    EXPECT_EQ(set.CurrentFrame(), 2);
    set.Animate(nullptr, 0);
    EXPECT_EQ(set.CurrentFrame(), 1);
    EXPECT_EQ(set.GetOffsetX(), -2);
    EXPECT_EQ(set.GetOffsetY(), 4);
    EXPECT_FALSE(set.IsFinished());
    set.Animate(nullptr, 0);  // the trailing offsets run; nothing else is left
    set.Animate(nullptr, 0);
    EXPECT_TRUE(set.IsFinished());
    EXPECT_EQ(set.CurrentFrame(), 1);
    RECT r;
    set.GetFrameRect(&r);
    EXPECT_EQ(r.left, 8);
    // Naming another animation starts it from its first command.
    set.Animate("Idle", 0);
    EXPECT_EQ(set.CurrentFrame(), 0);
}

TEST(AnimationSet, UnknownNameClearsTheCurrentAnimation)
{
    AnimationSet set;
    set.Parse(kScript);
    set.Animate("Once", 0);
    EXPECT_EQ(set.Animate("NoSuch", 0), 0);
    EXPECT_EQ(set.CurrentIndex(), -1);
    EXPECT_EQ(set.GetOffsetX(), 0);
    EXPECT_EQ(set.GetOffsetY(), 0);
    EXPECT_FALSE(set.IsFinished());
}

TEST(AnimationSet, LoadFromLocatorAndLimits)
{
    ScratchDir dir;
    EXPECT_EQ(AnimationSet().Load("missing.anm"), 0);
    std::string text = "*ALL_FRAMES {\n";
    for (int i = 0; i < 200; ++i) text += "*f frame" + std::to_string(i) + "_with_a_name_longer_than_31_chars 0 0 1 1\n";
    text += "}\n";
    for (int i = 0; i < 70; ++i) {
        text += "*ANIMATION A" + std::to_string(i) + " {\n";
        for (int k = 0; k < 300; ++k) text += "*PAUSE 1\n";
        text += "}\n";
    }
    text += "*ANIMATION Unclosed { *LOOP";
    WriteFileText("big.anm", text);
    AnimationSet set;
    // Scripts are looked up with the search-only flag: a plain file needs a directory entry.
    EXPECT_EQ(set.Load("big.anm"), 0);
    g_resourceLocator.AddSearchPath("NoPack.dat", "", 3);
    ASSERT_EQ(set.Load("big.anm"), 1);
    // A path far longer than the set's name field loads too.
    std::string longDir(200, 'd');
    WriteFileText(longDir + "/" + std::string(40, 'n') + ".anm", "*ANIMATION A { *LOOP }\n");
    AnimationSet other;
    EXPECT_EQ(other.Load((longDir + "\\" + std::string(40, 'n') + ".anm").c_str()), 1);
    EXPECT_EQ(other.ScriptCount(), 1);
    g_resourceLocator.Clear();
    EXPECT_TRUE(set.IsLoaded());
    EXPECT_EQ(set.FrameCount(), AnimationSet::kMaxFrames);
    EXPECT_EQ(std::strlen(set.Frames()[0].name), 31u);
    EXPECT_EQ(set.ScriptCount(), AnimationSet::kMaxScripts);
    EXPECT_EQ(set.Script(0)->commandCount, AnimationScript::kMaxCommands);
}

}  // namespace
