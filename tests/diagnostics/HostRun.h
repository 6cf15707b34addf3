#pragma once

// One run of tests/diagnostics/CrashingHost.cpp as a child process.
#include <QFile>
#include <QString>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace brelvo::test {

using namespace std::chrono_literals;

// One run of the crashing host, in a home folder of its own.
class HostRun {
public:
    explicit HostRun(QString home) : home_(std::move(home)) {}

    // confirm: the BRELVO_CRASH_AUTO_CONFIRM value; a null one leaves it unset.
    bool spawn(const QString& mode, const QString& url, const QByteArray& confirm = "1", int sessionMs = 15000,
               const std::vector<std::string>& extraEnv = {}) {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            const std::string name = entry.substr(0, entry.find('='));
            if (name != "BRELVO_HOME" && name != "ASAN_OPTIONS" && name != "UBSAN_OPTIONS" &&
                name != "BRELVO_CRASH_AUTO_CONFIRM" && name != "QT_QPA_PLATFORM")
                env.push_back(entry);
        }
        env.push_back("BRELVO_HOME=" + home_.toStdString());
        env.push_back("QT_QPA_PLATFORM=offscreen");
        if (!confirm.isNull()) env.push_back("BRELVO_CRASH_AUTO_CONFIRM=" + confirm.toStdString());
        // The signals are the library's to handle, not the sanitizers'.
        env.push_back("ASAN_OPTIONS=handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_abort=0:handle_sigill=0:"
                      "detect_leaks=0:allow_user_segv_handler=1:use_sigaltstack=0");
        env.push_back("UBSAN_OPTIONS=handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_abort=0:handle_sigill=0");
        env.insert(env.end(), extraEnv.begin(), extraEnv.end());
        std::vector<char*> envp;
        for (std::string& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);

        std::string program = CRASHING_HOST, m = mode.toStdString(), u = url.toStdString(),
                    s = std::to_string(sessionMs);
        char* argv[] = {program.data(), m.data(), u.data(), s.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string log = (home_ + "/host-" + mode + ".log").toStdString();
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        const int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        logPath_ = QString::fromStdString(log);
        return rc == 0;
    }

    // Waits for the end of the run; false when it outlived the deadline.
    bool wait(std::chrono::milliseconds deadline = 30s) {
        const auto end = std::chrono::steady_clock::now() + deadline;
        while (std::chrono::steady_clock::now() < end) {
            const pid_t r = waitpid(pid_, &status_, WNOHANG);
            if (r == pid_) {
                pid_ = -1;
                return true;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }
    void kill9() {
        if (pid_ > 0) ::kill(pid_, SIGKILL);
    }
    ~HostRun() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    int status() const { return status_; }
    QString output() const {
        QFile file(logPath_);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    QString documents() const { return home_ + "/Documents"; }

private:
    QString home_;
    QString logPath_;
    pid_t pid_ = -1;
    int status_ = 0;
};

}  // namespace brelvo::test
