// The saver's own state, kept between its procedures (main.cpp): read by the scene (the data
// folder) and by tests (the ending rules).
#pragma once

enum { kRuvaPathSize = 520 };

extern unsigned char escapeHit;  // a key message arrived
extern unsigned char started;    // the scene is built
extern double startTime;         // fxGetTime() right after the scene was built, seconds
extern char ruvaPath[kRuvaPathSize];  // the data folder; empty when none is known
