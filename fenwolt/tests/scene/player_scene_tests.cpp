#include "match_scene_rig.h"
#include "scene_test_support.h"
#include "platform/tests/support/test_requirements.h"

namespace {

class PlayerSceneTest : public SceneDeviceTest {
protected:
    void SetUp() override
    {
        SceneDeviceTest::SetUp();
        if (HasFatalFailure()) return;
        data = FenwoltDataDir();
        if (data.empty()) SKIP_WITHOUT("the generated data set") << "build the fenwolt-data target";
        old = std::filesystem::current_path();
        std::filesystem::current_path(data);
    }
    void TearDown() override
    {
        if (!old.empty()) std::filesystem::current_path(old);
        SceneDeviceTest::TearDown();
    }
    std::filesystem::path data, old;
};

// Counts pixels of a frame that differ from the sky colour and the pitch around a point.
int Differing(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    int n = 0;
    for (size_t i = 0; i + 2 < a.size() && i + 2 < b.size(); i += 3)
        n += std::abs(a[i] - b[i]) + std::abs(a[i + 1] - b[i + 1]) + std::abs(a[i + 2] - b[i + 2]) > 30;
    return n;
}

TEST_F(PlayerSceneTest, ALitShadowedRunningPlayer)
{
    MatchSceneRig rig(device);
    ASSERT_EQ(rig.Load(1), "");
    // Player 0 stands at (10, 0, 20): look at him from the side and a little above.
    rig.LookAt(D3DVECTOR{6.5f, 1.6f, 16.5f}, D3DVECTOR{10.f, 0.8f, 20.f});
    int w = 0, h = 0;
    rig.Frame(0.0f, true, true);
    EXPECT_EQ(rig.shadowsDrawn, 2);  // the player and the ball
    SaveFrame("player_run_0.png");
    const std::vector<uint8_t> first = Frame(w, h);
    rig.Frame(0.15f, true, true);
    SaveFrame("player_run_1.png");
    const std::vector<uint8_t> second = Frame(w, h);
    EXPECT_GT(Differing(first, second), 200) << "the run moved the body";

    // The same pose without shadows: the shadow darkens the pitch beside the feet.
    rig.Frame(0.0f, false, false);
    const std::vector<uint8_t> plain = Frame(w, h);
    rig.Frame(0.0f, false, true);
    const std::vector<uint8_t> shadowed = Frame(w, h);
    SaveFrame("player_shadowed_still.png");
    int darker = 0;
    for (size_t i = 0; i + 2 < plain.size(); i += 3)
        darker += (shadowed[i] + shadowed[i + 1] + shadowed[i + 2]) + 30 < (plain[i] + plain[i + 1] + plain[i + 2]);
    EXPECT_GT(darker, 300);
    // The body is lit: neither black nor the clear colour in the middle of the screen.
    const Rgb body = Pixel(400, 300);
    EXPECT_GT(body.Sum(), 60);
}

TEST_F(PlayerSceneTest, TheMatchSizedSceneShadowsEveryPlayerAndTheBall)
{
    MatchSceneRig rig(device);
    ASSERT_EQ(rig.Load(22), "");
    rig.LookAt(D3DVECTOR{59.47f - 40.f, 25.f, 42.08f}, D3DVECTOR{59.47f, 0.f, 42.08f});
    rig.Frame(0.02f, true, true);
    SaveFrame("match_scene.png");
    EXPECT_EQ(rig.shadowsDrawn, 23);
    // 22 players, the ball, the pitch, two goals, and 23 shadows.
    EXPECT_EQ(rig.drawCalls, 26 + 23);
}

}  // namespace
