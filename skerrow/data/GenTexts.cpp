// The language pack's texts: interface strings, the item catalogue, help pages and the ending.
#include "skerrow/data/GenCommon.h"

#include <cstdio>
#include <stdexcept>

namespace gen {
namespace {

// The reader finds a key as a substring of the text before '=', first line first: a key that
// contains another key must come after it ("Score" before "HiScore", "Sell" before "SellPrice").
const char* const kStrings[][2] = {
    {"PressKey", "Press any key"},
    {"Loading", "Loading..."},
    {"Select", "Select a planet"},
    {"Score", "Score"},
    {"Completed", "Completed"},
    {"Buy", "Buy"},
    {"Sell", "Sell"},
    {"Back", "Back"},
    {"Musvol", "Music volume"},
    {"Sndvol", "Sound volume"},
    {"Reverse", "Reverse stereo"},
    {"Start", "Start"},
    {"Upgrade", "Upgrade"},
    {"Save", "Save"},
    {"Quit", "Quit"},
    {"NewGame", "New game"},
    {"LoadGame", "Load game"},
    {"HiScore", "Hiscores"},
    {"Options", "Options"},
    {"Help", "Help"},
    {"QuitGame", "Quit game"},
    {"ScrollSpeed", "Scroll speed"},
    {"Fast", "Fast"},
    {"Slow", "Slow"},
    {"F10game", "F10 opens the options during play"},
    {"Continue", "Every planet is free: press START to face the guardian"},
    {"Vanish", "Vanishing blocks"},
    {"Donthave1", "You need more score points for this"},
    {"Donthave2", "You need more credits for this"},
    {"Descript", "Info:"},
    {"ActiveTime", "Time:"},
    {"SellPrice", "Sells for:"},
    {"BuyPrice", "Price:"},
    {"Exchange", "Trade %d score points for one credit"},
    {"Instant", "Instant"},
    {"EmptySlot", "empty slot"},
    {"Pause", "Pause"},
    {"Version", "Ombrelit QRN 1.0"},
    {"Page", "Page"},
    {"Level", "Pick a lit planet and press START"},
    {"Closelevel", "This planet is still out of reach"},
};

struct ItemText {
    const char* section;
    int activeTime;
    int price;
    const char* name;
    const char* description;
};

// Active times are frames (about 77 a second). Items that act once get a short time so their
// slot frees itself at once; one-shot items that wait for a trigger get a long one.
const ItemText kItems[] = {
    {"ITEM_CREDIT1", 10, 100, "Credit", "Trade score points for credits to spend in the shop."},
    {"ITEM_CREDIT2", 10, 10, "Small credit", "A single credit."},
    {"ITEM_BALL", 10, 120, "Extra ship", "One more life, at once."},
    {"ITEM_WIDE_BUSTER", 2000, 40, "Wide buster", "Your ship grows half as wide again."},
    {"ITEM_INCREASE_SPEED", 10, 20, "Speed up", "Every ball flies faster."},
    {"ITEM_DECREASE_SPEED", 10, 30, "Slow down", "Every ball flies slower. Breathe."},
    {"ITEM_ADD_BALL", 10, 50, "Twin ball", "A second ball joins the first one."},
    {"ITEM_CANNON", 1500, 70, "Cannon", "Hold the button to fire twin shots at blocks and foes."},
    {"ITEM_FREE_FLY", 2000, 45, "Free flight", "Fly your ship up to the middle of the screen."},
    {"ITEM_PIERCING", 1000, 90, "Fire ball", "Balls burn through every block without bouncing."},
    {"ITEM_CREDITS_ATTRACTOR", 2500, 35, "Magnet", "Falling capsules drift towards your ship."},
    {"ITEM_SCREAMER", 2500, 40, "Screamer", "Enemies flee and no new ones dare to come."},
    {"ITEM_SNIPER", 2000, 30, "Sniper sight", "Launch the ball along the sweeping aim line."},
    {"ITEM_TIMEZIP", 1000, 55, "Time zip", "The level stops scrolling for a while."},
    {"ITEM_BALL_ATTRACTOR", 3000, 25, "Catcher", "The next ball that comes down is caught for a new aim."},
    {"ITEM_RUBBER", 1500, 60, "Rubber", "Aimed launch, and falling balls bend towards your ship."},
    {"ITEM_SHADOW", 1500, 80, "Shadow", "A mirror ship and a mirror ball join the game."},
    {"ITEM_BOMB", 3000, 65, "Bomb", "The next block you hit blows up with its neighbours."},
    {"ITEM_TIMEBOMB", 3000, 85, "Time bomb", "The next block hit drops a bomb with a huge blast."},
    {"ITEM_INVISIBLE", 1500, 50, "Ghost blocks", "Blocks turn invisible, but credits count double."},
    {"ITEM_DETONATOR", 10, 150, "Detonator", "Every block on the screen is destroyed at once."},
    {"ITEM_SHIELD", 2000, 100, "Shield", "A barrier above the bottom throws lost balls back."},
};

// Lines of at most ~60 characters, no '%' (the pages are drawn as printf formats).
const char* const kHelp[4] = {
    "  Welcome, pilot!\n"
    "\n"
    "  Ombrelit QRN is a brick-breaker that scrolls. Move your\n"
    "  ship with the mouse or the arrow keys, and launch the\n"
    "  ball with the left button or Space.\n"
    "\n"
    "  The level scrolls down while a ball flies in the upper\n"
    "  half of the screen. Clear your way to the top and touch\n"
    "  the top edge with a ball to complete the mission.\n"
    "\n"
    "  Press Escape to leave a level, Pause to rest, and F10\n"
    "  for the options. Print Screen saves a picture.\n",

    // Page two shows the two coins at (287, 210) and the item picture at (193, 317): the
    // lines that pass there stay short or empty.
    "  Credits and items\n"
    "\n"
    "  Blocks hide capsules. Catch the coins:\n"
    "  gold coin: 5 credits\n"
    "  silver coin: 1 credit\n"
    "\n"
    "  Other capsules hold bonus items. They go to the\n"
    "  ten slots of your panel; press 1 to 0 to use\n"
    "  them, or sell them in the shop. A few of them:\n",

    // Page three shows the panel in miniature at (170, 210) to (470, 330).
    "  The panel\n"
    "  Lives, credits, score and progress on the left,\n"
    "  your ten item slots on the right.\n"
    "\n"
    "\n"
    "\n"
    "\n"
    "\n"
    "\n"
    "\n"
    "\n"
    "  After every won level the shop opens. Buy items\n"
    "  with credits, trade score points for credits, or\n"
    "  sell what you do not need. A lost level costs\n"
    "  nothing: you get back what you had at its start.\n",

    "The map\n"
    "\n"
    "A hundred planets wait in two sectors.\n"
    "Each lit planet is a level you may play;\n"
    "winning it lights up the planets beyond.\n"
    "Some paths fork: choose your way.\n"
    "\n"
    "When all hundred are free, the guardian\n"
    "of the sector waits for you.\n"
    "\n"
    "Good luck, pilot.\n",
};

const char* const kHappy =
    "Congratulations, pilot!\n"
    "\n"
    "The guardian is broken and its shards drift\n"
    "away into the dark between the stars.\n"
    "\n"
    "All hundred planets of the two sectors shine\n"
    "again, and the lanes are open once more.\n"
    "\n"
    "Traders return to the markets, the beacons\n"
    "are lit, and your name is spoken in every\n"
    "port from the first sector to the last.\n"
    "\n"
    "But somewhere far beyond the map a new\n"
    "light flickers...\n"
    "\n"
    "\n"
    "Thank you for playing Ombrelit QRN.\n"
    "\n"
    "\n"
    "Design, code, pictures and music:\n"
    "the Ombrelit QRN team\n"
    "\n"
    "\n"
    "THE END\n";

}  // namespace

void MakeTexts(DataSet& ds) {
    std::string strings = "[All strings]\n";
    for (const auto& s : kStrings) strings += std::string(s[0]) + " = " + s[1] + "\n";
    ds.AddLang("Strings.txt", strings);

    std::string items;
    for (const ItemText& it : kItems) {
        char buf[512];
        std::snprintf(buf, sizeof buf,
                      "[%s]\nActive time = %d\nPrice = %d\nName = %s\nDescription = %s\n\n",
                      it.section, it.activeTime, it.price, it.name, it.description);
        items += buf;
    }
    ds.AddLang("Items.txt", items);

    for (int i = 0; i < 4; ++i) {
        const std::string page = kHelp[i];
        if (page.size() >= 1024 || page.find('%') != std::string::npos)
            throw std::runtime_error("help page too long or holding a percent sign");
        ds.AddLang("help\\help" + std::to_string(i) + ".txt", page);
    }
    const std::string happy = kHappy;
    if (happy.size() >= 1024) throw std::runtime_error("ending text too long");
    ds.AddLang("happy.txt", happy);
}

}  // namespace gen
