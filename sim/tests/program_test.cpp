// The vilo-sim program as a script drives it: read its ports and READY line,
// talk to a port, stop it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "host_port.h"
#include "vilosim.h"

extern char** environ;

using namespace simtest;

namespace {

struct Program {
    pid_t pid = -1;
    int in = -1;   // its standard input
    int out = -1;  // its standard output
    std::string buffered;

    explicit Program(const std::vector<std::string>& args) {
        int to[2], from[2];
        if (::pipe2(to, O_CLOEXEC) != 0 || ::pipe2(from, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, to[0], 0);
        posix_spawn_file_actions_adddup2(&actions, from[1], 1);
        std::vector<char*> argv;
        std::string program = VILO_SIM_PROGRAM;
        argv.push_back(program.data());
        std::vector<std::string> copy = args;
        for (auto& a : copy) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(to[0]);
        ::close(from[1]);
        in = to[1];
        out = from[0];
        if (rc != 0) throw std::runtime_error("posix_spawn");
    }

    ~Program() {
        if (in >= 0) ::close(in);
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        ::close(out);
    }

    // The next line of its output (without the newline); empty at EOF or timeout.
    std::string line(std::chrono::milliseconds timeout = 10000ms) {
        const auto deadline = Clock::now() + timeout;
        for (;;) {
            if (const auto nl = buffered.find('\n'); nl != std::string::npos) {
                std::string l = buffered.substr(0, nl);
                buffered.erase(0, nl + 1);
                return l;
            }
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            pollfd p{out, POLLIN, 0};
            if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) return {};
            char buf[256];
            const ssize_t n = ::read(out, buf, sizeof buf);
            if (n <= 0) return {};
            buffered.append(buf, static_cast<std::size_t>(n));
        }
    }

    // Waits until it exits (its output closes) and gives the wait status.
    int wait_exit(std::chrono::milliseconds timeout = 10000ms) {
        while (true) {
            pollfd p{out, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return -1;
            char buf[256];
            if (::read(out, buf, sizeof buf) <= 0) break;
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        pid = -1;
        return status;
    }
};

TEST(Program, PublishesReportsReadyAndStopsOnRequest) {
    const struct {
        const char* how;
        int signal;  // 0: close its standard input
    } cases[] = {{"end of input", 0}, {"SIGTERM", SIGTERM}, {"SIGINT", SIGINT}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        char templ[] = "/tmp/vilosim-test-XXXXXX";
        ASSERT_NE(::mkdtemp(templ), nullptr);
        const std::filesystem::path dir = templ;
        Program p({"--port-dir", dir.string(), "--line", "COM3", "--device", "addr=5,id=34,serial=513",
                   "--device", "addr=6", "--line", "COM4"});
        const std::string com3 = p.line(), com4 = p.line(), ready = p.line();
        EXPECT_TRUE(com3.starts_with("COM3 /dev/pts/")) << com3;
        EXPECT_TRUE(com4.starts_with("COM4 /dev/pts/")) << com4;
        ASSERT_EQ(ready, "READY " + dir.string());
        {
            HostPort host(dir / "COM3", 9600);
            EXPECT_EQ(host.exchange(vilosim::request("5;0;")), answer(5, "34"));
            EXPECT_EQ(host.exchange(vilosim::request("6;0;")), answer(6, "18"));
            // The sample map beside the program puts ZNum at cell 24.
            EXPECT_EQ(host.exchange(vilosim::request("5;2;24;")), answer(5, "$0"));
            EXPECT_EQ(host.exchange(vilosim::request("5;8;2;")), answer(5, "0102"));
        }
        if (c.signal == 0) {
            ::close(p.in);
            p.in = -1;
        } else {
            ::kill(p.pid, c.signal);
        }
        const int status = p.wait_exit();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_FALSE(std::filesystem::exists(dir / "COM3"));
        EXPECT_FALSE(std::filesystem::exists(dir / "COM4"));
        std::filesystem::remove_all(dir);
    }
}

TEST(Program, RefusesBadArguments) {
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus"}, {"--device"}, {"--device", "addr=256"}, {"--device", "colour=red"}, {"--latency", "x"}};
    for (const auto& args : cases) {
        Program p(args);
        const int status = p.wait_exit();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << args[0] << " " << status;
    }
}

}  // namespace
