// The message queue that the core's files share: messages posted to the program's windows, and
// the quit that PostQuitMessage leaves for the loop. Not an interface for the other stand-ins.
#pragma once

#include "platform/win32/detail.h"

#include <condition_variable>
#include <deque>
#include <mutex>

namespace platform_detail {

extern std::mutex queueMutex;  // guards the queue and the quit
extern std::condition_variable queueChanged;
extern std::deque<MSG> queue;
extern bool quitPending;
extern int quitCode;

}  // namespace platform_detail
