#include "fenwolt/Game/Network/NetStage.h"

#include "fenwolt/Game/Unfinished.h"

NetStage* TheNetStage = nullptr;

size_t StageMessageSize(int32_t) { UNFINISHED(); }
NetStage::NetStage(HINSTANCE, const char*) { UNFINISHED(); }
NetStage::~NetStage() {}
HRESULT NetStage::Init(IDirectPlay8Peer*) { UNFINISHED(); }
HRESULT NetStage::DoStage(const char*, BOOL) { UNFINISHED(); }
HRESULT NetStage::MessageHandler(void*, DWORD, void*) { UNFINISHED(); }
HRESULT NetStage::OnStageMessage(HWND, const void*, DWORD, void*) { UNFINISHED(); }
HRESULT NetStage::FindFreeSlot(int32_t*) { UNFINISHED(); }
void NetStage::CopySlots(StageSlot*) { UNFINISHED(); }
INT_PTR CALLBACK NetStage::StaticStageDlgProc(HWND, UINT, WPARAM, LPARAM) { UNFINISHED(); }
