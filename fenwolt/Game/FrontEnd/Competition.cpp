#include "fenwolt/Game/FrontEnd/Competition.h"

CompetitionState Competition;
MatchSettings MatchSetup;
KitList KitTable;
