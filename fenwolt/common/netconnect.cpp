#include "fenwolt/common/netconnect.h"

#include "fenwolt/Game/Unfinished.h"

ConnectionWizard* TheConnectionWizard = nullptr;

ConnectionWizard::ConnectionWizard(HINSTANCE, const char*, const GUID*) { UNFINISHED(); }
ConnectionWizard::~ConnectionWizard() {}
HRESULT ConnectionWizard::Init(IDirectPlay8Peer*, IDirectPlay8LobbiedApplication*) { UNFINISHED(); }
void ConnectionWizard::Shutdown() { UNFINISHED(); }
void ConnectionWizard::SetPlayerName(const char*) { UNFINISHED(); }
void ConnectionWizard::SetSessionName(const char*) { UNFINISHED(); }
void ConnectionWizard::SetPreferredProvider(const char*) { UNFINISHED(); }
HRESULT ConnectionWizard::DoConnectWizard(BOOL) { UNFINISHED(); }
HRESULT ConnectionWizard::MessageHandler(void*, DWORD, void*) { UNFINISHED(); }
HRESULT ConnectionWizard::LobbyMessageHandler(void*, DWORD, void*) { UNFINISHED(); }
HRESULT ConnectionWizard::ConnectUsingLobbySettings() { UNFINISHED(); }
INT_PTR CALLBACK ConnectionWizard::StaticConnectionsDlgProc(HWND, UINT, WPARAM, LPARAM) { UNFINISHED(); }
INT_PTR CALLBACK ConnectionWizard::StaticSessionsDlgProc(HWND, UINT, WPARAM, LPARAM) { UNFINISHED(); }
INT_PTR CALLBACK ConnectionWizard::StaticLobbyWaitDlgProc(HWND, UINT, WPARAM, LPARAM) { UNFINISHED(); }
INT_PTR CALLBACK ConnectionWizard::StaticCreateSessionDlgProc(HWND, UINT, WPARAM, LPARAM) { UNFINISHED(); }
