// zelmont-term HOST PORT LOGIN PASSWORD
//
// A field engineer's terminal to a detector through libzelmont_lib.so: opens one connection with
// the keep-alive poll on, prints every event as one line, sends each line typed on standard input
// with CR LF, and ends the connection at end of input (or when the detector goes away).
#include "kervola_version.h"
#include "zelmont_lib.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr uint32_t TerminalMessage = 0x401;

struct Exports {
    ZelmontInitFn init = nullptr;
    ZelmontBeginFn begin = nullptr;
    ZelmontEndFn end = nullptr;
    ZelmontSendFn send = nullptr;
    ZelmontDataFn data = nullptr;
    ZelmontCleanFn clean = nullptr;
};

std::string executableDir() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) {
        return {};
    }
    std::string dir(path, static_cast<std::size_t>(n));
    return dir.substr(0, dir.rfind('/') + 1);
}

// Beside the executable first, then wherever the loader looks.
void* loadLibrary() {
    const char* name = "libzelmont_lib.so";
    const std::string beside = executableDir() + name;
    if (void* handle = ::dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL)) {
        return handle;
    }
    return ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
}

template <typename Fn> bool bind(void* handle, const char* name, Fn& out) {
    out = reinterpret_cast<Fn>(::dlsym(handle, name));
    if (out == nullptr) {
        std::fprintf(stderr, "zelmont-term: export %s missing\n", name);
    }
    return out != nullptr;
}

const char* eventName(int32_t code) {
    switch (code) {
    case EV_ERROR:
        return "ERROR";
    case EV_CONNECTED:
        return "CONNECTED";
    case EV_DISCONNECTED:
        return "DISCONNECTED";
    case EV_LOGIN_REPLY:
        return "LOGIN_REPLY";
    case EV_LINE:
        return "LINE";
    case EV_STREAM_BEGIN:
        return "STREAM_BEGIN";
    case EV_STREAM_PROGRESS:
        return "STREAM_PROGRESS";
    case EV_STREAM_END:
        return "STREAM_END";
    default:
        return "?";
    }
}

// Detector text is 8-bit; control bytes are shown escaped so they cannot drive the terminal.
std::string printable(const char* text, int32_t size) {
    std::string out;
    for (int32_t i = 0; text != nullptr && i + 1 < size; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7f) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// Prints one notice's event; returns its code (the notice's own when the item is gone).
int32_t printEvent(const Exports& lib, int32_t id, const ZELMONT_NOTICE& notice) {
    DATA_RECORD record{};
    const int32_t code = lib.data(id, &record);
    if (code == 0) {
        std::printf("%d %s (no data)\n", notice.lParam, eventName(notice.lParam));
        return notice.lParam;
    }
    std::printf("%d %s count=%d total=%d", code, eventName(code), record.count, record.total);
    if (record.body != nullptr) {
        std::printf(" body=%d bytes", record.bodySize - 1);
    }
    if (record.line != nullptr) {
        std::printf(" line=%s", printable(record.line, record.lineSize).c_str());
    }
    std::printf("\n");
    std::fflush(stdout);
    lib.clean(&record);
    return code;
}

const char* const Usage = "usage: zelmont-term HOST PORT LOGIN PASSWORD\n"
                         "       zelmont-term --help | --version\n";

int usage() {
    std::fputs(Usage, stderr);
    return 2;
}

void help() {
    std::fputs(Usage, stdout);
    std::fputs("\n"
               "Opens one connection to the detector at HOST:PORT through libzelmont_lib.so,\n"
               "logs in, prints every event as one line and sends each line typed on standard\n"
               "input with CR LF. End of input ends the connection. The library is looked for\n"
               "beside the executable, then in ../lib beside it, then on the library path.\n"
               "Exit codes: 0 normal end, 1 library or connection failure, 2 usage error.\n",
               stdout);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        help();
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("zelmont-term " KERVOLA_VERSION "\n");
        return 0;
    }
    if (argc != 5) {
        return usage();
    }
    char* end = nullptr;
    errno = 0;
    const long port = std::strtol(argv[2], &end, 10);
    if (errno != 0 || end == argv[2] || *end != '\0' || port < 1 || port > 65535) {
        std::fprintf(stderr, "zelmont-term: bad port %s\n", argv[2]);
        return 2;
    }
    void* handle = loadLibrary();
    if (handle == nullptr) {
        std::fprintf(stderr, "Error loading libzelmont_lib.so: %s\n", ::dlerror());
        return 1;
    }
    Exports lib;
    if (!bind(handle, "ZelmontInit", lib.init) || !bind(handle, "ZelmontBegin", lib.begin) ||
        !bind(handle, "ZelmontEnd", lib.end) || !bind(handle, "ZelmontSend", lib.send) ||
        !bind(handle, "ZelmontData", lib.data) || !bind(handle, "ZelmontClean", lib.clean)) {
        return 1;
    }
    int notices[2];
    if (::pipe2(notices, O_NONBLOCK | O_CLOEXEC) != 0 ||
        lib.init(notices[1], TerminalMessage) != 1) {
        std::fprintf(stderr, "zelmont-term: cannot start the library\n");
        return 1;
    }
    const std::string login = std::string(argv[3]) + "\r\n";
    const std::string password = std::string(argv[4]) + "\r\n";
    const int32_t id =
        lib.begin(argv[1], static_cast<int32_t>(port), login.c_str(), password.c_str(), 1);
    if (id == 0) {
        std::fprintf(stderr, "zelmont-term: cannot open a connection\n");
        return 1;
    }

    std::string typed;
    bool inputOpen = true;
    // Input is read only once the detector has answered the login: the library drops anything
    // sent before that, and piped commands would otherwise be lost.
    bool loggedIn = false;
    int status = 0;
    for (;;) {
        pollfd watch[2] = {{notices[0], POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        if (::poll(watch, inputOpen && loggedIn ? 2 : 1, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (watch[0].revents & POLLIN) {
            ZELMONT_NOTICE notice{};
            bool over = false;
            while (::read(notices[0], &notice, sizeof notice) == sizeof notice) {
                if (notice.wParam != id) {
                    continue; // the library's own start notice
                }
                const int32_t code = printEvent(lib, id, notice);
                loggedIn = loggedIn || code == EV_LOGIN_REPLY;
                if (code == EV_ERROR || code == EV_DISCONNECTED) {
                    status = code == EV_ERROR ? 1 : 0;
                    over = true;
                }
            }
            if (over) {
                break;
            }
        }
        if (inputOpen && loggedIn && (watch[1].revents & (POLLIN | POLLHUP))) {
            char chunk[4096];
            const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
            if (n <= 0) {
                inputOpen = false;
                break;
            }
            typed.append(chunk, static_cast<std::size_t>(n));
            std::size_t eol;
            while ((eol = typed.find('\n')) != std::string::npos) {
                std::string line = typed.substr(0, eol);
                typed.erase(0, eol + 1);
                if (!line.empty() && line.back() == '\r') {
                    line.pop_back();
                }
                line += "\r\n";
                lib.send(id, line.c_str(), static_cast<int32_t>(line.size()));
            }
        }
    }
    lib.end(id);
    // The end of a live connection is notified too; show it before leaving.
    pollfd last{notices[0], POLLIN, 0};
    ZELMONT_NOTICE notice{};
    while (::poll(&last, 1, 200) > 0 &&
           ::read(notices[0], &notice, sizeof notice) == sizeof notice) {
        if (notice.wParam == id) {
            printEvent(lib, id, notice);
        }
    }
    return status;
}
