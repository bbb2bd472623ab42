// The front-end pictures against the texts the screens write over them: every border, rule and
// plate edge a picture draws must stay clear of every text row, measured as the game measures
// its text sprites (the width tables, the glyph cells and the two-pixel shadow).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "DataReaders.h"
#include "fenwolt/data/Fonts.h"
#include "fenwolt/data/Textures.h"

using namespace fwcheck;

namespace {

constexpr int kCentre = 1, kRight = 32;   // the text sprites' alignment codes
constexpr int kShadow = 2;                // a shadowed text reaches two pixels right and down
const int kCellW[3] = {32, 24, 24}, kCellH[3] = {24, 16, 16};

struct MenuText {
    float x, y;
    int font;
    int align;
    std::string text;
};

struct Box {
    float x0, y0, x1, y1;   // [x0, x1) x [y0, y1)
};

// Where a text sprite's letters land: the alignment moves it by the width of its screen
// rectangle (up to the end of the last glyph's cell); its ink ends with the last advance.
Box TextBox(const MenuText& t) {
    const auto& widths = fwdata::GameWidthTable(t.font);
    float advances = 0.0f, last = 0.0f;
    for (unsigned char c : t.text) {
        last = float(widths[c]);
        advances += last;
    }
    const float rectangle = advances - last + float(kCellW[t.font]);
    float left = t.x;
    if (t.align == kCentre) left -= rectangle / 2.0f;
    if (t.align == kRight) left -= rectangle;
    return {left, t.y, left + advances + kShadow, t.y + float(kCellH[t.font] + kShadow)};
}

bool Overlaps(const Box& a, const fwdata::PictureLine& l, float dx, float dy) {
    return a.x0 < float(l.x1) + dx && float(l.x0) + dx < a.x1 && a.y0 < float(l.y1) + dy && float(l.y0) + dy < a.y1;
}

// A language text in each of the four languages.
std::vector<std::string> Texts(int id) {
    std::vector<std::string> out;
    for (const char* f : {"english.txt", "usa.txt", "french.txt", "german.txt"}) {
        const auto texts = ParseLanguageFile(ReadText(Resolve(DataRoot(), f)));
        out.push_back(size_t(id) < texts.size() ? texts[size_t(id)] : std::string());
    }
    return out;
}

// The widest names the screens show: a team name of 11 letters, a player's name of 12.
const std::string kTeam = "MMMMMMMMMMM", kPlayer = "MMMMMMMMMMMM";

class Layout {
public:
    void Add(float x, float y, int font, int align, const std::string& text) { texts_.push_back({x, y, font, align, text}); }
    void Add(float x, float y, int font, int align, const std::vector<std::string>& each) {
        for (const std::string& text : each) Add(x, y, font, align, text);
    }
    // The score line of the result screens: names either side of the goals.
    void ScoreLine(float y) {
        Add(330, y, 0, kRight, kTeam);
        Add(340, y, 0, 0, "10");
        Add(400, y, 0, 0, "10");
        Add(450, y, 0, 0, kTeam);
    }
    const std::vector<MenuText>& Texts() const { return texts_; }

private:
    std::vector<MenuText> texts_;
};

Layout PlainScreens() {
    Layout l;
    // game type
    l.Add(400, 30, 0, kCentre, "SELECT TYPE OF GAME");
    l.Add(400, 100, 0, kCentre, "Single Exhibition Match");
    l.Add(400, 130, 0, kCentre, "Knockout Cup");
    l.Add(400, 160, 0, kCentre, "League");
    l.Add(400, 190, 0, kCentre, "Single Exhibition Match - Two Computers");
    l.Add(707, 567, 0, kCentre, "Return");
    // exhibition set-up, and the two-computer one
    l.Add(400, 30, 0, kCentre, "SET EXHIBITION MATCH DETAILS");
    const char* labels[] = {"Number of Managers:", "Home Team:", "Away Team:", "Difficulty Level:", "Minutes per Half:",
                            "Allow Ability Swapping:"};
    for (int i = 0; i < 6; ++i) {
        l.Add(400, 70.0f + 30.0f * float(i), 0, kRight, labels[i]);
        l.Add(420, 70.0f + 30.0f * float(i), 0, 0, i == 1 || i == 2 ? kTeam : std::string("Off"));
    }
    for (int i = 1; i < 6; ++i) {
        l.Add(400, 40.0f + 30.0f * float(i), 0, kRight, labels[i]);
        l.Add(420, 40.0f + 30.0f * float(i), 0, 0, i == 1 || i == 2 ? kTeam : std::string("Off"));
    }
    l.Add(400, 260, 0, kCentre, "START MATCH");
    l.Add(400, 230, 0, kCentre, "AWAITING OTHER PLAYER");
    l.Add(400, 540, 0, kCentre, "OTHER PLAYER IS NO LONGER CONNECTED");
    // exhibition result
    l.Add(400, 30, 0, kCentre, "EXHIBITION MATCH RESULT");
    l.ScoreLine(70);
    l.Add(400, 110, 0, kCentre, "Victory for " + kTeam + ".");
    l.Add(707, 537, 0, kCentre, "Team Stats");
    l.Add(677, 507, 0, kCentre, "Home Team Stats");
    l.Add(677, 537, 0, kCentre, "Away Team Stats");
    l.Add(707, 567, 0, kCentre, "Continue");
    // knockout cup set-up and result
    l.Add(400, 30, 0, kCentre, "KNOCKOUT CUP DETAILS");
    l.Add(400, 50, 0, kCentre, "QUARTER-FINAL");
    const char* cupLabels[] = {"Your Team:", "Opponents:", "Difficulty Level:", "Minutes per Half:",
                               "Allow Ability Swapping:"};
    for (int i = 0; i < 5; ++i) {
        l.Add(400, 80.0f + 30.0f * float(i), 0, kRight, cupLabels[i]);
        l.Add(420, 80.0f + 30.0f * float(i), 0, 0, i < 2 ? kTeam : std::string("Off"));
    }
    l.Add(400, 240, 0, kCentre, "START MATCH");
    l.Add(657, 567, 0, kCentre, "End Cup Tournament");
    l.Add(400, 30, 0, kCentre, "KNOCKOUT CUP RESULT");
    l.ScoreLine(90);
    l.Add(400, 110, 0, kCentre, "Victory for " + kTeam + ".");
    l.Add(400, 130, 0, kCentre, "Well done you are through to the QUARTER-FINAL.");
    l.Add(400, 130, 0, kCentre, "Congratulations, you've WON the Cup!");
    l.Add(400, 567, 0, kCentre, "Continue");
    // credits (the names are the credits screen's own)
    l.Add(40, 120, 0, 0, "CREDITS");
    l.Add(40, 150, 0, 0, "Design:");
    l.Add(40, 180, 0, 0, "Art:");
    l.Add(40, 230, 0, 0, "With thanks to:");
    l.Add(260, 230, 0, 0, "Every manager who tested a turn");
    l.Add(400, 260, 1, kCentre, "Eleven players, five seconds a turn,");
    l.Add(650, 550, 0, 0, "Return");
    // information pages
    const float page1[] = {90, 120, 140, 160, 180, 210};
    for (int i = 0; i < 6; ++i) l.Add(110, page1[i], i == 0 || i == 5 ? 0 : 1, 0, Texts(393 + i));
    l.Add(110, 270, 0, 0, Texts(401));
    l.Add(110, 300, 1, 0, Texts(402));
    const float page2[] = {90, 120, 150, 200, 230, 260};
    for (int i = 0; i < 6; ++i) l.Add(400, page2[i], i == 0 ? 0 : 1, kCentre, Texts(405 + i));
    l.Add(620, 542, 0, 0, Texts(289));
    // options, and the options over the match
    l.Add(266, 106, 0, 0, Texts(294));
    for (int i = 0; i < 3; ++i) l.Add(258, 140.0f + 28.0f * float(i), 0, 0, Texts(295 + i));
    l.Add(266, 230, 0, 0, "OTHER");
    l.Add(258, 258, 0, 0, "Show Crowd");
    l.Add(400, 142, 0, 0, Texts(304));
    l.Add(400, 170, 0, 0, Texts(307));
    l.Add(530, 260, 0, 0, Texts(307));
    l.Add(400, 320, 0, kCentre, "Credits");
    l.Add(650, 550, 0, 0, Texts(303));
    l.Add(266, 56, 0, 0, Texts(294));
    for (int i = 0; i < 3; ++i) l.Add(258, 90.0f + 28.0f * float(i), 0, 0, Texts(295 + i));
    l.Add(266, 180, 0, 0, "OTHER");
    l.Add(400, 208, 0, kRight, "Show Crowd");
    const char* cameraLabels[] = {"Beginners Camera Mode", "Follow Ball at End Turn", "Centre Player When Selected",
                                  "Pitch Level View", "Player Info Panel"};
    for (int i = 0; i < 5; ++i) {
        l.Add(435, 238.0f + 30.0f * float(i), 0, kRight, cameraLabels[i]);
        l.Add(470, 238.0f + 30.0f * float(i), 0, 0, "Medium");
    }
    l.Add(650, 570, 0, 0, Texts(303));
    // the system menu and the slot screens
    l.Add(40, 120, 0, 0, "SAVE GAME");
    l.Add(40, 150, 0, 0, "Select Slot to Save Game to...");
    l.Add(40, 150, 0, 0, "Select Slot to Load Game From...");
    for (int i = 0; i < 10; ++i) {
        const float y = 190.0f + 20.0f * float(i);
        l.Add(140, y, 0, 0, "Slot 10");
        l.Add(240, y, 0, 0, "LGE Wed Sep 30 23:59:59 2026");
        l.Add(43, y, 1, 0, "Slot 10");
        l.Add(143, y, 1, 0, kTeam + " Wed Sep 30 23:59:59 2026");
    }
    l.Add(150, 500, 0, kCentre, "Restart game");
    l.Add(400, 500, 0, kCentre, "Exit to Windows");
    l.Add(650, 500, 0, kCentre, "Return");
    l.Add(400, 470, 0, kCentre, "Options");
    // the squad editor: the column heads along y 90, and the editor's own layout round them
    l.Add(400, 8, 0, kCentre, "SET TEAM DETAILS");
    l.Add(10, 44, 0, 0, "Away Team:");
    l.Add(200, 44, 0, 0, kTeam);
    l.Add(420, 50, 1, 0, "Points to Spend: 1000");
    l.Add(660, 50, 1, 0, "Rating: 100%");
    l.Add(3, 90, 2, 0, "No.");
    for (int c = 0; c < 16; ++c) l.Add(203.0f + 30.0f * float(c), 90, 2, 0, "PM.");
    for (int i = 0; i < 16; ++i) {
        const float y = 108.0f + 20.0f * float(i);
        l.Add(3, y, 1, 0, "16");
        l.Add(28, y, 1, 0, kPlayer);
        l.Add(168, y, 1, 0, "ML");
        for (int c = 0; c < 16; ++c) l.Add(203.0f + 30.0f * float(c), y + 2.0f, 2, 0, "100");
    }
    l.Add(440, 436, 2, 0, "Adjust Shooting, medium range...");
    l.Add(332, 440, 2, kCentre, "Kit");
    l.Add(280, 482, 0, 0, "<");
    l.Add(372, 482, 0, 0, ">");
    l.Add(440, 460, 0, 0, "SAVE TEAM");
    l.Add(440, 492, 0, 0, "LOAD TEAM");
    l.Add(670, 537, 0, kCentre, "START MATCH");
    l.Add(670, 537, 0, kCentre, "AWAITING PLAYER");
    l.Add(670, 567, 0, kCentre, "Return");
    return l;
}

// The league table of the league screen.
void LeagueTable(Layout& l) {
    l.Add(157, 223, 1, 0, "LEAGUE TABLE");
    const float columns[7] = {367, 407, 447, 487, 527, 567, 607};
    for (float x : columns) l.Add(x, 223, 1, 0, "Pts");
    for (int place = 0; place < 16; ++place) {
        const float y = 243.0f + 20.0f * float(place);
        l.Add(157, y, 1, 0, "16");
        l.Add(182, y, 1, 0, kTeam);
        for (float x : columns) l.Add(x, y, 1, 0, "90");
    }
}

Layout LeagueSetup() {
    Layout l;
    l.Add(400, 30, 0, kCentre, "LEAGUE DETAILS");
    l.Add(400, 50, 0, kCentre, "Match No: 30");
    l.Add(400, 90, 0, kRight, "Your Team:");
    l.Add(400, 120, 0, kRight, "Home Against:");
    l.Add(400, 120, 0, kRight, "Away Against:");
    l.Add(300, 150, 0, kRight, "Difficulty Level:");
    l.Add(650, 150, 0, kRight, "Minutes per Half:");
    l.Add(400, 173, 0, kRight, "Allow Ability Swapping:");
    l.Add(420, 90, 0, 0, kTeam);
    l.Add(420, 120, 0, 0, kTeam);
    l.Add(320, 150, 0, 0, "10");
    l.Add(670, 150, 0, 0, "45");
    l.Add(420, 173, 0, 0, "Off");
    l.Add(400, 196, 0, kCentre, "START MATCH");
    l.Add(400, 93, 0, kCentre, "LEAGUE DETAILS");
    l.Add(400, 113, 0, kCentre, "END OF SEASON");
    LeagueTable(l);
    l.Add(707, 567, 0, kCentre, "End League");
    return l;
}

Layout LeagueResult() {
    Layout l;
    l.Add(400, 30, 0, kCentre, "LEAGUE RESULT");
    l.Add(400, 50, 0, kCentre, "Match No: 30");
    l.ScoreLine(90);
    l.Add(400, 110, 0, kCentre, "A win for " + kTeam + ".");
    l.Add(100, 150, 0, 0, "Other Results...");
    for (int i = 0; i < 7; ++i) l.ScoreLine(170.0f + 23.0f * float(i));
    l.Add(707, 537, 0, kCentre, "Team Stats");
    l.Add(400, 567, 0, kCentre, "Continue");
    return l;
}

Layout TeamStats() {
    Layout l;
    l.Add(400, 30, 0, kCentre, "TEAM STATS - LAST MATCH");
    l.Add(10, 60, 0, 0, "Team:");
    l.Add(100, 60, 0, 0, kTeam);
    l.Add(3, 90, 2, 0, "No.");
    for (int c = 0; c < 11; ++c) l.Add(203.0f + 30.0f * float(c), 90, 2, 0, "Tkw.");
    for (int i = 0; i < 16; ++i) {
        const float y = 108.0f + 20.0f * float(i);
        l.Add(3, y, 1, 0, "16");
        l.Add(28, y, 1, 0, kPlayer);
        l.Add(168, y, 1, 0, "ML");
        for (int c = 0; c < 11; ++c) l.Add(203.0f + 30.0f * float(c), y + 2.0f, 2, 0, "999");
    }
    l.Add(10, 440, 2, 0, "Prevented Being Tackled...");
    l.Add(701, 537, 0, kCentre, "For Last Match");
    l.Add(707, 567, 0, kCentre, "Return");
    return l;
}

Layout StartMenu() {
    Layout l;
    l.Add(119, 297, 0, 0, "START");
    l.Add(312, 297, 0, 0, "LOAD");
    l.Add(440, 297, 0, 0, "OPTIONS");
    l.Add(668, 297, 0, 0, "EXIT");
    return l;
}

Layout LoadingScreen() {
    Layout l;
    l.Add(15, 520, 0, 0, Texts(292));
    l.Add(315, 490, 0, 0, Texts(404));
    for (const std::string& progress : Texts(293)) {
        std::string line = progress;
        line.replace(line.find("%d"), 2, "100");
        l.Add(15, 520, 0, 0, line + std::string(100, '.'));
    }
    l.Add(400, 490, 0, kCentre, "OTHER PLAYER IS NO LONGER CONNECTED");
    return l;
}

// The confirm box, in screen pixels; its picture lies at (200, 184).
Layout ConfirmBox() {
    Layout l;
    l.Add(319, 194, 0, 0, Texts(281));
    l.Add(280, 194, 0, 0, Texts(280));
    l.Add(280, 302, 0, 0, Texts(283));
    l.Add(460, 302, 0, 0, Texts(284));
    return l;
}

struct Screen {
    const char* picture;
    std::function<Layout()> layout;
    float left, top;   // where the picture lies on the screen
};

const Screen kScreens[] = {
    {"interface\\plain.jpg", PlainScreens, 0, 0},   {"interface\\ldet.jpg", LeagueSetup, 0, 0},
    {"interface\\lres.jpg", LeagueResult, 0, 0},    {"interface\\stats.jpg", TeamStats, 0, 0},
    {"interface\\start.jpg", StartMenu, 0, 0},      {"interface\\loading.jpg", LoadingScreen, 0, 0},
    {"interface\\conf.tga", ConfirmBox, 200, 184},
};

Picture Load(const std::string& name) {
    const std::string path = Resolve(DataRoot(), name);
    if (path.empty()) {
        Picture p;
        p.error = "missing";
        return p;
    }
    if (name.find(".jpg") != std::string::npos) return ReadJpeg(path);
    return ReadTga(ReadBytes(path));
}

float Luminance(const Picture& p, int x, int y) {
    const uint32_t c = p.argb[size_t(y) * size_t(p.width) + size_t(x)];
    return 0.299f * float(c >> 16 & 255) + 0.587f * float(c >> 8 & 255) + 0.114f * float(c & 255);
}

// The mean brightness of a rectangle, clipped to the picture; -1 when nothing of it is inside.
float MeanLuminance(const Picture& p, int x0, int y0, int x1, int y1) {
    float sum = 0.0f;
    int n = 0;
    for (int y = std::max(0, y0); y < std::min(p.height, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(p.width, x1); ++x, ++n) sum += Luminance(p, x, y);
    return n ? sum / float(n) : -1.0f;
}

}  // namespace

TEST(FenwoltMenuLayout, PictureLinesStayClearOfTheTextRows) {
    for (const Screen& screen : kScreens) {
        SCOPED_TRACE(screen.picture);
        const auto lines = fwdata::MenuPictureLines(screen.picture);
        EXPECT_FALSE(lines.empty());
        const Layout layout = screen.layout();
        ASSERT_FALSE(layout.Texts().empty());
        for (const MenuText& t : layout.Texts()) {
            ASSERT_FALSE(t.text.empty()) << "at " << t.x << ", " << t.y;
            const Box box = TextBox(t);
            EXPECT_GE(box.x0, screen.left) << '"' << t.text << "\" starts off the picture";
            for (const fwdata::PictureLine& l : lines)
                EXPECT_FALSE(Overlaps(box, l, screen.left, screen.top))
                    << '"' << t.text << "\" at (" << t.x << ", " << t.y << ") spans " << box.x0 << ".." << box.x1 << " x "
                    << box.y0 << ".." << box.y1 << " over the line " << l.x0 << ".." << l.x1 << " x " << l.y0 << ".."
                    << l.y1;
        }
    }
}

// The lines the check above keeps clear are the ones the pictures show: each stands out from
// the picture just beside it.
TEST(FenwoltMenuLayout, PictureLinesAreDrawnWhereTheyAreDeclared) {
    for (const Screen& screen : kScreens) {
        SCOPED_TRACE(screen.picture);
        const Picture p = Load(screen.picture);
        ASSERT_EQ(p.error, "");
        for (const fwdata::PictureLine& l : fwdata::MenuPictureLines(screen.picture)) {
            ASSERT_TRUE(l.x0 >= 0 && l.y0 >= 0 && l.x1 <= p.width && l.y1 <= p.height && l.x0 < l.x1 && l.y0 < l.y1);
            const float line = MeanLuminance(p, l.x0, l.y0, l.x1, l.y1);
            const bool horizontal = l.x1 - l.x0 > l.y1 - l.y0;
            // a strip as thick as the line, two pixels off it, on each side that lies in the picture
            const int t = horizontal ? l.y1 - l.y0 : l.x1 - l.x0;
            const float before = horizontal ? MeanLuminance(p, l.x0, l.y0 - 2 - t, l.x1, l.y0 - 2)
                                            : MeanLuminance(p, l.x0 - 2 - t, l.y0, l.x0 - 2, l.y1);
            const float after = horizontal ? MeanLuminance(p, l.x0, l.y1 + 2, l.x1, l.y1 + 2 + t)
                                           : MeanLuminance(p, l.x1 + 2, l.y0, l.x1 + 2 + t, l.y1);
            for (float beside : {before, after}) {
                if (beside < 0.0f) continue;
                EXPECT_GT(std::abs(line - beside), 20.0f) << "line " << l.x0 << ".." << l.x1 << " x " << l.y0 << ".."
                                                          << l.y1 << ": " << line << " beside " << beside;
            }
        }
    }
}
