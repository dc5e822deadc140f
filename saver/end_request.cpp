// The end reasons in words: the same on every platform.
#include "saver/end_request.h"

const char* qmEndName(QmEnd why) {
    switch (why) {
        case kEndSignal: return "a signal";
        case kEndWindowGone: return "the window was destroyed by its owner";
        case kEndClosed: return "the window was closed";
        case kEndFinished: return "the work is done";
        case kEndDisplayLost: return "the display connection was lost";
        case kEndMonitorsChanged: return "the monitors changed";
        case kEndMonitorGone: return "its monitor went away";
        default: return "an end request";
    }
}
