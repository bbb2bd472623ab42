// The games list under a flood of made-up sessions: it keeps to its bound, newest first, and a
// real session that answers afterwards still gets in.
#include "net_b_support.h"

#include <gtest/gtest.h>

namespace {

using net_b::FakePeer;

const char* const kConnectTitle = "Dorvanix: MultiMachine Setup - Multiplayer Connect";
const char* const kGamesTitle = "Dorvanix: MultiMachine Setup - Multiplayer Games";
constexpr int kListBound = 64;

class SearchFloodTest : public net_b::DialogFixture {
protected:
    void SetUp() override
    {
        DialogFixture::SetUp();
        if (HasFatalFailure()) return;
        ut->wizard->SetMaxPlayers(NET_SESSION_PLAYERS);
        ut->wizard->SetPlayerName("Kit");
        ut->wizard->SetSessionName("Quillane");
    }
    HRESULT RunWizard(const std::function<void(HWND)>& games)
    {
        int connects = 0;
        DialogSetTestDriver([&](HWND d) {
            const std::string title = DialogTestTitle(d);
            if (title == kConnectTitle)
                DialogTestKey(d, connects++ == 0 ? DialogKey::Enter : DialogKey::Escape);
            else if (title == kGamesTitle)
                games(d);
            else
                ADD_FAILURE() << "unexpected dialog " << title;
        });
        return ut->wizard->DoConnectWizard(FALSE);
    }
    static std::vector<std::string> Games(HWND d) { return DialogTestEntries(d, IDC_GAMES_LIST); }
    static int IndexOf(HWND d, const std::string& prefix)
    {
        auto lines = Games(d);
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].rfind(prefix, 0) == 0) return static_cast<int>(i);
        return -1;
    }
    // An answer for made-up session n, handed to the wizard as DirectPlay would.
    void MadeUpAnswer(int n)
    {
        std::wstring name = net_b::Wide(("Fake " + std::to_string(n)).c_str());
        DPN_APPLICATION_DESC desc{};
        desc.dwSize = sizeof desc;
        desc.guidInstance = GUID{0x5eed0000u + (uint32_t)n, 0x1234, 0x4321, {1, 2, 3, 4, 5, 6, 7, 8}};
        desc.guidApplication = NetApplicationGuid;
        desc.dwMaxPlayers = 2;
        desc.dwCurrentPlayers = 1;
        desc.pwszSessionName = name.data();
        IDirectPlay8Address* sender = net_b::TcpAddress();
        IDirectPlay8Address* device = net_b::TcpAddress();
        DWORD port = 1;
        sender->AddComponent(DPNA_KEY_PORT, &port, sizeof port, DPNA_DATATYPE_DWORD);
        DPNMSG_ENUM_HOSTS_RESPONSE m{sizeof m, sender, device, &desc, nullptr, 0, nullptr, 3};
        EXPECT_EQ(ut->wizard->MessageHandler(nullptr, DPN_MSGID_ENUM_HOSTS_RESPONSE, &m), S_OK);
        sender->Release();
        device->Release();
    }
};

TEST_F(SearchFloodTest, MadeUpSessionsReplaceTheStalestAndARealSessionStillGetsIn)
{
    std::unique_ptr<FakePeer> host;
    HRESULT result = RunWizard([&](HWND d) {
        ASSERT_TRUE(DialogTestClick(d, IDC_SEARCH_CHECK));
        const int flood = 300;
        for (int n = 0; n < flood; ++n) MadeUpAnswer(n);
        EXPECT_EQ(ut->wizard->ValidHostCount(), kListBound);
        ASSERT_TRUE(DialogTestWaitFor([&] { return IndexOf(d, "Fake 299 (") == 0; }, net_b::PatienceMs));
        EXPECT_EQ(Games(d).size(), static_cast<size_t>(kListBound));
        EXPECT_EQ(IndexOf(d, "Fake 236 ("), kListBound - 1) << "the newest are kept, newest first";
        EXPECT_LT(IndexOf(d, "Fake 235 ("), 0);
        // A real session answering now takes the stalest place, at the front.
        host = std::make_unique<FakePeer>();
        ASSERT_EQ(host->Host("Quillane", NET_SESSION_PLAYERS, "Hosty"), S_OK);
        ASSERT_TRUE(DialogTestWaitFor([&] { return IndexOf(d, "Quillane (1/2)") == 0; }, net_b::PatienceMs));
        EXPECT_LE(Games(d).size(), static_cast<size_t>(kListBound));
        EXPECT_LE(ut->wizard->ValidHostCount(), kListBound);
        EXPECT_LT(IndexOf(d, "Fake 236 ("), 0);
        DialogTestClick(d, IDC_SEARCH_CHECK);
        DialogTestClick(d, IDC_BACK);
    });
    EXPECT_EQ(result, WIZARD_RESULT_QUIT);
}

}  // namespace
