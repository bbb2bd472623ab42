#include "fenwolt/Game/FrontEnd/Options.h"

OptionsRecord Options;
