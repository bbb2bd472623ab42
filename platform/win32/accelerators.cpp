// Accelerator tables: key combinations that become WM_COMMAND before the program sees the key.
#include "platform/win32/detail.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {
struct AccelTable {
    std::vector<ACCEL> entries;
};
std::mutex accelMutex;
std::vector<std::unique_ptr<AccelTable>> accelTables;

// The program's resource script: its main window's table and the commands of its keys.
constexpr ULONG_PTR MainAcceleratorTable = 113;
constexpr WORD ChangeDeviceCommand = 40002, ToggleFullScreenCommand = 40003, ExitCommand = 40006;
}  // namespace

HACCEL CreateAcceleratorTableA(const ACCEL* entries, int count)
{
    if (!entries || count <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto table = std::make_unique<AccelTable>();
    table->entries.assign(entries, entries + count);
    std::lock_guard<std::mutex> lock(accelMutex);
    accelTables.push_back(std::move(table));
    return reinterpret_cast<HACCEL>(accelTables.back().get());
}

HACCEL LoadAcceleratorsA(HINSTANCE, LPCSTR tableName)
{
    if (IS_INTRESOURCE(tableName) && reinterpret_cast<ULONG_PTR>(tableName) == MainAcceleratorTable) {
        static HACCEL builtIn = [] {
            const ACCEL entries[] = {{FVIRTKEY | FCONTROL, VK_F2, ChangeDeviceCommand},
                                     {FVIRTKEY | FALT, VK_RETURN, ToggleFullScreenCommand},
                                     {FVIRTKEY | FALT, 'X', ExitCommand}};
            return CreateAcceleratorTableA(entries, 3);
        }();
        return builtIn;
    }
    PlatformTrace("LoadAcceleratorsA: no accelerator table %s",
                  IS_INTRESOURCE(tableName) ? std::to_string(reinterpret_cast<ULONG_PTR>(tableName)).c_str()
                                            : tableName);
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

BOOL DestroyAcceleratorTable(HACCEL table)
{
    std::lock_guard<std::mutex> lock(accelMutex);
    for (auto it = accelTables.begin(); it != accelTables.end(); ++it)
        if (reinterpret_cast<HACCEL>(it->get()) == table) {
            accelTables.erase(it);
            return TRUE;
        }
    return FALSE;
}

int TranslateAcceleratorA(HWND hwnd, HACCEL table, LPMSG msg)
{
    if (!msg || !table || !IsWindow(hwnd)) return 0;
    if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) return 0;
    BYTE mods = 0;
    if (msg->lPrivate & MK_SHIFT) mods |= FSHIFT;
    if (msg->lPrivate & MK_CONTROL) mods |= FCONTROL;
    if ((msg->lPrivate & FALT) || (msg->lParam & (1 << 29))) mods |= FALT;
    WORD command = 0;
    bool found = false;
    {
        std::lock_guard<std::mutex> lock(accelMutex);
        for (auto& t : accelTables) {
            if (reinterpret_cast<HACCEL>(t.get()) != table) continue;
            for (const ACCEL& a : t->entries) {
                if (!(a.fVirt & FVIRTKEY)) continue;  // character accelerators are not used
                if (a.key != msg->wParam) continue;
                if ((a.fVirt & (FSHIFT | FCONTROL | FALT)) != mods) continue;
                command = a.cmd;
                found = true;
                break;
            }
        }
    }
    if (!found) return 0;
    SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(command, 1), 0);
    return 1;
}
