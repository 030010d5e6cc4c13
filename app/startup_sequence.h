#pragma once

#include <cstdint>

namespace tallybell {

/// The process entry's work: runtime up, start-up, the event loop, finalisers; the exit status.
int main();

void _Main();
void _EarlyStartup();
void _InitFileTypes();
void _NewAppInstance();
void _ApplicationAddMenuHandlers();
void _LateStartup();
void _MakeDefaultView();

} // namespace tallybell
