// The DirectX error helpers the games trace failures with: the name of an HRESULT, and a trace
// of a failing call (file, line, error name, what failed) to the debugger, optionally shown in a
// message box.
#pragma once

#include "platform/win32/win32.h"

// "DPNERR_SESSIONFULL", "E_FAIL", ... ; "Unknown" for a code this layer does not name.
const char* DXGetErrorString8(HRESULT hr);
// Writes "<file>(<line>): <msg> hr=<name> (0x<hr>)" to the debugger; with popMsgBox, also a
// message box (no owner, caption "Unexpected error encountered", error icon) that says the
// same. Returns hr.
HRESULT DXTrace(const char* file, DWORD line, HRESULT hr, const char* msg, BOOL popMsgBox);
