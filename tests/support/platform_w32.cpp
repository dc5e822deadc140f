// Test helpers that differ by platform, Windows side. Error messages are message boxes captioned "Error" on Windows: while fn runs, a watcher thread
// reads each box this process shows, writes it down as "Error: <text>" and a line end (as the
// message reads on standard error elsewhere) and answers it with OK, so the test never waits for
// a person.
#include <windows.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "support/test_support.h"

namespace {

const int kMessageBoxTextId = 0xFFFF;  // the static control holding a message box's text

HWND localOwnErrorBox() {
    for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", "Error"); w;
         w = FindWindowExA(nullptr, w, "#32770", "Error")) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == GetCurrentProcessId() && IsWindowVisible(w)) return w;
    }
    return nullptr;
}

}  // namespace

std::string qmShownErrors(const std::function<void()>& fn) {
    std::atomic<bool> done{false};
    std::mutex lock;
    std::string shown;
    std::thread watcher([&] {
        HWND answered = nullptr;
        while (!done.load()) {
            HWND box = localOwnErrorBox();
            if (box && box != answered) {
                char text[4096] = "";
                GetDlgItemTextA(box, kMessageBoxTextId, text, sizeof text);
                std::string line = text;
                if (line.empty() || line.back() != '\n') line += '\n';
                {
                    std::lock_guard<std::mutex> hold(lock);
                    shown += "Error: " + line;
                }
                answered = box;
                PostMessageA(box, WM_COMMAND, IDOK, 0);
            }
            Sleep(20);
        }
    });
    fn();
    done = true;
    watcher.join();
    return shown;
}

// Windows has no device that reads without end by name; a reader that refuses devices refuses NUL.
const char* const kQmNullDevice = "NUL";
const char* const kQmEndlessDevice = "NUL";
