// The start-up check of the data set: the files without which the game cannot be seen or
// played are read and decoded once before the window opens, so that a missing or damaged data
// set is told to the player plainly instead of showing a black or empty screen.
#pragma once

#include <string>

// 1 when every file the game cannot run without reads and decodes. Otherwise 0, the fault is
// logged and `message` holds what the player is told: the file at fault and how to mend it.
int CheckDataSet(std::string* message);
