#pragma once

// A sound server of the test's own (the fixture script's server in a fresh
// folder), for tests that stop, restart or freeze it: the shared server of
// the "pulse" and "pipewire" tests is never touched. It is the kind of server
// the test runs against (SONACAP_SOUND_SERVER: PulseAudio unless it says
// "pipewire"). While the object lives, PULSE_SERVER of this process points at
// it; the destructor thaws, stops and removes it and restores PULSE_SERVER.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "SpawnWithOutput.h"

class PrivateSoundServer {
public:
    PrivateSoundServer()
    {
        char pattern[] = "/tmp/sonacap-snd-XXXXXX";
        if (mkdtemp(pattern))
            dir = pattern;
        const char* old = std::getenv("PULSE_SERVER");
        hadServer = old != nullptr;
        if (old)
            previousServer = old;
        setenv("PULSE_SERVER", Address().c_str(), 1);
        started = !dir.empty() && Start();
    }
    ~PrivateSoundServer()
    {
        Thaw();
        if (!dir.empty()) {
            Run("stop");
            RemoveTree(dir);
        }
        if (hadServer)
            setenv("PULSE_SERVER", previousServer.c_str(), 1);
        else
            unsetenv("PULSE_SERVER");
    }
    PrivateSoundServer(const PrivateSoundServer&) = delete;
    PrivateSoundServer& operator=(const PrivateSoundServer&) = delete;

    // The tests run against PipeWire (else PulseAudio).
    static bool PipeWire()
    {
        const char* server = std::getenv("SONACAP_SOUND_SERVER");
        return server && std::string(server) == "pipewire";
    }

    bool Ok() const { return started; }
    std::string Address() const { return "unix:" + dir + "/native"; }
    // (Re)starts the server on the same socket; true when it answers.
    bool Start() { return Run("start"); }
    // Ends the server as a crash or a logout would for its clients.
    bool Stop() { return Run("stop"); }
    // A hung server: the process that moves the sound (the PulseAudio daemon,
    // or pipewire, whose graph every stream runs in) stops but keeps its
    // sockets; no stream gets or gives anything until it thaws.
    bool Freeze() { return Signal(SIGSTOP); }
    bool Thaw() { return Signal(SIGCONT); }
    // The fixture's input (test_in) reads this FIFO.
    std::string InputFifo() const { return dir + "/test_in.fifo"; }

private:
    bool Run(const char* action)
    {
        const std::string script = std::string(SONACAP_TEST_SOURCE_DIR) + "/tests/pulse/" +
                                   (PipeWire() ? "pipewire-fixture.sh" : "pulse-fixture.sh");
        const pid_t pid = SpawnWithOutput({"bash", script, action, dir}, "/dev/null");
        if (pid < 0)
            return false;
        int status = 0;
        while (waitpid(pid, &status, 0) < 0) {
        }
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    bool Signal(int sig)
    {
        std::ifstream file(dir + "/daemon.pid");
        pid_t pid = 0;
        if (!(file >> pid) || pid <= 0)
            return false;
        return kill(pid, sig) == 0;
    }
    static void RemoveTree(const std::string& path)
    {
        const char* argv[] = {"rm", "-rf", path.c_str(), nullptr};
        pid_t pid = -1;
        if (posix_spawnp(&pid, "rm", nullptr, nullptr, const_cast<char**>(argv), environ) == 0) {
            int status = 0;
            waitpid(pid, &status, 0);
        }
    }

    std::string dir;
    std::string previousServer;
    bool hadServer = false;
    bool started = false;
};
