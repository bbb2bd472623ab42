// The files of the data set the game cannot be played without, looked at once before it starts.
#pragma once

#include <string>

// The first file the game cannot run without that cannot be read (a picture also has to decode
// and a mesh to parse, so a cut one counts as damaged); empty when every one of them can. Sounds and music are not
// among them: without one the game plays on silently.
std::string FirstUnusableDataFile();

// At start: when a file the game needs cannot be used, a message box names it and says how to
// mend the data set, and the answer is false (the program then ends with a failure status).
bool DataSetUsable();
