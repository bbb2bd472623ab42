#pragma once
// The port range a test process opens its sessions in, on 127.0.0.1. Every test that hosts or
// searches takes its range from here, so that processes CTest runs side by side never share a
// range: each gets 64 ports of its own (a session range is 32, and a test may shift its range by
// up to 32 to keep two runs of its own apart).
#include <unistd.h>

#include <string>

inline int OwnPortBase(int shift = 0)
{
    return 20000 + static_cast<int>(getpid() % 700) * 64 + shift;
}

inline std::string OwnPortText(int shift = 0) { return std::to_string(OwnPortBase(shift)); }
