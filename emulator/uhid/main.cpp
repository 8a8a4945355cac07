// kb_uhid_keyboard: the built-in keyboard presented to the Linux kernel
// through /dev/uhid, so that programs reach it as a real HID device.
//
// Commands, one a line on standard input, each answered by one line:
//   state             "state Name=value ..." (the firmware's current state)
//   stored            "stored Name=value ..." (the copy "store" kept)
//   set Name=value .. replace fields of the state          -> "ok"
//   event             send one event report                -> "ok"
//   unplug / plug     destroy / re-create the devices      -> "ok"
//   clock on|off      let the live values move in real time -> "ok"
//   advance MS        move the firmware's clock by MS ms    -> "ok"
//   events MS         an event report every MS ms (0: none) -> "ok"
//   received          "received MS:TYPE[.ASKED] ..." the output reports that
//                     came since the last "received", with the milliseconds
//                     since the program started (a test sees what a program sent)
//   unplug-on TYPE    unplug once an output report of TYPE has been answered
//                     (a keyboard pulled out in the middle of a sequence) -> "ok"
//   quit
// Failures answer "error <text>". The end of standard input ends the program.
// SIGUSR1 unplugs and SIGUSR2 plugs the keyboard back in; SIGINT and SIGTERM
// end the program.

#include "emulator/KeyboardFirmware.h"
#include "emulator/StatusText.h"
#include "emulator/uhid/UhidKeyboard.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Args {
    uint16_t productId = 0x0705;
    bool clock = false;
    uint32_t seed = 1;
};

bool ParseArgs(int argc, char** argv, Args& args) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--product" && i + 1 < argc)
            args.productId = static_cast<uint16_t>(std::strtoul(argv[++i], nullptr, 0));
        else if (arg == "--seed" && i + 1 < argc)
            args.seed = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 0));
        else if (arg == "--clock")
            args.clock = true;
        else
            return false;
    }
    return true;
}

void Answer(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

class Front {
public:
    explicit Front(const Args& args)
        : m_firmware(args.productId, args.seed), m_keyboard(m_firmware), m_clock(args.clock) {
        m_keyboard.OnOutput = [this](const protocol::Report& r) { Received(r); };
    }

    bool Start() {
        std::string error;
        if (!m_keyboard.Plug(&error)) {
            Answer("error " + error);
            return false;
        }
        Answer("ready");
        return true;
    }

    // Returns false when the program should end.
    bool Command(const std::string& line) {
        const auto space = line.find(' ');
        const std::string verb = line.substr(0, space);
        const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
        if (verb == "state") {
            Answer("state " + FormatStatus(m_firmware.State()));
        } else if (verb == "stored") {
            Answer("stored " + FormatStatus(m_firmware.Stored()));
        } else if (verb == "set") {
            DeviceStatus s = m_firmware.State();
            if (ParseStatus(rest, s)) {
                m_firmware.SetState(s);
                Answer("ok");
            } else {
                Answer("error bad fields");
            }
        } else if (verb == "event") {
            m_firmware.SendEvent();
            Answer("ok");
        } else if (verb == "unplug") {
            m_keyboard.Unplug();
            Answer("ok");
        } else if (verb == "plug") {
            std::string error;
            Answer(m_keyboard.Plug(&error) ? "ok" : "error " + error);
        } else if (verb == "clock" && (rest == "on" || rest == "off")) {
            m_clock = rest == "on";
            m_nextTick = Clock::now() + KeyboardFirmware::Tick;
            Answer("ok");
        } else if (verb == "advance") {
            m_firmware.Advance(std::chrono::milliseconds(std::strtol(rest.c_str(), nullptr, 10)));
            Answer("ok");
        } else if (verb == "events") {
            m_firmware.SetEventInterval(
                std::chrono::milliseconds(std::strtol(rest.c_str(), nullptr, 10)));
            Answer("ok");
        } else if (verb == "received") {
            Answer("received" + m_received);
            m_received.clear();
        } else if (verb == "unplug-on") {
            m_unplugOn = static_cast<int>(std::strtol(rest.c_str(), nullptr, 10));
            Answer("ok");
        } else if (verb == "quit") {
            return false;
        } else if (!verb.empty()) {
            Answer("error unknown command");
        }
        m_keyboard.Flush();
        return true;
    }

    int Run() {
        sigset_t signals;
        sigemptyset(&signals);
        for (int s : {SIGUSR1, SIGUSR2, SIGINT, SIGTERM})
            sigaddset(&signals, s);
        sigprocmask(SIG_BLOCK, &signals, nullptr);
        const int signalFd = signalfd(-1, &signals, SFD_CLOEXEC);

        if (!Start())
            return 2;
        m_nextTick = Clock::now() + KeyboardFirmware::Tick;
        std::string pending;
        bool stdinOpen = true;
        while (stdinOpen) {
            std::vector<pollfd> fds{{STDIN_FILENO, POLLIN, 0}, {signalFd, POLLIN, 0}};
            for (int fd : m_keyboard.Fds())
                fds.push_back({fd, POLLIN, 0});
            int timeout = -1;
            if (m_clock) {
                const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
                    m_nextTick - Clock::now());
                timeout = static_cast<int>(std::max<long long>(wait.count(), 0));
            }
            if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR)
                return 1;

            if (m_clock && Clock::now() >= m_nextTick) {
                m_firmware.Advance(KeyboardFirmware::Tick);
                m_nextTick += KeyboardFirmware::Tick;
                m_keyboard.Flush();
            }
            for (std::size_t i = 2; i < fds.size(); ++i)
                if (fds[i].revents & POLLIN)
                    m_keyboard.HandleEvent(fds[i].fd);
            if (m_unplugNow) {
                m_unplugNow = false;
                m_keyboard.Unplug();
            }
            if (fds[1].revents & POLLIN) {
                signalfd_siginfo info{};
                if (read(signalFd, &info, sizeof(info)) == sizeof(info)) {
                    if (info.ssi_signo == SIGUSR1)
                        m_keyboard.Unplug();
                    else if (info.ssi_signo == SIGUSR2)
                        m_keyboard.Plug(nullptr);
                    else
                        break;
                }
            }
            if (fds[0].revents & (POLLIN | POLLHUP)) {
                char buffer[1024];
                const ssize_t n = read(STDIN_FILENO, buffer, sizeof(buffer));
                if (n <= 0)
                    break;
                pending.append(buffer, static_cast<std::size_t>(n));
                std::size_t end;
                while (stdinOpen && (end = pending.find('\n')) != std::string::npos) {
                    stdinOpen = Command(pending.substr(0, end));
                    pending.erase(0, end + 1);
                }
            }
        }
        m_keyboard.Unplug();
        return 0;
    }

private:
    void Received(const protocol::Report& r) {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_started);
        m_received += " " + std::to_string(ms.count()) + ":" + std::to_string(r[1]);
        if (r[1] == protocol::CmdRequest)
            m_received += "." + std::to_string(r[2]);
        if (r[1] == m_unplugOn) {
            m_unplugOn = -1;
            m_unplugNow = true;
        }
    }

    KeyboardFirmware m_firmware;
    UhidKeyboard m_keyboard;
    bool m_clock;
    Clock::time_point m_nextTick;
    const Clock::time_point m_started = Clock::now();
    std::string m_received;
    int m_unplugOn = -1;
    bool m_unplugNow = false;
};

} // namespace

int main(int argc, char** argv) {
    Args args;
    if (!ParseArgs(argc, argv, args)) {
        std::fprintf(stderr, "usage: %s [--product 0xNNNN] [--seed N] [--clock]\n", argv[0]);
        return 2;
    }
    Front front(args);
    return front.Run();
}
