// The staging area over the DirectPlay stand-in on loopback, worked by control id: the host's
// side with another computer speaking the stage messages, and the guest's side with another
// computer hosting.
#include "net_b_support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using net_b::FakePeer;
using net_b::User;

constexpr int kStart = IDC_STAGE_START, kChatList = IDC_STAGE_CHAT_LIST, kChatEdit = IDC_STAGE_CHAT_EDIT,
              kStatus = IDC_STAGE_STATUS, kReady0 = IDC_STAGE_READY0, kReady1 = IDC_STAGE_READY0 + 1,
              kSlot1 = IDC_STAGE_SLOTBTN0 + 1, kName0 = IDC_STAGE_NAME0, kName1 = IDC_STAGE_NAME0 + 1,
              kCancel = IDC_STAGE_CANCEL;

HWND StageDialog()
{
    for (HWND d : DialogTestOpenDialogs())
        if (DialogTestTitle(d).find("Multiplayer Stage") != std::string::npos) return d;
    return nullptr;
}

bool Shown(HWND& d)
{
    d = StageDialog();
    return d && DialogTestIsVisible(d, 0);
}

class StageTest : public net_b::DialogFixture {
protected:
    // Runs the stage on this (the main) thread while `steps` play the user on another.
    HRESULT RunStage(const char* player, BOOL hosting, std::function<void(User&)> steps)
    {
        User user(std::move(steps));
        const HRESULT result = ut->stage->DoStage(player, hosting);
        user.Finish();
        return result;
    }
    // The same once the stage's dialog is shown; `steps` are given the dialog.
    HRESULT RunShownStage(const char* player, BOOL hosting, std::function<void(User&, HWND)> steps)
    {
        return RunStage(player, hosting, [&](User& u) {
            HWND d = nullptr;
            ASSERT_TRUE(u.Until([&] { return Shown(d); }));
            steps(u, d);
        });
    }
    // The other computer hosts a session and the code under test joins it as "Guesty" on loopback
    // (first port of the range, as the first host takes it), until both see each other.
    HRESULT JoinSessionOf(FakePeer& host, const char* session = "Quillane", const char* hostName = "Hosty")
    {
        HRESULT hr = host.Host(session, NET_SESSION_PLAYERS, hostName);
        if (hr == S_OK) hr = net_b::SetName(ut->peer, "Guesty");
        if (FAILED(hr)) return hr;
        DPN_APPLICATION_DESC desc{};
        desc.dwSize = sizeof desc;
        desc.guidApplication = NetApplicationGuid;
        IDirectPlay8Address* address = net_b::TcpAddress();
        DPNHANDLE handle = 0;
        hr = ut->peer->Connect(&desc, address, nullptr, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &handle, 0);
        address->Release();
        if (FAILED(hr) && hr != DPNSUCCESS_PENDING) return hr;
        if (!net_b::WaitUntil([] { return Net.playerCount >= 2; })) return DPNERR_TIMEDOUT;
        return host.WaitForOther() ? S_OK : DPNERR_TIMEDOUT;
    }
    static StageData LastTable(FakePeer& peer)
    {
        StageData d{};
        auto tables = peer.ReceivedWithId(STAGE_MSGID_SETSTAGEDATA);
        if (!tables.empty() && tables.back().bytes.size() == sizeof d) std::memcpy(&d, tables.back().bytes.data(), sizeof d);
        return d;
    }
};

// --- The host's side ------------------------------------------------------------------------

TEST_F(StageTest, HostAloneAndReadyWaitsForMorePlayersAndCannotStart)
{
    ASSERT_EQ(ut->Host("Quillane", NET_SESSION_PLAYERS, "Hosty"), S_OK);
    const HRESULT result = RunShownStage("Hosty", TRUE, [&](User& u, HWND d) {
        u.OnMain([&] {
            EXPECT_EQ(DialogTestTitle(d), "Dorvanix: MultiMachine Setup - Multiplayer Stage");
            EXPECT_EQ(DialogTestText(d, kName0), "Hosty");
            EXPECT_EQ(DialogTestText(d, kSlot1), "Open");
            EXPECT_TRUE(DialogTestIsVisible(d, kSlot1));
            EXPECT_FALSE(DialogTestIsVisible(d, kName1));
            EXPECT_EQ(DialogTestText(d, kStatus), "Ready?  Flag the checkbox next to your name.");
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, kReady0)));
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, kReady1)));
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, kStart)));
            return DialogTestClick(d, kReady0);
        });
        ASSERT_TRUE(u.Until([&] { return DialogTestText(d, kStatus) == "Waiting for more players to join."; }));
        u.OnMain([&] {
            EXPECT_EQ(IsDlgButtonChecked(d, kReady0), static_cast<UINT>(BST_CHECKED));
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, kStart)));
            EXPECT_FALSE(DialogTestClick(d, kStart)) << "nobody to play with";
            return DialogTestClick(d, kCancel);
        });
    });
    EXPECT_EQ(result, WIZARD_RESULT_BACK);
    EXPECT_FALSE(ut->stage->IsActive());
}

TEST_F(StageTest, GuestJoinsBothReadyAndOnlyTheHostsStartIsEnabled)
{
    ASSERT_EQ(ut->Host("Quillane", NET_SESSION_PLAYERS, "Hosty"), S_OK);
    FakePeer guest;
    const HRESULT result = RunShownStage("Hosty", TRUE, [&](User& u, HWND d) {
        ASSERT_EQ(guest.Join("Quillane", "Guesty"), S_OK);
        ASSERT_TRUE(guest.WaitForMessage(STAGE_MSGID_SETSLOTID));
        auto slotMessage = guest.ReceivedWithId(STAGE_MSGID_SETSLOTID)[0];
        ASSERT_EQ(slotMessage.bytes.size(), sizeof(StageMsgSlot));
        StageMsgSlot slot;
        std::memcpy(&slot, slotMessage.bytes.data(), sizeof slot);
        EXPECT_EQ(slot.slot, 1);
        ASSERT_TRUE(u.Until([&] { return DialogTestText(d, kSlot1) == "Guesty"; }));
        StageData table = LastTable(guest);
        EXPECT_EQ(table.slots[1].status, SLOT_PLAYER);
        EXPECT_STREQ(table.slots[1].name, "Guesty");
        EXPECT_EQ(table.slots[1].dpnid, guest.LocalId());
        EXPECT_EQ(table.slots[0].dpnid, 0u);

        guest.SendToOthers(net_b::SlotMessage(STAGE_MSGID_SETREADY, 1));
        ASSERT_TRUE(u.Until([&] { return IsDlgButtonChecked(d, kReady1) == BST_CHECKED; }));
        u.OnMain([&] {
            EXPECT_EQ(DialogTestText(d, kStatus), "Ready?  Flag the checkbox next to your name.");
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, kStart)));
            return DialogTestClick(d, kReady0);
        });
        ASSERT_TRUE(u.Until([&] { return IsWindowEnabled(GetDlgItem(d, kStart)) != FALSE; }));
        EXPECT_EQ(u.OnMain([&] { return DialogTestText(d, kStatus); }),
                  "All are ready! Waiting for you to start the game.");
        // Either unticking takes the start away again.
        guest.SendToOthers(net_b::SlotMessage(STAGE_MSGID_CLEARREADY, 1));
        ASSERT_TRUE(u.Until([&] { return !IsWindowEnabled(GetDlgItem(d, kStart)); }));
        EXPECT_EQ(u.OnMain([&] { return DialogTestText(d, kStatus); }),
                  "Waiting until all players check the Ready flag.");
        guest.SendToOthers(net_b::SlotMessage(STAGE_MSGID_SETREADY, 1));
        ASSERT_TRUE(u.Until([&] { return IsWindowEnabled(GetDlgItem(d, kStart)) != FALSE; }));
        u.OnMain([&] { return DialogTestClick(d, kReady0); });
        ASSERT_TRUE(u.Until([&] { return !IsWindowEnabled(GetDlgItem(d, kStart)); }));
        u.OnMain([&] { return DialogTestClick(d, kReady0); });
        ASSERT_TRUE(u.Until([&] { return IsWindowEnabled(GetDlgItem(d, kStart)) != FALSE; }));
        u.OnMain([&] { return DialogTestClick(d, kStart); });
    });
    EXPECT_EQ(result, WIZARD_RESULT_NEXT);
    EXPECT_TRUE(guest.WaitForMessage(STAGE_MSGID_STARTGAME));
    EXPECT_EQ(net_b::SessionMaxPlayers(ut->peer), 2u) << "starting sets the players present";
}

TEST_F(StageTest, ClosingAndOpeningSlotOneChangesTheSessionsMaximumWithinItsOwn)
{
    ASSERT_EQ(ut->Host("Quillane", NET_SESSION_PLAYERS, "Hosty"), S_OK);
    FakePeer guest;
    const HRESULT result = RunShownStage("Hosty", TRUE, [&](User& u, HWND d) {
        u.OnMain([&] { return DialogTestClick(d, kSlot1); });
        ASSERT_TRUE(u.Until([&] { return DialogTestText(d, kSlot1) == "Closed"; }));
        EXPECT_EQ(net_b::SessionMaxPlayers(ut->peer), 1u);
        EXPECT_NE(guest.Join("Quillane", "Guesty", 3000), S_OK) << "a closed slot keeps the guest out";
        u.OnMain([&] { return DialogTestClick(d, kSlot1); });
        ASSERT_TRUE(u.Until([&] { return DialogTestText(d, kSlot1) == "Open"; }));
        EXPECT_EQ(net_b::SessionMaxPlayers(ut->peer), 2u);
        StageSlot slots[STAGE_SLOTS];
        ut->stage->CopySlots(slots);
        for (int i = 2; i < STAGE_SLOTS; ++i) EXPECT_EQ(slots[i].status, SLOT_CLOSED) << i;
        // Escape leaves the stage altogether and tells the others.
        u.OnMain([&] {
            DialogTestKey(d, DialogKey::Escape);
            return 0;
        });
    });
    EXPECT_EQ(result, WIZARD_RESULT_QUIT);
}

TEST_F(StageTest, RejectIsAskedWithoutHoldingTheStageAndKeepsTheHostsOwnSlot)
{
    PlatformRecordMessageBoxes(false);
    ASSERT_EQ(ut->Host("Quillane", NET_SESSION_PLAYERS, "Hosty"), S_OK);
    FakePeer guest;
    std::vector<std::string> questions;
    bool stageFreeWhileAsked = false;
    DialogSetTestDriver([&](HWND box) {
        questions.push_back(DialogTestTitle(box));
        // Another thread can take the stage's lock while the question is up.
        auto probe = std::async(std::launch::async, [&] {
            StageSlot slots[STAGE_SLOTS];
            ut->stage->CopySlots(slots);
        });
        stageFreeWhileAsked =
            probe.wait_for(std::chrono::milliseconds(net_b::PatienceMs)) == std::future_status::ready;
        DialogTestClick(box, questions.size() == 1 ? IDNO : IDYES);
    });
    const HRESULT result = RunShownStage("Hosty", TRUE, [&](User& u, HWND d) {
        ASSERT_EQ(guest.Join("Quillane", "Guesty"), S_OK);
        ASSERT_TRUE(u.Until([&] { return DialogTestText(d, kSlot1) == "Guesty"; }));
        u.OnMain([&] { return DialogTestClick(d, kSlot1); });  // No
        EXPECT_EQ(u.OnMain([&] { return DialogTestText(d, kSlot1); }), "Guesty");
        u.OnMain([&] { return DialogTestClick(d, kSlot1); });  // Yes
        EXPECT_TRUE(guest.WaitForMessage(STAGE_MSGID_REJECTPLAYER));
        ASSERT_TRUE(u.Until([&] { return DialogTestText(d, kSlot1) == "Open"; }));
        // The rejected guest goes; the host keeps his own slot.
        guest.Close();
        ASSERT_TRUE(net_b::WaitUntil([] { return Net.playerCount == 1; }));
        u.Until([&] { return true; }, 100);
        StageSlot slots[STAGE_SLOTS];
        ut->stage->CopySlots(slots);
        EXPECT_EQ(slots[0].status & SLOT_STATE_MASK, SLOT_PLAYER);
        EXPECT_STREQ(slots[0].name, "Hosty");
        EXPECT_EQ(u.OnMain([&] { return DialogTestText(d, kName0); }), "Hosty");
        u.OnMain([&] { return DialogTestClick(d, kCancel); });
    });
    EXPECT_EQ(result, WIZARD_RESULT_BACK);
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(questions[0], "DirectPlay Multiplayer Stage");
    EXPECT_TRUE(stageFreeWhileAsked);
}

TEST_F(StageTest, APlayerWhoNeverGotASlotLeavesTheHostsSlotAlone)
{
    ASSERT_EQ(ut->Host("Quillane", NET_SESSION_PLAYERS, "Hosty"), S_OK);
    auto* ghost = new PlayerRecord{1, 0x7777, 0, "Ghost", 0};
    const HRESULT result = RunShownStage("Hosty", TRUE, [&](User& u, HWND d) {
        u.OnMain([&] { return DialogTestClick(d, kSlot1); });
        ASSERT_TRUE(u.Until([&] { return DialogTestText(d, kSlot1) == "Closed"; }));
        // A player arriving with every slot closed is turned away and keeps slot number 0.
        DPNMSG_CREATE_PLAYER created{sizeof created, ghost->id, ghost};
        ut->stage->MessageHandler(nullptr, DPN_MSGID_CREATE_PLAYER, &created);
        EXPECT_EQ(ghost->slot, 0);
        DPNMSG_DESTROY_PLAYER destroyed{sizeof destroyed, ghost->id, ghost, DPNDESTROYPLAYERREASON_NORMAL};
        ut->stage->MessageHandler(nullptr, DPN_MSGID_DESTROY_PLAYER, &destroyed);
        StageSlot slots[STAGE_SLOTS];
        ut->stage->CopySlots(slots);
        EXPECT_EQ(slots[0].status & SLOT_STATE_MASK, SLOT_PLAYER);
        EXPECT_STREQ(slots[0].name, "Hosty");
        EXPECT_EQ(ghost->refCount, 1) << "the stage gave back the reference it took";
        u.OnMain([&] { return DialogTestClick(d, kCancel); });
    });
    EXPECT_EQ(result, WIZARD_RESULT_BACK);
    EnterCriticalSection(&Net.playerListLock);
    ReleasePlayerRecord(ghost);
    LeaveCriticalSection(&Net.playerListLock);
}

TEST_F(StageTest, UnsoundStageMessagesFromAGuestChangeNothing)
{
    ASSERT_EQ(ut->Host("Quillane", NET_SESSION_PLAYERS, "Hosty"), S_OK);
    FakePeer guest;
    const HRESULT result = RunShownStage("Hosty", TRUE, [&](User& u, HWND d) {
        ASSERT_EQ(guest.Join("Quillane", "Guesty"), S_OK);
        ASSERT_TRUE(u.Until([&] { return DialogTestText(d, kSlot1) == "Guesty"; }));
        StageSlot before[STAGE_SLOTS];
        ut->stage->CopySlots(before);
        size_t chatLines = u.OnMain([&] { return DialogTestEntries(d, kChatList).size(); });

        guest.SendToOthers(net_b::SlotMessage(STAGE_MSGID_SETREADY, 0));  // the host's slot
        guest.SendToOthers(net_b::SlotMessage(STAGE_MSGID_SETREADY, 12));
        guest.SendToOthers(net_b::SlotMessage(STAGE_MSGID_SETREADY, -1));
        guest.SendToOthers(net_b::SlotMessage(STAGE_MSGID_SETSLOTID, 1));
        std::vector<uint8_t> shortReady = net_b::SlotMessage(STAGE_MSGID_SETREADY, 1);
        shortReady.resize(6);
        guest.SendToOthers(shortReady);
        std::vector<uint8_t> longReady = net_b::SlotMessage(STAGE_MSGID_SETREADY, 1);
        longReady.resize(12);
        guest.SendToOthers(longReady);
        guest.SendToOthers({0x01, 0x20});
        StageData forged = net_b::Table("Guesty", true, "Guesty", true, guest.LocalId());
        guest.SendToOthers(net_b::Bytes(&forged, sizeof forged));
        std::vector<uint8_t> endless = net_b::ChatMessage("");
        std::fill(endless.begin() + 4, endless.end(), 'x');
        guest.SendToOthers(endless);
        guest.SendToOthers(net_b::BareMessage(STAGE_MSGID_REJECTPLAYER));
        // Delivery is in order: once this one is seen, the others were handled.
        guest.SendToOthers(net_b::ChatMessage("still here"));
        ASSERT_TRUE(u.Until([&] { return DialogTestEntries(d, kChatList).size() == chatLines + 1; }));
        StageSlot after[STAGE_SLOTS];
        ut->stage->CopySlots(after);
        EXPECT_EQ(std::memcmp(before, after, sizeof before), 0);
        EXPECT_EQ(u.OnMain([&] { return DialogTestEntries(d, kChatList).back(); }), "<Guesty> still here");
        guest.SendToOthers(net_b::SlotMessage(STAGE_MSGID_SETREADY, 1));
        EXPECT_TRUE(u.Until([&] { return IsDlgButtonChecked(d, kReady1) == BST_CHECKED; }));
        u.OnMain([&] { return DialogTestClick(d, kCancel); });
    });
    EXPECT_EQ(result, WIZARD_RESULT_BACK);
    EXPECT_TRUE(guest.WaitForMessage(STAGE_MSGID_CANCELGAME));
}

TEST_F(StageTest, EnterSendsTheChatLineAndTheListKeepsFiftyOneLines)
{
    ASSERT_EQ(ut->Host("Quillane", NET_SESSION_PLAYERS, "Hosty"), S_OK);
    FakePeer guest;
    const HRESULT result = RunShownStage("Hosty", TRUE, [&](User& u, HWND d) {
        ASSERT_EQ(guest.Join("Quillane", "Guesty"), S_OK);
        ASSERT_TRUE(u.Until([&] { return DialogTestText(d, kSlot1) == "Guesty"; }));
        // Enter with an empty line sends nothing; Enter after typing sends it to all.
        u.OnMain([&] { return DialogTestPostKey(d, kChatEdit, VK_RETURN); });
        u.OnMain([&] { return DialogTestType(d, kChatEdit, "hello there"); });
        u.OnMain([&] { return DialogTestPostKey(d, kChatEdit, VK_RETURN); });
        ASSERT_TRUE(u.Until([&] { return DialogTestEntries(d, kChatList).size() == 1; }));
        EXPECT_EQ(u.OnMain([&] { return DialogTestEntries(d, kChatList)[0]; }), "<Hosty> hello there");
        EXPECT_EQ(u.OnMain([&] { return DialogTestText(d, kChatEdit); }), "");
        ASSERT_TRUE(guest.WaitForMessage(STAGE_MSGID_CHAT));
        auto chats = guest.ReceivedWithId(STAGE_MSGID_CHAT);
        ASSERT_EQ(chats.size(), 1u);
        ASSERT_EQ(chats[0].bytes.size(), sizeof(StageMsgChat));
        EXPECT_STREQ(reinterpret_cast<const StageMsgChat*>(chats[0].bytes.data())->text, "hello there");
        EXPECT_EQ(u.OnMain([&] { return DialogTestText(d, kStatus); }),
                  "Ready?  Flag the checkbox next to your name.")
            << "Enter pressed no button";

        for (int i = 0; i < 60; ++i) guest.SendToOthers(net_b::ChatMessage(("line " + std::to_string(i)).c_str()));
        ASSERT_TRUE(u.Until([&] {
            auto lines = DialogTestEntries(d, kChatList);
            return !lines.empty() && lines.back() == "<Guesty> line 59";
        }));
        auto lines = u.OnMain([&] { return DialogTestEntries(d, kChatList); });
        EXPECT_EQ(lines.size(), 51u);
        EXPECT_EQ(lines.front(), "<Guesty> line 9");
        int top = u.OnMain([&] { return DialogTestTopIndex(d, kChatList); });
        EXPECT_GT(top, 40) << "the newest line is in view";
        u.OnMain([&] { return net_b::SaveDialogPicture(d, "net_b_stage_host.png"); });
        u.OnMain([&] { return DialogTestClick(d, kCancel); });
    });
    EXPECT_EQ(result, WIZARD_RESULT_BACK);
}

TEST_F(StageTest, AGuestWhoJoinedBeforeTheStageOpenedGetsASlot)
{
    ASSERT_EQ(ut->Host("Quillane", NET_SESSION_PLAYERS, "Hosty"), S_OK);
    FakePeer guest;
    ASSERT_EQ(guest.Join("Quillane", "Early"), S_OK);
    ASSERT_TRUE(net_b::WaitUntil([] { return Net.playerCount == 2; }));
    const HRESULT result = RunShownStage("Hosty", TRUE, [&](User& u, HWND d) {
        ASSERT_TRUE(guest.WaitForMessage(STAGE_MSGID_SETSLOTID));
        ASSERT_TRUE(u.Until([&] { return DialogTestText(d, kSlot1) == "Early"; }));
        u.OnMain([&] { return DialogTestClick(d, kCancel); });
    });
    EXPECT_EQ(result, WIZARD_RESULT_BACK);
}

// --- The guest's side -----------------------------------------------------------------------

TEST_F(StageTest, AGuestsDialogStaysHiddenUntilSlotAndTableHaveArrived)
{
    FakePeer host;
    ASSERT_EQ(JoinSessionOf(host), S_OK);
    const HRESULT result = RunStage("Guesty", FALSE, [&](User& u) {
        HWND d = nullptr;
        ASSERT_TRUE(u.Until([&] { return (d = StageDialog()) != nullptr; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_FALSE(u.OnMain([&] { return DialogTestIsVisible(d, 0); }));
        // A slot number out of range, and a table with a slot in no known state, are dropped.
        host.SendToOthers(net_b::SlotMessage(STAGE_MSGID_SETSLOTID, 99));
        host.SendToOthers(net_b::SlotMessage(STAGE_MSGID_SETSLOTID, -1));
        StageData bad = net_b::Table("Hosty", false, "Guesty", false, host.Other());
        bad.slots[4].status = 7;
        host.SendToOthers(net_b::Bytes(&bad, sizeof bad));
        StageData unterminated = net_b::Table("Hosty", false, "Guesty", false, host.Other());
        std::memset(unterminated.slots[0].name, 'H', sizeof unterminated.slots[0].name);
        host.SendToOthers(net_b::Bytes(&unterminated, sizeof unterminated));
        StageData table = net_b::Table("Hosty", false, "Guesty", false, host.Other());
        host.SendToOthers(net_b::Bytes(&table, sizeof table - 1));
        host.SendToOthers(net_b::Bytes(&table, sizeof table));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_FALSE(u.OnMain([&] { return DialogTestIsVisible(d, 0); })) << "no slot number yet";
        EXPECT_EQ(ut->stage->LocalSlotNumber(), -1);
        host.SendToOthers(net_b::SlotMessage(STAGE_MSGID_SETSLOTID, 1));
        ASSERT_TRUE(u.Until([&] { return DialogTestIsVisible(d, 0); }));
        u.OnMain([&] {
            EXPECT_EQ(DialogTestText(d, kName0), "Hosty");
            EXPECT_EQ(DialogTestText(d, kName1), "Guesty");
            EXPECT_FALSE(DialogTestIsVisible(d, kStart));
            EXPECT_FALSE(DialogTestIsVisible(d, kSlot1));
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, kReady0)));
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, kReady1)));
            EXPECT_EQ(DialogTestText(d, kStatus), "Ready?  Flag the checkbox next to your name.");
            return DialogTestClick(d, kReady1);
        });
        ASSERT_TRUE(host.WaitForMessage(STAGE_MSGID_SETREADY));
        auto ready = host.ReceivedWithId(STAGE_MSGID_SETREADY)[0];
        EXPECT_EQ(ready.from, host.Other());
        EXPECT_EQ(ready.bytes, net_b::SlotMessage(STAGE_MSGID_SETREADY, 1));
        table = net_b::Table("Hosty", true, "Guesty", true, host.Other());
        host.SendToOthers(net_b::Bytes(&table, sizeof table));
        ASSERT_TRUE(u.Until(
            [&] { return DialogTestText(d, kStatus) == "All are ready! Waiting for host to start the game."; }));
        u.OnMain([&] { return net_b::SaveDialogPicture(d, "net_b_stage_guest.png"); });
        host.SendToOthers(net_b::BareMessage(STAGE_MSGID_STARTGAME));
    });
    EXPECT_EQ(result, WIZARD_RESULT_NEXT);
}

TEST_F(StageTest, CancelFollowedByTheSessionsEndIsACancelAndLeavesNoQuitBehind)
{
    FakePeer host;
    ASSERT_EQ(JoinSessionOf(host), S_OK);
    // The table and the slot arrive while the wizard would still be open: they are kept.
    StageData table = net_b::Table("Hosty", false, "Guesty", false, host.Other());
    host.SendToOthers(net_b::Bytes(&table, sizeof table));
    host.SendToOthers(net_b::SlotMessage(STAGE_MSGID_SETSLOTID, 1));
    ASSERT_TRUE(net_b::WaitUntil([&] { return ut->stage->LocalSlotNumber() == 1; }));
    const HRESULT result = RunShownStage("Guesty", FALSE, [&](User& u, HWND d) {
        host.SendToOthers(net_b::BareMessage(STAGE_MSGID_CANCELGAME));
        host.Close();
    });
    EXPECT_EQ(result, WIZARD_RESULT_BACK);
    EXPECT_TRUE(HasBox("The game was canceled."));
    // The session's end came after: no quit is left for the next loop to find.
    DialogTestPump(300);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(StageTest, ARejectedGuestGoesBackAndTheNextSessionStartsFromNothing)
{
    {
        FakePeer host;
        ASSERT_EQ(JoinSessionOf(host), S_OK);
        const HRESULT result = RunStage("Guesty", FALSE, [&](User& u) {
            HWND d = nullptr;
            ASSERT_TRUE(u.Until([&] { return (d = StageDialog()) != nullptr; }));
            StageData table = net_b::Table("Hosty", false, "Guesty", false, host.Other());
            host.SendToOthers(net_b::Bytes(&table, sizeof table));
            host.SendToOthers(net_b::SlotMessage(STAGE_MSGID_SETSLOTID, 1));
            ASSERT_TRUE(u.Until([&] { return DialogTestIsVisible(d, 0); }));
            host.SendToOthers(net_b::BareMessage(STAGE_MSGID_REJECTPLAYER));
        });
        EXPECT_EQ(result, WIZARD_RESULT_BACK);
        EXPECT_TRUE(HasBox("You were dropped from the game."));
    }
    // Back in the wizard with new DirectPlay objects: nothing of the old session is shown.
    ut->MakePeer();
    EXPECT_EQ(ut->stage->LocalSlotNumber(), -1);
    FakePeer host;
    ASSERT_EQ(JoinSessionOf(host, "Second", "Other"), S_OK);
    const HRESULT result = RunStage("Guesty", FALSE, [&](User& u) {
        HWND d = nullptr;
        ASSERT_TRUE(u.Until([&] { return (d = StageDialog()) != nullptr; }));
        host.SendToOthers(net_b::SlotMessage(STAGE_MSGID_SETSLOTID, 1));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_FALSE(u.OnMain([&] { return DialogTestIsVisible(d, 0); })) << "the old table is gone";
        StageData table = net_b::Table("Other", false, "Guesty", false, host.Other());
        host.SendToOthers(net_b::Bytes(&table, sizeof table));
        ASSERT_TRUE(u.Until([&] { return DialogTestIsVisible(d, 0); }));
        EXPECT_EQ(u.OnMain([&] { return DialogTestText(d, kName0); }), "Other");
        host.Close();
    });
    EXPECT_EQ(result, STAGE_SESSION_TERMINATED) << "the session's end is a failure of the stage";
}

std::vector<UINT> g_gameWindowSaw;
LRESULT CALLBACK GameWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_KEYDOWN || msg == WM_LBUTTONDOWN || msg == WM_USER + 1) g_gameWindowSaw.push_back(msg);
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST_F(StageTest, TheGameWindowKeepsItsNotificationsButTakesNoInputWhileTheStageIsUp)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = GameWindowProc;
    wc.lpszClassName = "NetbStageGame";
    RegisterClassA(&wc);
    HWND game = CreateWindowExA(0, "NetbStageGame", "Game", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(game, nullptr);
    g_gameWindowSaw.clear();
    ASSERT_EQ(ut->Host("Quillane", NET_SESSION_PLAYERS, "Hosty"), S_OK);
    const HRESULT result = RunShownStage("Hosty", TRUE, [&](User& u, HWND d) {
        PostMessageA(game, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(400, 200));
        PostMessageA(game, WM_KEYDOWN, 'A', 1);
        PostMessageA(game, WM_USER + 1, 12, 0);
        // Enter, wherever it is pressed, sends the chat line rather than pressing a button.
        u.OnMain([&] { return DialogTestType(d, kChatEdit, "from anywhere"); });
        PostMessageA(game, WM_KEYDOWN, VK_RETURN, 1);
        ASSERT_TRUE(u.Until([&] { return DialogTestEntries(d, kChatList).size() == 1; }));
        u.OnMain([&] { return DialogTestClick(d, kCancel); });
    });
    EXPECT_EQ(result, WIZARD_RESULT_BACK);
    EXPECT_EQ(g_gameWindowSaw, std::vector<UINT>{WM_USER + 1});
    DestroyWindow(game);
}

TEST_F(StageTest, TheProgramClosingEndsTheStageAndKeepsItsQuit)
{
    ASSERT_EQ(ut->Host("Quillane", NET_SESSION_PLAYERS, "Hosty"), S_OK);
    const HRESULT result = RunShownStage("Hosty", TRUE, [&](User& u, HWND d) {
        u.OnMain([] {
            PostQuitMessage(4);
            return 0;
        });
    });
    EXPECT_EQ(result, WIZARD_RESULT_QUIT);
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the program's loop still gets it";
}

}  // namespace
