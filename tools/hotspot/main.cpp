// hotspot-standin: stands in for the partner portable hotspot program on X11. It shows a window
// with the partner's class and title and, unless told --single, keeps a second process of its
// own executable running, as the partner does.
//
// usage: hotspot-standin [--single] [--no-pid]
//   --single   no second process (the app then counts the partner as absent)
//   --no-pid   no _NET_WM_PID on the window (its owner is then found through X-Resource)
//
// SIGUSR1 closes the window while the processes keep running; SIGTERM or SIGINT ends both.
// Once the window is up, one line "ready <window id> <pid>" is written to standard output.

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

constexpr char PartnerClass[] = "OrvexTlxAPPopLayeredWindow";
constexpr char PartnerTitle[] = "Orvex随身WiFi";
constexpr char Instance[] = "hotspot-standin";
constexpr char CompanionFlag[] = "--companion";
constexpr std::uint16_t WindowWidth = 320;
constexpr std::uint16_t WindowHeight = 120;
constexpr std::uint32_t WindowColour = 0x2d6cdf;
constexpr int PollMilliseconds = 100;

volatile std::sig_atomic_t quitRequested = 0;
volatile std::sig_atomic_t closeWindowRequested = 0;

void OnQuit(int) { quitRequested = 1; }
void OnCloseWindow(int) { closeWindowRequested = 1; }

void InstallHandler(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

struct TOptions {
  bool single = false;
  bool withPid = true;
};

bool ParseOptions(int argc, char** argv, TOptions& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--single") {
      options.single = true;
    } else if (arg == "--no-pid") {
      options.withPid = false;
    } else {
      std::fprintf(stderr, "usage: %s [--single] [--no-pid]\n", argv[0]);
      return false;
    }
  }
  return true;
}

// The signals that end the stand-in.
sigset_t QuitSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  return signals;
}

// The second process: it only waits, and ends with its parent. The quit signals stay blocked
// except inside sigsuspend, so one that comes between the flag's check and the wait is held
// until the wait instead of being lost.
int RunCompanion(pid_t parent) {
  const sigset_t quitSignals = QuitSignals();
  sigset_t waitMask;
  sigprocmask(SIG_BLOCK, &quitSignals, &waitMask);
  sigdelset(&waitMask, SIGTERM);
  sigdelset(&waitMask, SIGINT);
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != parent) {
    return 0;  // the parent ended before the death signal was armed
  }
  while (quitRequested == 0) {
    sigsuspend(&waitMask);
  }
  return 0;
}

pid_t StartCompanion() {
  const pid_t parent = getpid();
  // The real path, so that the companion's command name is ours too (not "exe").
  char self[PATH_MAX] = {};
  if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) {
    std::strcpy(self, "/proc/self/exe");
  }
  // The child starts with the quit signals blocked: one sent before it has exec'd stays
  // pending through the exec (a handler of ours would have taken it and the exec forgotten it),
  // and the companion takes it once it waits.
  const sigset_t quitSignals = QuitSignals();
  sigset_t before;
  sigprocmask(SIG_BLOCK, &quitSignals, &before);
  const pid_t child = fork();
  if (child != 0) {
    sigprocmask(SIG_SETMASK, &before, nullptr);
  } else {
    char parentText[32];
    std::snprintf(parentText, sizeof parentText, "%d", static_cast<int>(parent));
    execl(self, Instance, CompanionFlag, parentText, static_cast<char*>(nullptr));
    _exit(RunCompanion(parent));  // exec failed: the forked copy still has our executable
  }
  return child;
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
  const auto cookie = xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr);
  const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(reply);
  return atom;
}

void SetProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                 std::uint8_t format, std::uint32_t count, const void* data) {
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, property, type, format, count, data);
}

xcb_window_t CreatePartnerWindow(xcb_connection_t* c, xcb_screen_t* screen, bool withPid) {
  const xcb_window_t window = xcb_generate_id(c);
  const std::uint32_t values[] = {WindowColour};
  xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, WindowWidth, WindowHeight,
                    0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL,
                    values);
  // WM_CLASS is "instance\0class\0".
  char wmClass[sizeof Instance + sizeof PartnerClass];
  std::memcpy(wmClass, Instance, sizeof Instance);
  std::memcpy(wmClass + sizeof Instance, PartnerClass, sizeof PartnerClass);
  SetProperty(c, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof wmClass, wmClass);
  const xcb_atom_t utf8 = Atom(c, "UTF8_STRING");
  const auto titleLength = static_cast<std::uint32_t>(std::strlen(PartnerTitle));
  SetProperty(c, window, Atom(c, "_NET_WM_NAME"), utf8, 8, titleLength, PartnerTitle);
  SetProperty(c, window, XCB_ATOM_WM_NAME, utf8, 8, titleLength, PartnerTitle);
  if (withPid) {
    const auto pid = static_cast<std::uint32_t>(getpid());
    SetProperty(c, window, Atom(c, "_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
  }
  xcb_map_window(c, window);
  // A round trip: the window and its properties exist on the server when this returns.
  std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  return window;
}

// Serves the display until asked to quit or the display goes away.
void RunWindow(xcb_connection_t* c, xcb_window_t window) {
  bool windowOpen = true;
  pollfd display{xcb_get_file_descriptor(c), POLLIN, 0};
  while (quitRequested == 0 && xcb_connection_has_error(c) == 0) {
    if (closeWindowRequested != 0 && windowOpen) {
      xcb_destroy_window(c, window);
      xcb_flush(c);
      windowOpen = false;
    }
    if (poll(&display, 1, PollMilliseconds) < 0 && errno != EINTR) {
      break;
    }
    while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
      std::free(event);
    }
  }
}

void StopCompanion(pid_t companion) {
  if (companion > 0) {
    kill(companion, SIGTERM);
    waitpid(companion, nullptr, 0);
  }
}

}  // namespace

int main(int argc, char** argv) {
  InstallHandler(SIGTERM, OnQuit);
  InstallHandler(SIGINT, OnQuit);
  InstallHandler(SIGUSR1, OnCloseWindow);
  if (argc == 3 && std::string_view(argv[1]) == CompanionFlag) {
    return RunCompanion(static_cast<pid_t>(std::atoi(argv[2])));
  }
  TOptions options;
  if (!ParseOptions(argc, argv, options)) {
    return 2;
  }

  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c) != 0) {
    std::fprintf(stderr, "hotspot-standin: cannot open the display\n");
    xcb_disconnect(c);
    return 1;
  }
  const pid_t companion = options.single ? 0 : StartCompanion();
  xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  const xcb_window_t window = CreatePartnerWindow(c, screen, options.withPid);
  std::printf("ready 0x%x %d\n", window, static_cast<int>(getpid()));
  std::fflush(stdout);

  RunWindow(c, window);
  StopCompanion(companion);
  xcb_disconnect(c);
  return 0;
}
