// The connection wizard's dialogs worked by control id over the DirectPlay stand-in on loopback:
// naming the player and choosing the provider, searching, joining, creating, failures and the
// lobby wait.
#include "net_b_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

namespace {

using net_b::FakePeer;

const char* const kConnectTitle = "Dorvanix: MultiMachine Setup - Multiplayer Connect";
const char* const kGamesTitle = "Dorvanix: MultiMachine Setup - Multiplayer Games";
const char* const kIdleLine = "Click Start Search to see a list of games.  Click Create to start a new game.";

class WizardTest : public net_b::DialogFixture {
protected:
    void SetUp() override
    {
        DialogFixture::SetUp();
        if (HasFatalFailure()) return;
        ut->wizard->SetMaxPlayers(NET_SESSION_PLAYERS);
        ut->wizard->SetPlayerName("Kit");
        ut->wizard->SetSessionName("Quillane");
    }
    // Runs the wizard with `games` working the games dialog (the connection dialog is answered
    // with OK, Escape the second time); returns the wizard's result.
    HRESULT RunWizard(const std::function<void(HWND)>& games)
    {
        int connects = 0;
        DialogSetTestDriver([&](HWND d) {
            std::string title = DialogTestTitle(d);
            if (title == kConnectTitle) {
                if (connects++ == 0)
                    DialogTestClick(d, IDOK);
                else
                    DialogTestKey(d, DialogKey::Escape);
            } else if (title == kGamesTitle) {
                games(d);
            } else {
                ADD_FAILURE() << "unexpected dialog " << title;
            }
        });
        return ut->wizard->DoConnectWizard(FALSE);
    }
    static std::vector<std::string> Games(HWND d) { return DialogTestEntries(d, IDC_GAMES_LIST); }
    static bool Listed(HWND d, const std::string& pattern)
    {
        std::regex re(pattern);
        for (const std::string& line : Games(d))
            if (std::regex_match(line, re)) return true;
        return false;
    }
    static int IndexOf(HWND d, const std::string& prefix)
    {
        auto lines = Games(d);
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].rfind(prefix, 0) == 0) return static_cast<int>(i);
        return -1;
    }
    static std::string Chosen(HWND d)
    {
        LRESULT at = SendDlgItemMessageA(d, IDC_GAMES_LIST, LB_GETCURSEL, 0, 0);
        auto lines = Games(d);
        return at >= 0 && at < static_cast<LRESULT>(lines.size()) ? lines[at] : std::string();
    }
    static void Shot(HWND d, const char* name) { EXPECT_TRUE(net_b::SaveDialogPicture(d, name)) << name; }
};

TEST_F(WizardTest, ConnectionDialogWantsANameAndPreselectsTheFirstProviderWhenNoneMatches)
{
    ut->wizard->SetPlayerName("");
    ut->wizard->SetPreferredProvider("Carrier Pigeon Service Provider");
    std::vector<std::string> seen;
    DialogSetTestDriver([&](HWND d) {
        seen.push_back(DialogTestTitle(d));
        if (seen.back() == kConnectTitle && seen.size() == 1) {
            EXPECT_EQ(DialogTestEntries(d, IDC_CONNECTION_LIST),
                      (std::vector<std::string>{"DirectPlay8 TCP/IP Service Provider", "Wait for Lobby Connection"}));
            EXPECT_EQ(SendDlgItemMessageA(d, IDC_CONNECTION_LIST, LB_GETCURSEL, 0, 0), 0);
            EXPECT_EQ(DialogTestFocus(d), IDC_CONNECTION_LIST);
            Shot(d, "net_b_wizard_connect.png");
            EXPECT_TRUE(DialogTestClick(d, IDOK));
            EXPECT_TRUE(HasBox("You must enter a valid player name."));
            EXPECT_FALSE(DialogTestEnded(d)) << "the dialog stays for a name";
            EXPECT_TRUE(DialogTestType(d, IDC_PLAYER_NAME_EDIT, "Kit"));
            DialogTestKey(d, DialogKey::Enter);  // OK is the default button
            EXPECT_TRUE(DialogTestEnded(d));
        } else if (seen.back() == kGamesTitle) {
            EXPECT_EQ(Games(d), std::vector<std::string>{kIdleLine});
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_JOIN)));
            EXPECT_EQ(DialogTestText(d, IDC_SEARCH_CHECK), "Start Search");
            Shot(d, "net_b_wizard_games_idle.png");
            DialogTestClick(d, IDC_BACK);  // back to the connection dialog
        } else {
            EXPECT_EQ(DialogTestText(d, IDC_PLAYER_NAME_EDIT), "Kit");
            DialogTestKey(d, DialogKey::Escape);
        }
    });
    EXPECT_EQ(ut->wizard->DoConnectWizard(FALSE), WIZARD_RESULT_QUIT);
    EXPECT_EQ(seen, (std::vector<std::string>{kConnectTitle, kGamesTitle, kConnectTitle}));
    EXPECT_STREQ(ut->wizard->GetPlayerName(), "Kit");
    EXPECT_STREQ(ut->wizard->GetPreferredProvider(), "DirectPlay8 TCP/IP Service Provider");
    EXPECT_EQ(ut->wizard->DoConnectWizard(FALSE), E_INVALIDARG) << "the peer is handed back at the end of a run";
}

TEST_F(WizardTest, SearchFindsTheLoopbackSessionAndJoinsIt)
{
    FakePeer host;
    ASSERT_EQ(host.Host("Quillane", NET_SESSION_PLAYERS, "Hosty"), S_OK);
    HRESULT result = RunWizard([&](HWND d) {
        ASSERT_TRUE(DialogTestClick(d, IDC_SEARCH_CHECK));
        EXPECT_EQ(DialogTestText(d, IDC_SEARCH_CHECK), "Searching...");
        EXPECT_EQ(IsDlgButtonChecked(d, IDC_SEARCH_CHECK), static_cast<UINT>(BST_CHECKED));
        ASSERT_TRUE(DialogTestWaitFor([&] { return Listed(d, R"(Quillane \(1/2\) \(\d+ms\))"); }, net_b::PatienceMs));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, IDC_JOIN)));
        Shot(d, "net_b_wizard_games_found.png");
        ASSERT_TRUE(DialogTestClick(d, IDC_JOIN));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_JOIN)));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_CREATE)));
        EXPECT_TRUE(DialogTestWaitFor([&] { return DialogTestEnded(d); }, net_b::PatienceMs));
    });
    EXPECT_EQ(result, WIZARD_RESULT_NEXT);
    EXPECT_FALSE(ut->wizard->IsHostPlayer());
    EXPECT_TRUE(host.WaitForOther());
    EXPECT_EQ(Net.playerCount, 2);
}

TEST_F(WizardTest, TheListKeepsTheChosenSessionAndDropsOneThatStopsAnswering)
{
    FakePeer alpha, beta;
    ASSERT_EQ(alpha.Host("Alpha", NET_SESSION_PLAYERS, "A"), S_OK);
    ASSERT_EQ(beta.Host("Beta", NET_SESSION_PLAYERS, "B"), S_OK);
    auto gamma = std::make_unique<FakePeer>();
    HRESULT result = RunWizard([&](HWND d) {
        DialogTestClick(d, IDC_SEARCH_CHECK);
        ASSERT_TRUE(DialogTestWaitFor([&] { return IndexOf(d, "Alpha") >= 0 && IndexOf(d, "Beta") >= 0; },
                                      net_b::PatienceMs));
        ASSERT_TRUE(DialogTestSelect(d, IDC_GAMES_LIST, IndexOf(d, "Beta")));
        // A newcomer goes in front; the choice stays on Beta.
        ASSERT_EQ(gamma->Host("Gamma", NET_SESSION_PLAYERS, "G"), S_OK);
        ASSERT_TRUE(DialogTestWaitFor([&] { return IndexOf(d, "Gamma") >= 0; }, net_b::PatienceMs));
        EXPECT_EQ(IndexOf(d, "Gamma"), 0) << "newest first";
        EXPECT_EQ(Chosen(d).rfind("Beta", 0), 0u);
        // Beta stops answering: gone after three retry intervals, not before two more searches
        // went out unanswered by it (Alpha answered them); the choice falls to the first.
        beta.Close();
        ASSERT_TRUE(DialogTestWaitFor([&] { return IndexOf(d, "Beta") < 0; }, net_b::PatienceMs));
        EXPECT_GE(ut->AnswersAfter("Beta", "Alpha"), 2) << "Beta was dropped while its answer was not yet overdue";
        EXPECT_EQ(SendDlgItemMessageA(d, IDC_GAMES_LIST, LB_GETCURSEL, 0, 0), 0);
        // All gone: the list says it looks, and there is nothing to join.
        gamma.reset();
        alpha.Close();
        ASSERT_TRUE(DialogTestWaitFor([&] { return Games(d) == std::vector<std::string>{"Looking for games..."}; },
                                      net_b::PatienceMs));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_JOIN)));
        EXPECT_TRUE(DialogTestDoubleClick(d, IDC_GAMES_LIST, 0));
        EXPECT_TRUE(HasBox("There are no games to join."));
        // Switching the search off empties the list.
        DialogTestClick(d, IDC_SEARCH_CHECK);
        EXPECT_EQ(Games(d), std::vector<std::string>{kIdleLine});
        EXPECT_EQ(DialogTestText(d, IDC_SEARCH_CHECK), "Start Search");
        DialogTestClick(d, IDC_BACK);
    });
    EXPECT_EQ(result, WIZARD_RESULT_QUIT);
}

TEST_F(WizardTest, CreateHostsASessionForTwoWithoutHostMigration)
{
    int creates = 0;
    DialogSetTestDriver([&](HWND d) {
        std::string title = DialogTestTitle(d);
        if (title == kConnectTitle) {
            DialogTestClick(d, IDOK);
        } else if (title == kGamesTitle) {
            DialogTestClick(d, IDC_SEARCH_CHECK);
            DialogTestClick(d, IDC_CREATE);  // cancelled first
            EXPECT_FALSE(DialogTestEnded(d));
            EXPECT_TRUE(IsWindowEnabled(d)) << "enabled again after the create dialog";
            DialogTestClick(d, IDC_CREATE);
        } else if (title == "Create Game") {
            ++creates;
            EXPECT_EQ(DialogTestText(d, IDC_EDIT_SESSION_NAME), "Quillane");
            if (creates == 1) {
                DialogTestKey(d, DialogKey::Escape);
                return;
            }
            DialogTestType(d, IDC_EDIT_SESSION_NAME, "");
            DialogTestClick(d, IDOK);
            EXPECT_FALSE(DialogTestEnded(d)) << "a name is needed";
            DialogTestType(d, IDC_EDIT_SESSION_NAME, "Kestrel");
            Shot(d, "net_b_wizard_create.png");
            DialogTestClick(d, IDOK);
        }
    });
    EXPECT_EQ(ut->wizard->DoConnectWizard(FALSE), WIZARD_RESULT_NEXT);
    EXPECT_EQ(creates, 2);
    EXPECT_TRUE(ut->wizard->IsHostPlayer());
    EXPECT_STREQ(ut->wizard->GetSessionName(), "Kestrel");
    DWORD size = 0;
    ASSERT_EQ(ut->peer->GetApplicationDesc(nullptr, &size, 0), DPNERR_BUFFERTOOSMALL);
    std::vector<BYTE> buffer(size);
    auto* desc = reinterpret_cast<DPN_APPLICATION_DESC*>(buffer.data());
    desc->dwSize = sizeof(DPN_APPLICATION_DESC);
    ASSERT_EQ(ut->peer->GetApplicationDesc(desc, &size, 0), S_OK);
    EXPECT_EQ(desc->dwMaxPlayers, 2u);
    EXPECT_EQ(desc->dwFlags & DPNSESSION_MIGRATE_HOST, 0u);
    EXPECT_EQ(desc->guidApplication, NetApplicationGuid);
    EXPECT_EQ(ut->wizard->ValidHostCount(), 0) << "the search stopped before hosting";
}

TEST_F(WizardTest, AFullSessionCannotBeJoinedAndTheDialogStaysWithCreateBack)
{
    FakePeer host;
    ASSERT_EQ(host.Host("Crowded", 1, "Hosty"), S_OK);
    HRESULT result = RunWizard([&](HWND d) {
        DialogTestClick(d, IDC_SEARCH_CHECK);
        ASSERT_TRUE(DialogTestWaitFor([&] { return Listed(d, R"(Crowded \(1/1\) \(\d+ms\))"); }, net_b::PatienceMs));
        DialogTestClick(d, IDC_JOIN);
        ASSERT_TRUE(DialogTestWaitFor([&] { return HasBox("Unable to join game."); }, net_b::PatienceMs));
        EXPECT_FALSE(DialogTestEnded(d));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, IDC_CREATE)));
        EXPECT_TRUE(
            DialogTestWaitFor([&] { return IsWindowEnabled(GetDlgItem(d, IDC_JOIN)) != FALSE; }, net_b::PatienceMs));
        DialogTestKey(d, DialogKey::Escape);
    });
    EXPECT_EQ(result, WIZARD_RESULT_QUIT);
    EXPECT_EQ(Net.playerCount, 0);
}

TEST_F(WizardTest, ASearchEndedFromOutsideTurnsTheButtonBackWithoutWaitingForTheDialog)
{
    HRESULT result = RunWizard([&](HWND d) {
        // Switching on and off quickly never waits on DirectPlay's thread.
        for (int i = 0; i < 10; ++i) DialogTestClick(d, IDC_SEARCH_CHECK);
        EXPECT_EQ(IsDlgButtonChecked(d, IDC_SEARCH_CHECK), static_cast<UINT>(BST_UNCHECKED));
        DialogTestClick(d, IDC_SEARCH_CHECK);
        // The enumeration ends without the dialog's doing: a thread cancels it and waits for
        // nothing but DirectPlay.
        std::thread canceller([&] { ut->peer->CancelAsyncOperation(0, DPNCANCEL_ENUM); });
        canceller.join();
        ASSERT_TRUE(DialogTestWaitFor(
            [&] { return DialogTestText(d, IDC_SEARCH_CHECK) == "Start Search" && Games(d) == std::vector<std::string>{kIdleLine}; },
            net_b::PatienceMs));
        EXPECT_EQ(IsDlgButtonChecked(d, IDC_SEARCH_CHECK), static_cast<UINT>(BST_UNCHECKED));
        DialogTestClick(d, IDC_BACK);
    });
    EXPECT_EQ(result, WIZARD_RESULT_QUIT);
}

TEST_F(WizardTest, LongRemoteSessionNamesAreCutToTheListsLine)
{
    std::string longName(255, 'N');
    FakePeer host;
    ASSERT_EQ(host.Host(longName.c_str(), NET_SESSION_PLAYERS, "Hosty"), S_OK);
    HRESULT result = RunWizard([&](HWND d) {
        DialogTestClick(d, IDC_SEARCH_CHECK);
        ASSERT_TRUE(DialogTestWaitFor([&] { return IndexOf(d, "NNNN") >= 0; }, net_b::PatienceMs));
        std::string line = Games(d)[IndexOf(d, "NNNN")];
        EXPECT_EQ(line.size(), static_cast<size_t>(MAX_PATH - 1));
        EXPECT_EQ(line, longName + " (1/");
        DialogTestKey(d, DialogKey::Escape);
    });
    EXPECT_EQ(result, WIZARD_RESULT_QUIT);
}

TEST_F(WizardTest, WaitingForALobbyCanBeCancelledAndNoLobbyIsAPlainFailure)
{
    std::vector<std::string> seen;
    DialogSetTestDriver([&](HWND d) {
        seen.push_back(DialogTestTitle(d));
        if (seen.back() == "Lobby Connection Status") {
            EXPECT_EQ(DialogTestText(d, IDC_WAIT_TEXT), "Waiting for lobby connection...");
            DialogTestPump(250);
            EXPECT_FALSE(DialogTestEnded(d)) << "no lobby ever calls here";
            DialogTestClick(d, IDCANCEL);
        } else if (seen.size() == 1) {
            EXPECT_TRUE(DialogTestDoubleClick(d, IDC_CONNECTION_LIST, 1));
            EXPECT_FALSE(DialogTestEnded(d)) << "back from the lobby wait, the dialog stays";
            DialogTestKey(d, DialogKey::Escape);
        }
    });
    EXPECT_EQ(ut->wizard->DoConnectWizard(FALSE), WIZARD_RESULT_QUIT);
    EXPECT_EQ(seen, (std::vector<std::string>{kConnectTitle, "Lobby Connection Status"}));
    EXPECT_STREQ(ut->wizard->GetPreferredProvider(), "Wait for Lobby Connection");

    EXPECT_EQ(ut->wizard->ConnectUsingLobbySettings(), E_INVALIDARG);
    ut->wizard->Init(ut->peer, ut->lobby);
    DPL_MESSAGE_CONNECT connect{sizeof connect, 99, nullptr, nullptr, 0, nullptr};
    EXPECT_TRUE(FAILED(ut->wizard->LobbyMessageHandler(nullptr, DPL_MSGID_CONNECT, &connect)));
    EXPECT_FALSE(ut->wizard->HaveConnectionSettingsFromLobby());
    EXPECT_EQ(ut->wizard->LobbyMessageHandler(nullptr, 0x8001, &connect), S_OK);
}

}  // namespace
