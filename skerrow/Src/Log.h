// "Log.txt": every subsystem writes its progress and errors here; each line is on disk at once.
#pragma once

void OpenLog();
void LogMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
