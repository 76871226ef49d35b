#ifndef VELMORIN_CONTROL_TIMERS_H
#define VELMORIN_CONTROL_TIMERS_H

#include <cstdint>

// Window timers of the main dialog.
constexpr uintptr_t POLL_TIMER = 1;
constexpr uintptr_t AUTOPAUSE_TIMER = 2;

#endif
