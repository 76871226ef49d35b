#include "control/player_state.h"

PlayerStateRecord PlayerState = {};
