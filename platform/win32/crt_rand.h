// The C runtime's rand()/srand() as the games were written for them: 15 bits, RAND_MAX 32767,
// the same sequence for the same seed on every machine. glibc's rand has 31 bits and another
// sequence, so game code includes this header, and every rand()/srand() it names becomes the
// platform's generator. The C library's header is read first, so that a later include of it
// cannot bring its own rand back; std::rand then fails to compile rather than reach glibc.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <stdlib.h>

#include "platform/win32/win32.h"

#undef RAND_MAX
#define RAND_MAX PLATFORM_RAND_MAX
#define rand PlatformRand
#define srand PlatformSrand
