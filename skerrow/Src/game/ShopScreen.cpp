#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "skerrow/Src/Graphics/Graphics.h"
#include "skerrow/Src/IniFile.h"
#include "skerrow/Src/Input.h"
#include "skerrow/Src/Log.h"
#include "skerrow/Src/game/GameScreen.h"
#include "skerrow/Src/game/Gameplay.h"
#include "skerrow/Src/game/Resources.h"
#include "skerrow/Src/game/ScreenCommon.h"
#include "skerrow/Src/game/Screens.h"

ShopScreen g_shopScreen;
ShopItem g_shopItems[ITEM_COUNT];

namespace {
// Where the HUD draws inventory slot i: the shop shows the row where the player knows it.
int SlotX(int i) { return 197 + 42 * i; }
const int kSlotY = 447;

void ShelfPosition(int place, int* x, int* y)
{
    *x = (place % 7) * 85 + 40;
    *y = (place / 7) * 60 + 80;
}

bool RequirementsMet(const char* requiresText)
{
    for (const char* p = requiresText; *p;) {
        const long b = std::strtol(p, nullptr, 10);
        if (b >= 1 && b <= kLevelCount && !g_game.levels[b - 1].completed) return false;
        const char* comma = std::strchr(p, ',');
        if (!comma) break;
        p = comma + 1;
    }
    return true;
}
}  // namespace

int ShelfPlace(int item)
{
    if (item == ITEM_CREDIT1) return 0;
    if (item >= ITEM_BALL && item < ITEM_COUNT) return item - 2;
    return -1;
}

int ShelfItem(int place)
{
    if (place == 0) return ITEM_CREDIT1;
    if (place >= 1 && place <= 20) return place + 2;
    return -1;
}

int LoadShopItems()
{
    IniFile ini;
    const int found = ini.Open("Items.txt", 1);
    for (int id = 1; id < ITEM_COUNT; ++id) {
        ShopItem& item = g_shopItems[id];
        if (!found || !ini.HasSection(g_itemNames[id])) continue;
        const char* section = g_itemNames[id];
        item.id = static_cast<int16_t>(id);
        item.activeTime = static_cast<int16_t>(std::clamp(ini.GetInt(section, "Active time", 1000), 0, 32767));
        // A negative price would pay the player for buying.
        item.price = static_cast<int16_t>(std::clamp(ini.GetInt(section, "Price", 10), 0, 32767));
        item.sellPrice = static_cast<int16_t>(item.price * 8 / 10);
        ini.GetString(section, "Name", "", item.name, sizeof item.name);
        ini.GetString(section, "Description", "", item.description, sizeof item.description);
        char requiresText[64];
        ini.GetString(section, "Requires", "", requiresText, sizeof requiresText);
        item.available = RequirementsMet(requiresText) ? 1 : 0;
        SetItemActiveTime(id, item.activeTime);
    }
    return found ? 1 : 0;
}

int CanBuy(int item)
{
    if (item <= 0 || item >= ITEM_COUNT) return 0;
    const int price = g_shopItems[item].price;
    // Score points buy only the credit; credits buy everything else.
    if (item == ITEM_CREDIT1) return g_game.score >= price ? 1 : 0;
    return g_game.money >= price ? 1 : 0;
}

int BuyItem(int item)
{
    if (!CanBuy(item)) return 0;
    const int price = g_shopItems[item].price;
    if (item == ITEM_BALL) {
        ++g_game.lives;
        g_game.money -= price;
        return 1;
    }
    if (item == ITEM_CREDIT1) {
        ++g_game.money;
        g_game.score -= price;
        return 1;
    }
    if (!AddToInventory(item)) return 0;
    g_game.money -= price;
    return 1;
}

int SellInventorySlot(int slot)
{
    if (slot < 0 || slot >= kInventorySlots) return 0;
    InventorySlot& s = g_game.inventory[slot];
    if (s.id <= 0 || s.id >= ITEM_COUNT || s.count <= 0) return 0;
    // Selling only sells: the item's effect belongs to a level in play, and there is none here.
    PlayGameSound(SND_ACTIVATE, 50);
    --s.count;
    g_game.money += g_shopItems[s.id].sellPrice;
    if (s.count <= 0) s = InventorySlot{};
    return 1;
}

void ShopScreen::OnDisplay(Screen*, int32_t argument)
{
    afterWin = argument == 1 ? 1 : 0;
    std::memset(g_shopItems, 0, sizeof g_shopItems);
    LoadShopItems();
    for (InventorySlot& s : g_game.inventory)
        if (s.count <= 0) s = InventorySlot{};
    selectedItem = selectedSlot = -1;
    hoveredItem = -1;
}

void ShopScreen::InitSurfaces()
{
    for (ShopItem& item : g_shopItems) item.available = 1;
    LogMessage("Call ShopScreen::InitSurfaces()\n");
    ReleaseSurfaces();
    if (!LoadPicture("Nodes\\Node.tga", &background_)) return;
    LPDIRECTDRAWSURFACE7 panel = nullptr, shelves = nullptr;
    if (LoadPicture("panel.tga", &panel)) {
        SetColorKey(panel, MakePixelColor(255, 0, 255));
        background_->BltFast(0, 400, panel, nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
        ReleasePicture(&panel);
    }
    if (LoadPicture("shelves.tga", &shelves)) {
        SetColorKey(shelves, g_colors[9]);
        background_->BltFast(0, 20, shelves, nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
        ReleasePicture(&shelves);
    }
    uint16_t* pixels = nullptr;
    int pitch = 0;
    if (g_sprites && SmallFont().IsLoaded() && LockSurface(background_, &pixels, &pitch)) {
        TrueTypeFont& font = SmallFont();
        font.SetTarget(pixels, pitch * 2);
        font.SetClip(0, 0, 640, 480);
        font.SetBlendMode(2, 0);
        for (int place = 0; place < 21; ++place) {
            const ShopItem& item = g_shopItems[ShelfItem(place)];
            int x, y;
            ShelfPosition(place, &x, &y);
            font.SetSize(11);
            font.Print(x + 25 - font.TextWidth8(item.name) / 2, y + 5, PackPixelRgb(0xF0FFF0), item.name);
            char price[64];
            std::snprintf(price, sizeof price, "<0xffffff>%d <0x00ffff>%s", item.price,
                          ShelfItem(place) == ITEM_CREDIT1 ? "sp" : "cr");
            font.SetSize(9);
            font.Print(x + 25 - font.TextWidth8(price) / 2, y + 47, 0xFFFF, price);
        }
        font.SetTarget(nullptr, 0);
        UnlockSurface(background_);
    }
    LogMessage("Return ShopScreen::InitSurfaces()\n");
    sheet_.LoadWithFrames("ShopButtons.tga", "ShopButtons.frm");
    static const char* const frames[3] = {"buy_rel", "sell_rel", "back_rel"};
    for (int i = 0; i < 3; ++i) {
        buttons_[i].SetFromFrame(sheet_, frames[i], i + 1);
        buttons_[i].y = static_cast<int16_t>(buttons_[i].y + 20);
    }
}

void ShopScreen::ReleaseSurfaces()
{
    ReleasePicture(&background_);
    sheet_.Destroy();
}

void ShopScreen::DrawInfoPanel(int item, int slot)
{
    if (!g_sprites || item <= 0 || item >= ITEM_COUNT) return;
    const ShopItem& info = g_shopItems[item];
    TrueTypeFont& font = SmallFont();
    PrintRight(font, 14, 150, 280, 0xFFFF, g_strings.Get("Descript"));
    const int shown = std::clamp((frameCounter - typingStart) / 3, 0, 255);
    char description[256];
    std::snprintf(description, sizeof description, "%.*s", shown, info.description);
    PrintText(font, 14, 150, 280, g_colors[10], description);
    const uint16_t pulse = (frameCounter & 8) ? g_colors[2] : g_colors[11];
    char line[160];
    if (slot >= 0) {
        std::snprintf(line, sizeof line, "%s <0xffffff>%d credits ", g_strings.Get("SellPrice"), info.sellPrice);
        PrintText(font, 14, 150 - TextWidth(font, 14, g_strings.Get("SellPrice")), 295, g_colors[8], line);
    } else if (item == ITEM_CREDIT1) {
        if (g_game.score < info.price) {
            PrintText(font, 14, 80, 295, pulse, g_strings.Get("Donthave1"));
        } else {
            FormatNumberInto(g_strings.Get("Exchange"), info.price, line, sizeof line);
            PrintText(font, 14, 80, 295, g_colors[8], line);
        }
    } else if (g_game.money < info.price) {
        PrintText(font, 14, 80, 295, pulse, g_strings.Get("Donthave2"));
    } else {
        std::snprintf(line, sizeof line, "%s <0xffffff>%d ", g_strings.Get("BuyPrice"), info.price);
        PrintText(font, 14, 150 - TextWidth(font, 14, g_strings.Get("BuyPrice")), 295, g_colors[8], line);
    }
    if (slot < 0 && (item == ITEM_CREDIT1 || item == ITEM_BALL)) return;
    PrintRight(font, 14, 150, 310, 0xFFFF, g_strings.Get("ActiveTime"));
    const int bars = info.activeTime / 500;
    if (bars == 0 || info.activeTime == 10000) {
        char instant[80];
        std::snprintf(instant, sizeof instant, "  %s", g_strings.Get("Instant"));
        PrintText(font, 14, 150, 310, 0xFFFF, instant);
    } else {
        for (int b = 0; b < std::min(bars, 40); ++b)
            FillScreenRect(155 + 10 * b, 303, 9, 5, MakePixelColor(std::min(255, 100 + 20 * b), std::max(0, 255 - 20 * b), 0));
    }
}

int32_t ShopScreen::Process()
{
    MoveCursor();
    if (!g_sprites) return 1;
    GameSprites& g = *g_sprites;
    if (WasKeyPressed(DIK_ESCAPE)) {
        ReturnToPreviousScreen(0);
        return 0;
    }
    for (InventorySlot& s : g_game.inventory)
        if (s.count <= 0) s = InventorySlot{};
    buttons_[0].SetEnabled(selectedItem > 0 && CanBuy(selectedItem));
    buttons_[1].SetEnabled(selectedSlot >= 0);
    DrawPicture(background_, 0, 0);
    int32_t code = PopMouseCode();
    g_clickedButtonId = 0;
    static const char* const pushed[3] = {"buy_push", "sell_push", "back_push"};
    static const char* const released[3] = {"buy_rel", "sell_rel", "back_rel"};
    for (int i = 0; i < 3; ++i) {
        buttons_[i].HandleInput(&code);
        // The background carries no buttons: the released look is drawn whenever not pressed.
        sheet_.DrawFrame(buttons_[i].IsActive() ? pushed[i] : released[i], 0, 20, ALIGN_LEFT | ALIGN_TOP);
    }
    const int clicked = g_clickedButtonId;
    g_clickedButtonId = 0;
    if (clicked == 1) BuyItem(selectedItem);
    if (clicked == 2 && SellInventorySlot(selectedSlot) && g_game.inventory[selectedSlot].id == 0) selectedSlot = -1;
    if (clicked == 3) {
        ReturnToPreviousScreen(0);
        return 0;
    }
    hoveredItem = -1;
    for (int place = 0; place < 21; ++place) {
        const int item = ShelfItem(place);
        int x, y;
        ShelfPosition(place, &x, &y);
        if (g_cursorX >= x && g_cursorX < x + 50 && g_cursorY >= y && g_cursorY < y + 50) {
            hoveredItem = item;
            if (code == MOUSE_LEFT_DOWN) {
                PlayMenuSound();
                if (selectedItem != item) typingStart = frameCounter;
                selectedItem = item;
                selectedSlot = -1;
            } else if (code == MOUSE_LEFT_DOUBLE) {
                BuyItem(item);
            }
        }
        const int anim = item == ITEM_CREDIT1 ? -1 : item;
        AnimationSet& set = anim < 0 ? g.creditAnims[0] : g.itemAnims[anim];
        CSprite& sheet = anim < 0 ? g.credits[0] : g.items[anim];
        set.Animate(item == selectedItem || item == hoveredItem ? "Rotation" : "Stop", 0);
        sheet.DrawAnimation(set, x + 25, y + 25, 0);
    }
    for (int i = 0; i < kInventorySlots; ++i) {
        const InventorySlot& s = g_game.inventory[i];
        const bool inside = std::abs(g_cursorX - SlotX(i)) <= 21 && std::abs(g_cursorY - kSlotY) <= 27;
        if (!inside) continue;
        if (code == MOUSE_LEFT_DOWN && s.id > 0) {
            PlayMenuSound();
            selectedSlot = i;
            selectedItem = -1;
            typingStart = frameCounter;
        } else if (code == MOUSE_RIGHT_DOWN && selectedSlot >= 0 && selectedSlot != i) {
            std::swap(g_game.inventory[i], g_game.inventory[selectedSlot]);
            selectedSlot = i;
        }
    }
    // Holding the button starts the description over.
    if (g_input.leftHeld) typingStart = frameCounter;
    if (selectedItem > 0) {
        int x, y;
        ShelfPosition(ShelfPlace(selectedItem), &x, &y);
        PrintCentred(SmallFont(), 11, x + 25, y + 5, 0xFFFF, g_shopItems[selectedItem].name);
        DrawInfoPanel(selectedItem, -1);
    } else if (selectedSlot >= 0) {
        DrawInfoPanel(g_game.inventory[selectedSlot].id, selectedSlot);
    }
    DrawHudWith(afterWin ? 100 : -1);
    if (selectedSlot >= 0) FillScreenRect(SlotX(selectedSlot) - 18, kSlotY + 22, 36, 2, g_colors[8]);
    if (IsKeyHeld(DIK_TAB)) DrawFrameStats();
    DrawCursor();
    return 1;
}
