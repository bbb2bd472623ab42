// Language files, resource lists, the placement list, the shaders, and every file name the
// game's code asks for.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <regex>
#include <set>

#include "DataReaders.h"
#include "fenwolt/data/Fonts.h"

using namespace fwcheck;

namespace {
const char* const kLanguages[4] = {"english.txt", "usa.txt", "french.txt", "german.txt"};
// Ids the screens fetch; each needs real wording in every language.
const int kUsedIds[] = {74,  75,  280, 281, 283, 284, 289, 292, 293, 294, 295, 296, 297, 303, 304, 305,
                        306, 307, 384, 385, 386, 387, 388, 389, 390, 393, 394, 395, 396, 397, 398, 401,
                        402, 404, 405, 406, 407, 408, 409, 410, 411};
}  // namespace

TEST(FenwoltTextData, EveryLanguageHasEveryTextAtItsPosition) {
    std::vector<std::vector<std::string>> all;
    for (const char* f : kLanguages) {
        SCOPED_TRACE(f);
        std::string raw = ReadText(Resolve(DataRoot(), f));
        ASSERT_FALSE(raw.empty());
        auto texts = ParseLanguageFile(raw);
        ASSERT_EQ(texts.size(), 412u);
        // the number in front of each line is not read, but a reader of the file expects it
        size_t line = 0;
        for (size_t p = 0; p < raw.size(); ++line) {
            EXPECT_EQ(std::atoi(raw.c_str() + p), int(line));
            p = raw.find('\n', p);
            if (p == std::string::npos) break;
            ++p;
        }
        for (int id : kUsedIds) EXPECT_FALSE(texts[size_t(id)].empty()) << "id " << id;
        for (int id = 384; id <= 390; ++id) EXPECT_LE(texts[size_t(id)].size(), 31u) << "id " << id;
        for (const auto& t : texts) {
            EXPECT_LT(t.size(), 1000u);
            // every character has a glyph in all three fonts
            for (unsigned char c : t)
                for (int k = 0; k < 3; ++k) ASSERT_GT(fwdata::GameWidthTable(k)[c], 0) << "char " << int(c) << " in " << t;
        }
        // the loading text is a format with exactly one number and nothing else for printf
        const std::string& loading = texts[293];
        EXPECT_EQ(std::count(loading.begin(), loading.end(), '%'), 1);
        EXPECT_NE(loading.find("%d"), std::string::npos);
        all.push_back(texts);
    }
    // the translations differ from English where the words do
    EXPECT_NE(all[2][283], all[0][283]);
    EXPECT_NE(all[3][283], all[0][283]);
}

TEST(FenwoltTextData, LangFileChoosesEnglishAndNamesAnExistingFile) {
    std::string lang = ReadText(Resolve(DataRoot(), "lang.txt"));
    ASSERT_FALSE(lang.empty());
    EXPECT_EQ(lang.find('\r'), std::string::npos);   // a CR would become part of the name
    std::vector<std::string> existing;
    for (const char* f : kLanguages)
        if (!Resolve(DataRoot(), f).empty()) existing.push_back(f);
    EXPECT_EQ(existing.size(), 4u);
    EXPECT_EQ(ChooseLanguage(lang, existing), 0);
    EXPECT_EQ(ChooseLanguage("german", existing), 3);
    EXPECT_EQ(ChooseLanguage("german\r\n", existing), 0);
}

TEST(FenwoltTextData, ResourceListsNameWhatTheMatchLoads) {
    std::string meshText = ReadText(Resolve(DataRoot(), "level\\e_mesh.txt"));
    std::string texText = ReadText(Resolve(DataRoot(), "level\\e_tex.txt"));
    ASSERT_FALSE(meshText.empty());
    ASSERT_FALSE(texText.empty());
    // the reader ignores what follows the last CR
    EXPECT_EQ(meshText.back(), '\n');
    EXPECT_EQ(meshText[meshText.size() - 2], '\r');
    EXPECT_EQ(texText[texText.size() - 2], '\r');
    auto meshes = ReadResourceList(meshText), textures = ReadResourceList(texText);
    for (const auto& m : meshes) {
        EXPECT_EQ(m.back(), 'x') << m;   // loaded as a mesh because it ends in x
        EXPECT_LE(m.size(), 259u);
        EXPECT_FALSE(Resolve(DataRoot(), m).empty()) << m;
    }
    for (const auto& t : textures) {
        EXPECT_NE(t.back(), 'x') << t;
        EXPECT_FALSE(Resolve(DataRoot(), t).empty()) << t;
        if (t.rfind("tex", 0) == 0) {
            std::string twin = t;
            twin[7] = '2';
            EXPECT_FALSE(Resolve(DataRoot(), twin).empty()) << twin;
        }
    }
    // the match creates instances of these by name (the mesh must be in the table)
    for (const char* m : {"xdata\\player.x", "xdata\\ball.x", "xdata\\arrowd.x", "xdata\\arrowup.x", "xdata\\arrow.x",
                          "xdata\\arrowh.x", "xdata\\number.x", "xdata\\squarecf.x", "xdata\\skydome.x",
                          "xdata\\goalbox.x", "xdata\\postl.x", "xdata\\postr.x", "xdata\\crossbar.x"})
        EXPECT_NE(std::find(meshes.begin(), meshes.end(), m), meshes.end()) << m;
    for (const char* t : {"textures\\goaly.tga", "textures\\rplayer.tga", "textures\\yplayer.tga",
                          "textures\\ball.tga", "textures\\markeru.tga", "textures\\marker.tga",
                          "textures\\markerx.tga", "textures\\markerxr.tga", "textures\\markerm.tga",
                          "textures\\markermp.tga", "textures\\shadow.tga", "textures\\markermq.tga",
                          "textures\\markermr.tga", "textures\\shade.tga", "textures\\noa.tga",
                          "textures\\nop.tga"})
        EXPECT_NE(std::find(textures.begin(), textures.end(), t), textures.end()) << t;
}

TEST(FenwoltTextData, PlacementListBuildsTheStadium) {
    std::string text = ReadText(Resolve(DataRoot(), "level\\football.obj"));
    auto fields = SplitPlacementFields(text);
    ASSERT_FALSE(fields.empty());
    ASSERT_EQ(fields.size() % 31, 0u);
    // no empty field between two commas: it would shift every later field
    EXPECT_EQ(text.find(",,"), std::string::npos);
    auto meshes = ReadResourceList(ReadText(Resolve(DataRoot(), "level\\e_mesh.txt")));
    auto textures = ReadResourceList(ReadText(Resolve(DataRoot(), "level\\e_tex.txt")));
    int crowd = 0, pitch = 0;
    for (size_t r = 0; r < fields.size(); r += 31) {
        const std::string &mesh = fields[r], &tex = fields[r + 1];
        SCOPED_TRACE(mesh);
        EXPECT_NE(std::find(meshes.begin(), meshes.end(), mesh), meshes.end());
        EXPECT_NE(std::find(textures.begin(), textures.end(), tex), textures.end());
        for (int k = 2; k <= 8; ++k) {
            char* end = nullptr;
            std::strtod(fields[r + size_t(k)].c_str(), &end);
            EXPECT_EQ(*end, '\0') << "field " << k;
        }
        EXPECT_GT(std::atof(fields[r + 8].c_str()), 0.0);
        int kind = std::atoi(fields[r + 12].c_str());
        if (mesh.find("crowd") != std::string::npos) {
            EXPECT_EQ(kind, 31);   // the Show Crowd option hides kind 31
            ++crowd;
        } else {
            EXPECT_EQ(kind, 11);   // unloading the list frees kind 11
        }
        if (mesh == "xdata\\pitch.x") ++pitch;
        for (int k = 21; k <= 30; ++k) EXPECT_EQ(fields[r + size_t(k)], "-1");
    }
    EXPECT_EQ(pitch, 1);
    EXPECT_GE(crowd, 4);
}

// The names the game's code asks for, from every part of the program.
TEST(FenwoltTextData, EveryNameTheGameAsksForResolves) {
    std::vector<std::string> names = {
        "interface\\Font1E.tga", "interface\\Font1F.tga", "interface\\Font1G.tga", "interface\\cursor.tga",
        "interface\\cursor2.tga", "interface\\title.jpg", "interface\\start.jpg", "interface\\plain.jpg",
        "interface\\loading.jpg", "interface\\ldet.jpg", "interface\\lres.jpg", "interface\\stats.jpg",
        "interface\\conf.tga", "interface\\controls.tga", "lang.txt", "english.txt", "usa.txt", "french.txt",
        "german.txt", "level\\e_mesh.txt", "level\\e_tex.txt", "level\\football.obj", "shader\\membrane.nvv",
        "shader\\stand.nvv", "shader\\halo1.nvv", "shader\\morph.nvv", "shader\\fishm.nvv", "wav\\gasp.wav",
        "wav\\whistle.wav", "wav\\shoot.wav", "wav\\kick.wav", "wav\\head.wav", "wav\\crowd.wav", "wav\\boo.wav",
        "wav\\cheer.wav", "wav\\whistlel.wav", "wav\\post.wav", "wav\\foul.wav", "wav\\dvxtitle.mid",
        "wav\\qn002.mid", "wav\\qn003.mid", "xdata\\dummy.x", "xdata\\bvorne.x", "xdata\\btulst.x",
        "textures\\blocktex.jpg", "xdata\\player.x", "xdata\\ball.x", "xdata\\arrowd.x", "xdata\\arrowup.x",
        "xdata\\arrow.x", "xdata\\arrowh.x", "xdata\\number.x", "xdata\\squarecf.x", "xdata\\skydome.x",
        "xdata\\goalbox.x", "xdata\\postl.x", "xdata\\postr.x", "xdata\\crossbar.x", "textures\\slogo.tga",
        "textures\\endturn.tga", "textures\\pass.tga", "textures\\options.tga", "textures\\sub.tga",
        "textures\\128top.tga", "textures\\128mid.tga", "textures\\128bot.tga", "textures\\256top.tga",
        "textures\\256mid.tga", "textures\\256bot.tga", "textures\\512top.tga", "textures\\512mid.tga",
        "textures\\512bot.tga", "textures\\infball.tga", "textures\\infstun.tga", "textures\\inftire.tga",
        "kit\\kitbbpb.tga", "kit\\kitwwpw.tga"};
    for (const char* a : {"stand", "prun", "pass", "jump", "tackle", "shoot", "volley", "celeb", "throwin", "gjumpr",
                          "gjumpl", "pturn"})
        names.push_back(std::string("xdata\\") + a + ".anx");
    for (char c = 'a'; c <= 'p'; ++c) names.push_back(std::string("textures\\no") + c + ".tga");
    for (const auto& n : names) EXPECT_FALSE(Resolve(DataRoot(), n).empty()) << n;
    // the game starts as a player gets it: no developer switch files
    for (const char* n : {"dat\\debug.dat", "dat\\dev.dat", "dat\\low.dat", "dat\\multi.dat", "dat\\wincurs.dat",
                          "dat\\window.dat"})
        EXPECT_TRUE(Resolve(DataRoot(), n).empty()) << n;
}

// vs.1.1 programs: known instructions, registers within the limits, outputs written.
TEST(FenwoltTextData, ShadersAreVertexShaderSource) {
    const std::set<std::string> ops = {"mov", "add", "mul", "mad", "dp3", "dp4", "min", "max", "rsq", "rcp",
                                       "sge", "slt", "expp", "logp", "lit", "dst", "m4x4", "m3x3", "m3x4", "sub"};
    const std::regex reg(R"(^-?(v([0-9]|1[0-5])|c([0-9]|[1-8][0-9]|9[0-5])|r([0-9]|1[01])|oPos|oD[01]|oT[0-7]|oFog|oPts)(\.[xyzw]{1,4})?$)");
    for (const char* n : {"shader\\membrane.nvv", "shader\\stand.nvv", "shader\\halo1.nvv", "shader\\morph.nvv",
                          "shader\\fishm.nvv"}) {
        SCOPED_TRACE(n);
        std::string text = ReadText(Resolve(DataRoot(), n));
        ASSERT_FALSE(text.empty());
        // the game assembles the file without its last byte
        EXPECT_EQ(text.back(), '\n');
        ASSERT_EQ(text.rfind("vs.1.1\n", 0), 0u);
        bool pos = false;
        size_t p = 7;
        while (p < text.size()) {
            size_t e = text.find('\n', p);
            std::string line = text.substr(p, e - p);
            p = e + 1;
            std::string op = line.substr(0, line.find(' '));
            EXPECT_TRUE(ops.count(op)) << line;
            std::string args = line.substr(op.size());
            std::vector<std::string> regs;
            size_t q = 0;
            while (q < args.size()) {
                size_t c = args.find(',', q);
                std::string a = args.substr(q, c == std::string::npos ? std::string::npos : c - q);
                a.erase(0, a.find_first_not_of(' '));
                a.erase(a.find_last_not_of(' ') + 1);
                regs.push_back(a);
                if (c == std::string::npos) break;
                q = c + 1;
            }
            for (const auto& r : regs) EXPECT_TRUE(std::regex_match(r, reg)) << line;
            if (!regs.empty() && regs[0] == "oPos") pos = true;
        }
        EXPECT_TRUE(pos);
    }
    // the morph effect blends the two streams with the weights in c8
    std::string morph = ReadText(Resolve(DataRoot(), "shader\\morph.nvv"));
    for (const char* r : {"v3", "v4", "c8.x", "c8.y", "c4", "m4x4 oPos"}) EXPECT_NE(morph.find(r), std::string::npos) << r;
}
