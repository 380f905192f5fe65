// vsthost edit and auhost edit as a user runs them: the tool as a process of
// its own on a private Xvfb display, found by its window title, driven with
// real pointer events, closed the way a window manager closes windows, and
// its output, exit status, screenshots and saved state checked.
#include "engine/StateChunk.h"

#include <gtest/gtest.h>
// After gtest: Xlib's macros clash with its names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace
{

std::string readFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

int ignoreErrors(Display*, XErrorEvent*)
{
    return 0;
}

class EditCommand : public ::testing::Test
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
        // The AudioUnit tools write presets and factory files under HOME.
        setenv("HOME", (folder / "home").c_str(), 1);
        setenv("TWINFOLD_LOCAL_DOMAIN", (folder / "local").c_str(), 1);
    }
    void TearDown() override
    {
        if (pid > 0)
        {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (display)
            XCloseDisplay(display);
        fs::remove_all(folder);
    }

    // Starts the tool; stdout and stderr go to files. `withDisplay` false
    // starts it without DISPLAY.
    void start(const std::vector<std::string>& arguments, bool withDisplay = true)
    {
        pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0)
        {
            const int out = open((folder / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = open((folder / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, 1);
            dup2(err, 2);
            if (!withDisplay)
                unsetenv("DISPLAY");
            std::vector<char*> argv;
            for (const std::string& a : arguments)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
    }

    // The exit status, or -1 when the tool is still running after `seconds`.
    int finish(double seconds = 20)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end)
        {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid)
            {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }

    // The tool's top-level window, found by the start of its title.
    Window waitForWindow(const std::string& titlePrefix, double seconds = 20)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end)
        {
            Window root = 0, parent = 0, *children = nullptr;
            unsigned count = 0;
            if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
            {
                Window found = 0;
                for (unsigned i = 0; i < count && !found; ++i)
                {
                    char* name = nullptr;
                    XWindowAttributes a{};
                    if (XFetchName(display, children[i], &name) && name)
                    {
                        if (std::string(name).rfind(titlePrefix, 0) == 0 && XGetWindowAttributes(display, children[i], &a) &&
                            a.map_state == IsViewable)
                            found = children[i];
                        XFree(name);
                    }
                }
                if (children)
                    XFree(children);
                if (found)
                {
                    settle(0.4); // the editor's first picture
                    return found;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return 0;
    }

    // What a window manager sends when the user closes the window.
    void askToClose(Window window)
    {
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = window;
        e.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        e.xclient.format = 32;
        e.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        e.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &e);
        XSync(display, False);
    }

    static void settle(double seconds)
    {
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    }

    static void xdotool(const std::string& args)
    {
        const std::string command = "xdotool " + args;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        settle(0.3);
    }

    void screenshot(Window window, const std::string& name)
    {
        const std::string path = std::string(DC_ARTIFACT_DIR) + "/" + name;
        const std::string command = "import -window " + std::to_string(window) + " '" + path + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        EXPECT_GT(fs::file_size(path), 1000u);
    }

    std::string out() { return readFile(folder / "stdout"); }
    std::string err() { return readFile(folder / "stderr"); }

    Display* display = nullptr;
    pid_t pid = -1;
    const fs::path folder = fs::temp_directory_path() / ("edit-command-" + std::to_string(getpid()));
};

// A soft knee across the curve area (70,103, 128 x 128), with a move for
// every few columns.
std::string kneeDrag()
{
    std::string a = "mousemove --sync 75 227 mousedown 1";
    for (int x = 80; x <= 190; x += 4)
    {
        const double t = (x - 75) / 115.0;
        const int y = 227 - static_cast<int>(100.0 * (1.0 - (1.0 - t) * (1.0 - t)));
        a += " mousemove --sync " + std::to_string(x) + " " + std::to_string(y);
    }
    return a + " mouseup 1";
}

TEST_F(EditCommand, VsthostEditPrintsChangesAndSavesTheStateWhenTheWindowIsClosed)
{
    const fs::path saved = folder / "state.fxp";
    start({DC_VSTHOST, "edit", DC_VST_PLUGIN, "--save", saved.string()});
    const Window window = waitForWindow("vsthost:");
    ASSERT_NE(window, 0u) << err();
    // Window coordinates are screen coordinates: the window sits at 0,0.
    xdotool("mousemove --sync 26 25 mousedown 1 mousemove --sync 120 25 mousemove --sync 200 25 mouseup 1");
    xdotool("mousemove --sync 36 160 click 1");
    xdotool(kneeDrag());
    settle(0.3);
    screenshot(window, "vsthost-edit.png");
    askToClose(window);
    EXPECT_EQ(finish(), 0) << err();
    const std::string text = out();
    EXPECT_NE(text.find("PreGain: begin"), std::string::npos) << text;
    EXPECT_NE(text.find("PreGain = "), std::string::npos) << text;
    EXPECT_NE(text.find("PreGain: end"), std::string::npos) << text;
    EXPECT_NE(text.find("Pre FlTy = "), std::string::npos) << text;
    // The drawn curve is named as the curve, and the host hears that the state changed.
    EXPECT_NE(text.find("curve: begin\ncurve: end\nstate changed (updateDisplay)\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("parameter 10"), std::string::npos) << text;
    EXPECT_NE(text.find("wrote program " + saved.string()), std::string::npos) << text;
    const std::string state = readFile(saved);
    ASSERT_GE(state.size(), 60u);
    EXPECT_EQ(state.substr(0, 4), "CcnK");

    // The saved state comes back with --preset: the filter type clicked stays.
    start({DC_VSTHOST, "info", DC_VST_PLUGIN, "--preset", saved.string()});
    EXPECT_EQ(finish(), 0) << err();
    const std::string info = out();
    const size_t row = info.find("Pre FlTy");
    ASSERT_NE(row, std::string::npos) << info;
    EXPECT_NE(info.substr(row, info.find('\n', row) - row).find("0.6667"), std::string::npos) << info;
}

TEST_F(EditCommand, AuhostEditEmbedsTheViewPrintsWhatTheHostHearsAndSavesTheState)
{
    const fs::path saved = folder / "state.aupreset";
    start({DC_AUHOST, "edit", DC_AU_BUNDLE, "--save", saved.string()});
    const Window window = waitForWindow("auhost:");
    ASSERT_NE(window, 0u) << err();
    xdotool("mousemove --sync 26 25 mousedown 1 mousemove --sync 120 25 mousemove --sync 200 25 mouseup 1");
    xdotool("mousemove --sync 275 160 click 1");
    xdotool(kneeDrag());
    settle(0.3);
    screenshot(window, "auhost-edit.png");
    askToClose(window);
    EXPECT_EQ(finish(), 0) << err();
    const std::string text = out();
    EXPECT_NE(text.find("PreGain: begin"), std::string::npos) << text;
    EXPECT_NE(text.find("PreGain = "), std::string::npos) << text;
    EXPECT_NE(text.find("PreGain: end"), std::string::npos) << text;
    EXPECT_NE(text.find("PostFlTy: begin"), std::string::npos) << text;
    EXPECT_NE(text.find("curve: begin\ncurve: end\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("parameter 10"), std::string::npos) << "the curve is no parameter the host hears about";
    EXPECT_NE(text.find("wrote " + saved.string()), std::string::npos) << text;
    EXPECT_NE(readFile(saved).find("<key>vstdata</key>"), std::string::npos);

    // The saved state loads again with --state; closing by destroying the window works too.
    start({DC_AUHOST, "edit", DC_AU_BUNDLE, "--state", saved.string(), "--quiet"});
    const Window again = waitForWindow("auhost:");
    ASSERT_NE(again, 0u) << err();
    XDestroyWindow(display, again);
    XSync(display, False);
    EXPECT_EQ(finish(), 0) << err();
}

TEST_F(EditCommand, VsthostEditSurvivesItsWindowBeingDestroyed)
{
    start({DC_VSTHOST, "edit", DC_VST_PLUGIN, "--quiet"});
    const Window window = waitForWindow("vsthost:");
    ASSERT_NE(window, 0u) << err();
    XDestroyWindow(display, window);
    XSync(display, False);
    EXPECT_EQ(finish(), 0) << err();
}

TEST_F(EditCommand, CtrlCClosesTheWindowAsClosingDoesAndTheStateIsSaved)
{
    const fs::path program = folder / "edited.fxp", state = folder / "edited.aupreset";
    for (const auto& [arguments, title, saved] :
         {std::tuple{std::vector<std::string>{DC_VSTHOST, "edit", DC_VST_PLUGIN, "--save", program.string()}, "vsthost:", program},
          std::tuple{std::vector<std::string>{DC_AUHOST, "edit", DC_AU_BUNDLE, "--save", state.string()}, "auhost:", state}})
    {
        start(arguments);
        ASSERT_NE(waitForWindow(title), 0u) << err();
        kill(pid, SIGINT);
        EXPECT_EQ(finish(), 0) << err();
        EXPECT_NE(out().find("wrote "), std::string::npos) << out();
        EXPECT_TRUE(fs::exists(saved)) << saved;
    }
}

TEST_F(EditCommand, WithoutADisplayBothToolsFailClearly)
{
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{DC_VSTHOST, "edit", DC_VST_PLUGIN}, std::vector<std::string>{DC_AUHOST, "edit", DC_AU_BUNDLE}})
    {
        start(arguments, false);
        EXPECT_EQ(finish(), 1) << arguments[0];
        EXPECT_NE(err().find("DISPLAY"), std::string::npos) << err();
    }
}

TEST_F(EditCommand, AStateThatDoesNotLoadStopsBeforeAnyWindowAndOverwritesNothing)
{
    const fs::path bad = folder / "bad.fxp";
    std::ofstream(bad) << "not a preset at all";
    const fs::path saved = folder / "keep.fxp";
    std::ofstream(saved) << "keep me";
    start({DC_VSTHOST, "edit", DC_VST_PLUGIN, "--preset", bad.string(), "--save", saved.string()});
    EXPECT_EQ(finish(), 1);
    EXPECT_NE(err().find(bad.string()), std::string::npos) << err();
    EXPECT_EQ(readFile(saved), "keep me");

    const fs::path badState = folder / "bad.aupreset";
    std::ofstream(badState) << "<plist><dict><key>version</key><integer>7</integer></dict></plist>";
    const fs::path savedState = folder / "keep.aupreset";
    std::ofstream(savedState) << "keep me";
    start({DC_AUHOST, "edit", DC_AU_BUNDLE, "--state", badState.string(), "--save", savedState.string()});
    EXPECT_EQ(finish(), 1);
    EXPECT_NE(err().find(badState.string()), std::string::npos) << err();
    EXPECT_EQ(readFile(savedState), "keep me");
}

// The editor in vsthost edit: undo and redo with the keys, the filter switch,
// the size on a screen of twice the resolution.

// Window coordinates (the window sits at 0,0) of the middle of an artwork pixel.
std::string at(double x, double y, double scale = 1.0)
{
    return std::to_string(static_cast<int>((x + 0.5) * scale)) + " " + std::to_string(static_cast<int>((y + 0.5) * scale));
}

// The effect's state chunk inside a saved program file (after its 60-byte header).
std::vector<unsigned char> programChunk(const std::string& file)
{
    if (file.size() < 60 + StateChunk::kSize || file.compare(8, 4, "FPCh") != 0)
        return {};
    return std::vector<unsigned char>(file.begin() + 60, file.end());
}

uint32_t windowPixel(Display* display, Window window, int x, int y)
{
    XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return 0;
    const auto p = static_cast<uint32_t>(XGetPixel(image, 0, 0) & 0xffffff);
    XDestroyImage(image);
    return p;
}

// Xft.dpi in the X server's resources while it lives, as xrdb would load it.
class ServerDpi
{
public:
    ServerDpi(Display* display, int dpi) : display(display), atom(XInternAtom(display, "RESOURCE_MANAGER", False))
    {
        const std::string text = "Xft.dpi:\t" + std::to_string(dpi) + "\n";
        XChangeProperty(display, DefaultRootWindow(display), atom, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(text.c_str()), static_cast<int>(text.size()));
        XSync(display, False);
    }
    ~ServerDpi()
    {
        XDeleteProperty(display, DefaultRootWindow(display), atom);
        XSync(display, False);
    }
    ServerDpi(const ServerDpi&) = delete;
    ServerDpi& operator=(const ServerDpi&) = delete;

private:
    Display* display;
    Atom atom;
};

TEST_F(EditCommand, VsthostEditUndoAndRedoFromTheWindowsKeyboardReachTheSavedState)
{
    const fs::path saved = folder / "state.fxp";
    start({DC_VSTHOST, "edit", DC_VST_PLUGIN, "--save", saved.string()});
    const Window window = waitForWindow("vsthost:");
    ASSERT_NE(window, 0u) << err();
    // Curve A, then curve B over the same columns, then a slider.
    xdotool("mousemove " + at(80, 143) + " mousedown 1 mousemove --sync " + at(90, 153) + " mouseup 1");
    xdotool("mousemove " + at(80, 193) + " mousedown 1 mousemove --sync " + at(90, 203) + " mouseup 1");
    xdotool("mousemove " + at(26, 25) + " mousedown 1 mousemove --sync " + at(200, 25) + " mouseup 1");
    const size_t beforeUndo = out().size();
    // The keys go to the editor while the pointer is over it.
    xdotool("mousemove " + at(150, 5) + " key ctrl+z");          // the slider back
    xdotool("key ctrl+z");                                       // curve B back to curve A
    xdotool("key ctrl+shift+z key ctrl+z key ctrl+y key ctrl+z"); // B, A, B, A
    askToClose(window);
    ASSERT_EQ(finish(), 0) << err();

    const std::vector<unsigned char> chunk = programChunk(readFile(saved));
    ASSERT_EQ(chunk.size(), StateChunk::kSize);
    EXPECT_EQ(StateChunk::read<int32_t>(chunk.data(), StateChunk::kCurve + 4 * 10), 40) << "curve A";
    EXPECT_EQ(StateChunk::read<int32_t>(chunk.data(), StateChunk::kCurve + 4 * 20), 50);
    EXPECT_FLOAT_EQ(StateChunk::read<float>(chunk.data(), StateChunk::kPreGain), 0.5f);
    // The host heard the slider's undo as an edit: begin, the value, end.
    const std::string undone = out().substr(beforeUndo);
    const size_t begin = undone.find("PreGain: begin");
    const size_t value = undone.find("PreGain = 0.5000");
    const size_t end = undone.find("PreGain: end");
    ASSERT_NE(begin, std::string::npos) << undone;
    ASSERT_NE(end, std::string::npos) << undone;
    EXPECT_LT(begin, value) << undone;
    EXPECT_LT(value, end) << undone;
}

TEST_F(EditCommand, VsthostEditShowsBandPassForHalfAndTwiceTheWindowAtTwiceTheResolution)
{
    // Pre FlTy at 0.5 runs the band-pass: the middle segment is lit, the left not.
    start({DC_VSTHOST, "edit", DC_VST_PLUGIN, "--set", "5=0.5", "--quiet"});
    Window window = waitForWindow("vsthost:");
    ASSERT_NE(window, 0u) << err();
    const uint32_t middle = windowPixel(display, window, 6 + 30, 153 + 4);
    const uint32_t left = windowPixel(display, window, 6 + 10, 153 + 4);
    EXPECT_GT(middle >> 16, 0xc0u) << std::hex << middle << " is no lit orange";
    EXPECT_LT(left >> 16, 0x60u) << std::hex << left;
    askToClose(window);
    ASSERT_EQ(finish(), 0) << err();

    ServerDpi dpi(display, 192);
    start({DC_VSTHOST, "edit", DC_VST_PLUGIN});
    window = waitForWindow("vsthost:");
    ASSERT_NE(window, 0u) << err();
    XWindowAttributes attributes{};
    ASSERT_TRUE(XGetWindowAttributes(display, window, &attributes));
    EXPECT_EQ(attributes.width, 600);
    EXPECT_EQ(attributes.height, 640);
    xdotool("mousemove " + at(56, 160, 2.0) + " click 1"); // the switch's right third
    screenshot(window, "vsthost-edit-2x.png");
    askToClose(window);
    ASSERT_EQ(finish(), 0) << err();
    EXPECT_NE(out().find("Pre FlTy = 1.0000"), std::string::npos) << out();
}

} // namespace
