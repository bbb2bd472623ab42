// The two-computer exhibition: making the DirectPlay session (the wizard, then the staging area),
// the set-up screen both managers share, and cleaning the session up.
#pragma once

#include "platform/dplay8/dplay8.h"

#include <cstdint>

// Sprites of the two-computer set-up screen.
enum NetSetupSprite : unsigned {
    NETSETUP_TITLE = 20,
    NETSETUP_SWAPPING_LABEL = 21,
    NETSETUP_DIFFICULTY_LABEL = 23,
    NETSETUP_HOME_LABEL = 25,
    NETSETUP_AWAY_LABEL = 26,
    NETSETUP_SWAPPING = 31,
    NETSETUP_DIFFICULTY = 32,
    NETSETUP_HOME_NAME = 34,
    NETSETUP_AWAY_NAME = 35,
    NETSETUP_DISCONNECTED = 39,
    NETSETUP_MINUTES_LABEL = 42,
    NETSETUP_MINUTES = 43,
    NETSETUP_START = 120,
    NETSETUP_RETURN = 200,
};

// Builder of ScreenId::NetExhibitionSetup: makes the session, then the screen.
void BuildNetExhibitionScreen();
// The screen's sprites and settings once the session is up (the second half of the builder).
void LayOutNetExhibitionScreen();
void OnNetExhibitionMessage(int32_t message);
// Writes the five value texts (on a guest ":" until the host's settings have arrived).
void ShowNetExhibitionValues();
// The other computer's settings (game message 8) have been applied: they hold for this session
// only, and on a guest they are the host's, which the screen now shows and may start from.
void NoteSettingsFromOtherComputer();
// Makes the session: false when the user quits or a call fails.
bool SetupMultiMachine();
// (Re)creates and initialises the peer and the lobby client.
HRESULT InitDirectPlay();
// The lobby client's callback.
HRESULT DirectPlayLobbyMessageHandler(void* context, DWORD messageId, void* message);
