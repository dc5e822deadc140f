// Sanitizer builds keep the OpenGL driver in memory until the process ends. The driver library is
// loaded behind the program's back and unloaded again when the display closes; LeakSanitizer then
// sees the driver's own leftovers with frames it can no longer name, so they could not be told
// apart from ours. Kept loaded, they name the driver and are suppressed by its library's name.
#pragma once

// Marks every loaded *_dri.so as never to be unloaded (a no-op outside sanitizer builds).
void fxKeepGLDriverLoaded();
