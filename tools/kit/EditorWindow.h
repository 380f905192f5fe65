// A top-level X11 window of the command-line hosts' own, for embedding an
// effect's editor: it asks the window manager for WM_DELETE_WINDOW, takes
// in a child window (an AudioUnit view) and tells when it has been closed.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

struct EditorWindowError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

class EditorWindow
{
public:
    // Opens the display and creates the window (not yet shown). Throws
    // EditorWindowError when there is no X display.
    EditorWindow(const std::string& title, int width, int height); // [UI thread]
    ~EditorWindow(); // [UI thread]
    EditorWindow(const EditorWindow&) = delete;
    EditorWindow& operator=(const EditorWindow&) = delete;

    // The window's XID, the parent for the editor.
    unsigned long window() const;
    void show(); // [UI thread]
    void resize(int width, int height); // [UI thread]
    // Reparents a window of another connection into this one, at 0,0, and maps it.
    void embed(unsigned long child); // [UI thread]
    // Handles the window's pending events; false once the window manager
    // asked to close it or it was destroyed.
    bool processEvents(); // [UI thread]

    // Calls `tick` every `interval` seconds (steady rate, no catching up)
    // until the window is closed or `stop` becomes true.
    void run(double interval, const std::function<void()>& tick, const bool* stop = nullptr); // [UI thread]

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};
