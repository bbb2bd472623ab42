// What the sound stand-ins and the sound library under them say. Their complaints are traces
// for a debugger, like every other trace of the platform (shown with PLATFORM_DEBUG_OUTPUT=1);
// the player starting a game from a terminal on a machine without a sound device sees one plain
// line per start that the game runs without sound, whichever stand-in found it out first.
#pragma once

// "<source>: <text>\n" to the debugger.
void PlatformSoundTrace(const char* source, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The device could not be opened: the one line for the player, once per process.
void PlatformReportNoSoundDevice();

// Sends the messages that the system's sound library prints on its own (ALSA's, on a machine
// without a sound card) to the debugger as well. Called before the audio subsystem starts.
void PlatformRouteSoundLibraryMessages();
