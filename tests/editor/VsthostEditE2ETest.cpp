// The editor in `vsthost edit`, run as a user runs it: a process of its own on
// the private Xvfb, driven with real pointer and key events, closed the way a
// window manager closes windows, its output and saved state read back.
#include "engine/StateChunk.h"

#include <gtest/gtest.h>
// After gtest: Xlib's macros clash with its names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace
{
int ignoreErrors(Display*, XErrorEvent*)
{
    return 0;
}

class VsthostEdit : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (std::getenv("DC_XVFB_UNAVAILABLE"))
            GTEST_SKIP() << "Xvfb is not installed";
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr) << "no X display; run through run-under-xvfb.sh";
        XSetErrorHandler(ignoreErrors);
        fs::create_directories(folder);
    }
    void TearDown() override
    {
        if (pid > 0)
        {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (display)
        {
            XDeleteProperty(display, DefaultRootWindow(display), XInternAtom(display, "RESOURCE_MANAGER", False));
            XCloseDisplay(display);
        }
        fs::remove_all(folder);
    }

    // Starts `vsthost edit` on the plug-in with these further arguments and
    // waits for its window; its output goes to a file.
    void start(const std::vector<std::string>& more)
    {
        std::vector<std::string> arguments{DC_VSTHOST, "edit", DC_VST_PLUGIN};
        arguments.insert(arguments.end(), more.begin(), more.end());
        pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0)
        {
            const int out = open((folder / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, 1);
            std::vector<char*> argv;
            for (const std::string& a : arguments)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        window = waitForWindow();
        ASSERT_NE(window, 0u);
    }
    Window waitForWindow()
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end)
        {
            Window root = 0, parent = 0, *children = nullptr;
            unsigned count = 0;
            Window found = 0;
            if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
            {
                for (unsigned i = 0; i < count && !found; ++i)
                {
                    char* name = nullptr;
                    XWindowAttributes a{};
                    if (XFetchName(display, children[i], &name) && name)
                    {
                        if (std::string(name).rfind("vsthost:", 0) == 0 &&
                            XGetWindowAttributes(display, children[i], &a) && a.map_state == IsViewable)
                            found = children[i];
                        XFree(name);
                    }
                }
                if (children)
                    XFree(children);
            }
            if (found)
            {
                settle(0.5); // the editor's first picture
                return found;
            }
            settle(0.05);
        }
        return 0;
    }
    // Closes the window as a window manager does and waits for the tool.
    int closeAndWait()
    {
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = window;
        e.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        e.xclient.format = 32;
        e.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        XSendEvent(display, window, False, NoEventMask, &e);
        XSync(display, False);
        for (int i = 0; i < 500; ++i)
        {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid)
            {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            settle(0.02);
        }
        return -1;
    }
    static void settle(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }
    // Window coordinates are screen coordinates: the tool's window sits at 0,0.
    static void xdotool(const std::string& args)
    {
        const std::string command = "xdotool " + args;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        settle(0.3);
    }
    static std::string at(double x, double y, double scale = 1.0)
    {
        return std::to_string(static_cast<int>((x + 0.5) * scale)) + " " +
               std::to_string(static_cast<int>((y + 0.5) * scale));
    }
    std::string output() const
    {
        std::ifstream in(folder / "stdout");
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    // The effect's state chunk inside a saved program file.
    std::vector<unsigned char> savedChunk(const fs::path& path) const
    {
        std::ifstream in(path, std::ios::binary);
        const std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (file.size() < 60 + StateChunk::kSize || std::string(file.begin() + 8, file.begin() + 12) != "FPCh")
            return {};
        return std::vector<unsigned char>(file.begin() + 60, file.end());
    }
    static int32_t point(const std::vector<unsigned char>& chunk, int i)
    {
        return StateChunk::read<int32_t>(chunk.data(), StateChunk::kCurve + 4 * i);
    }
    // The window's pixel at window coordinates, as 0xRRGGBB.
    uint32_t pixel(int x, int y)
    {
        XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image)
            return 0;
        const auto p = static_cast<uint32_t>(XGetPixel(image, 0, 0) & 0xffffff);
        XDestroyImage(image);
        return p;
    }

    Display* display = nullptr;
    pid_t pid = -1;
    Window window = 0;
    const fs::path folder = fs::temp_directory_path() / ("vsthost-edit-" + std::to_string(getpid()));
};

TEST_F(VsthostEdit, UndoAndRedoFromTheWindowsKeyboardReachTheSavedState)
{
    const fs::path saved = folder / "state.fxp";
    start({"--save", saved.string()});
    // Curve A, then curve B over the same columns, then a slider.
    xdotool("mousemove " + at(80, 143) + " mousedown 1 mousemove --sync " + at(90, 153) + " mouseup 1");
    xdotool("mousemove " + at(80, 193) + " mousedown 1 mousemove --sync " + at(90, 203) + " mouseup 1");
    xdotool("mousemove " + at(26, 25) + " mousedown 1 mousemove --sync " + at(200, 25) + " mouseup 1");
    const size_t beforeUndo = output().size();
    // The keys go to the editor while the pointer is over it.
    xdotool("mousemove " + at(150, 5) + " key ctrl+z");         // the slider back
    xdotool("key ctrl+z");                                       // curve B back to curve A
    xdotool("key ctrl+shift+z key ctrl+z key ctrl+y key ctrl+z"); // B, A, B, A
    ASSERT_EQ(closeAndWait(), 0);

    const std::vector<unsigned char> chunk = savedChunk(saved);
    ASSERT_EQ(chunk.size(), StateChunk::kSize);
    EXPECT_EQ(point(chunk, 10), 40) << "curve A";
    EXPECT_EQ(point(chunk, 20), 50);
    EXPECT_FLOAT_EQ(StateChunk::read<float>(chunk.data(), StateChunk::kPreGain), 0.5f);
    // The host heard the slider's undo as an edit: begin, the value, end.
    const std::string undone = output().substr(beforeUndo);
    const size_t begin = undone.find("PreGain: begin");
    const size_t value = undone.find("PreGain = 0.5000");
    const size_t end = undone.find("PreGain: end");
    ASSERT_NE(begin, std::string::npos) << undone;
    EXPECT_LT(begin, value) << undone;
    EXPECT_LT(value, end) << undone;
    EXPECT_NE(end, std::string::npos) << undone;
}

TEST_F(VsthostEdit, HalfShowsTheBandPassSwitchAndTwiceTheResolutionTwiceTheWindow)
{
    // Pre FlTy at 0.5 runs the band-pass: the middle segment is lit, the left not.
    start({"--set", "5=0.5", "--quiet"});
    const uint32_t middle = pixel(6 + 30, 153 + 4);
    const uint32_t left = pixel(6 + 10, 153 + 4);
    EXPECT_GT(middle >> 16, 0xc0u) << std::hex << middle << " is no lit orange";
    EXPECT_LT(left >> 16, 0x60u) << std::hex << left;
    ASSERT_EQ(closeAndWait(), 0);

    const std::string dpi = "Xft.dpi:\t192\n";
    XChangeProperty(display, DefaultRootWindow(display), XInternAtom(display, "RESOURCE_MANAGER", False), XA_STRING,
                    8, PropModeReplace, reinterpret_cast<const unsigned char*>(dpi.c_str()),
                    static_cast<int>(dpi.size()));
    XSync(display, False);
    start({});
    XWindowAttributes attributes{};
    ASSERT_TRUE(XGetWindowAttributes(display, window, &attributes));
    EXPECT_EQ(attributes.width, 600);
    EXPECT_EQ(attributes.height, 640);
    xdotool("mousemove " + at(56, 160, 2.0) + " click 1"); // the switch's right third
    const std::string shot = std::string(DC_ARTIFACT_DIR) + "/vsthost-edit-2x.png";
    EXPECT_EQ(std::system(("import -window " + std::to_string(window) + " '" + shot + "'").c_str()), 0);
    ASSERT_EQ(closeAndWait(), 0);
    EXPECT_NE(output().find("Pre FlTy = 1.0000"), std::string::npos) << output();
}
}
