// Crashes of a real host process (crashing_host) against a real brelvo-service:
// what reaches the service, how the process ends, and what the next start
// finds when the process was killed before the report was out.
#include "diagnostics/CrashFile.h"
#include "diagnostics/CrashReportText.h"
#include "diagnostics/HostRun.h"
#include "platform/Defaults.h"
#include "platform/PropertyList.h"
#include "service/ServiceHarness.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace brelvo;
using namespace brelvo::service::test;
using brelvo::test::HostRun;
using namespace std::chrono_literals;

namespace {

// Polls a condition with a deadline (the child runs on its own; nothing to spin here).
bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds deadline = 30s) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(20ms);
    }
    return condition();
}

std::string describe(int status) {
    if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
    if (WIFEXITED(status)) return "exit code " + std::to_string(WEXITSTATUS(status));
    return "status " + std::to_string(status);
}

class CrashHostTest : public ServiceFixture {
protected:
    void SetUp() override {
        ServiceFixture::SetUp();
        ASSERT_TRUE(home_.isValid());
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/").arg(service_.port()); }
    QJsonArray crashes() { return client_->records().value("crashes").toArray(); }
    QVariantList queued(const HostRun& run) {
        Defaults store(run.documents() + "/brelvo-defaults.sqlite");
        return store.object("BrelvoLib_Crashes").toList();
    }
    std::vector<CrashFile::Entry> crashFile(const HostRun& run) {
        return CrashFile::readComplete(run.documents() + "/brelvo-crash.bin");
    }
    QString exitCode(const HostRun& run) {
        return plist::fromData(readFile(run.documents() + "/MorivaFiles/ErrorHandler.plist")).toMap().value("ExitCode").toString();
    }

    QTemporaryDir home_;
};

struct Failure {
    const char* mode;
    int signal;
};

void PrintTo(const Failure& f, std::ostream* out) {
    *out << f.mode << " (signal " << f.signal << ")";
}

class CrashKinds : public CrashHostTest, public ::testing::WithParamInterface<Failure> {};

}  // namespace

TEST_P(CrashKinds, ReportReachesTheServiceAndTheProcessDiesAsItWould) {
    const Failure f = GetParam();
    HostRun run(home_.path());
    ASSERT_TRUE(run.spawn(f.mode, url()));
    ASSERT_TRUE(run.wait()) << run.output().toStdString();
    const std::string output = run.output().toStdString();
    ASSERT_TRUE(run.output().contains("session: yes")) << output;

    EXPECT_TRUE(WIFSIGNALED(run.status()) && WTERMSIG(run.status()) == f.signal)
        << describe(run.status()) << ", wanted signal " << f.signal << "\n" << output;

    const QJsonArray reports = crashes();
    ASSERT_EQ(reports.size(), 1) << output;
    const QJsonObject report = reports[0].toObject();
    const QString log = report.value("log").toString();
    if (QByteArray(f.mode) == "exception") {
        EXPECT_TRUE(log.startsWith("std::runtime_error: crashing host: thrown from a slot\n(\n")) << log.toStdString();
    } else {
        EXPECT_TRUE(log.contains(QStringLiteral("\nSignal %1 was raised. \nSignal defenition:\n").arg(f.signal)))
            << log.toStdString();
        EXPECT_TRUE(log.contains(signalDefenition(f.signal))) << log.toStdString();
    }
    // Readable frames: the host's own function with its source line.
    EXPECT_TRUE(log.contains("CrashingHost.cpp:")) << log.toStdString();
    EXPECT_FALSE(report.value("device_env").toObject().isEmpty());
    EXPECT_FALSE(report.value("session_id").isNull()) << "sent with the session's token";

    EXPECT_EQ(exitCode(run), "2");
    const auto left = crashFile(run);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_TRUE(left[0].delivered) << "delivered at crash time: the next start must not queue it again";
    if (QByteArray(f.mode) == "exception") {
        // One report: the SIGABRT of abort() after the exception is the same failure.
        EXPECT_EQ(left[0].kind, CrashFile::Exception);
        EXPECT_EQ(left[0].text, QByteArray("std::runtime_error\ncrashing host: thrown from a slot"));
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, CrashKinds,
                         ::testing::Values(Failure{"abort", SIGABRT}, Failure{"ill", SIGILL}, Failure{"segv", SIGSEGV},
                                           Failure{"fpe", SIGFPE}, Failure{"bus", SIGBUS}, Failure{"pipe", SIGPIPE},
                                           Failure{"int", SIGINT}, Failure{"sys", SIGSYS}, Failure{"xcpu", SIGXCPU},
                                           Failure{"xfsz", SIGXFSZ}, Failure{"exception", SIGABRT}),
                         [](const auto& info) { return std::string(info.param.mode); });

TEST_F(CrashHostTest, HostsOwnSigpipeHandlerIsKept) {
    HostRun run(home_.path());
    ASSERT_TRUE(run.spawn("host-pipe-handler", url()));
    ASSERT_TRUE(run.wait()) << run.output().toStdString();
    EXPECT_TRUE(WIFEXITED(run.status()) && WEXITSTATUS(run.status()) == 0)
        << describe(run.status()) << "\n" << run.output().toStdString();
    EXPECT_TRUE(crashes().isEmpty());
}

TEST_F(CrashHostTest, FaultOnAWorkerThreadIsHandledOnTheGuiThread) {
    HostRun run(home_.path());
    ASSERT_TRUE(run.spawn("thread-segv", url()));
    ASSERT_TRUE(run.wait()) << run.output().toStdString();
    EXPECT_TRUE(WIFSIGNALED(run.status()) && WTERMSIG(run.status()) == SIGSEGV)
        << describe(run.status()) << "\n" << run.output().toStdString();
    const QJsonArray reports = crashes();
    ASSERT_EQ(reports.size(), 1);
    const QString log = reports[0].toObject().value("log").toString();
    // The stack starts at the faulting function, not in the library's handler.
    EXPECT_TRUE(QRegularExpression("\\(\n    #0 [^\n]*nullWrite\\(\\)").match(log).hasMatch())
        << "the failing thread's stack: " << log.toStdString();
    EXPECT_EQ(exitCode(run), "2");
}

TEST_F(CrashHostTest, WithNoOneToAnswerTheAlertConfirmsItselfAndTheProcessEnds) {
    HostRun run(home_.path());
    ASSERT_TRUE(run.spawn("segv", url(), QByteArray()));  // offscreen, no switch
    ASSERT_TRUE(run.wait()) << "still waiting for a click no one can give\n" << run.output().toStdString();
    EXPECT_TRUE(WIFSIGNALED(run.status()) && WTERMSIG(run.status()) == SIGSEGV) << describe(run.status());
    EXPECT_EQ(crashes().size(), 1);
}

TEST_F(CrashHostTest, ThreadsFaultingTogetherAreHandledOneAtATimeAndNoneIsLost) {
    HostRun crashing(home_.path());
    ASSERT_TRUE(crashing.spawn("two-threads-segv", url(), "0"));
    // One is handled (sent, marked delivered, alert showing); the other waits
    // its turn, its report already in the crash file. The delivered mark is
    // written after the service has its copy, so wait for the mark itself.
    const auto oneDelivered = [&] {
        const auto left = crashFile(crashing);
        return left.size() == 2 && left[0].delivered + left[1].delivered == 1;
    };
    ASSERT_TRUE(eventually(oneDelivered)) << crashing.output().toStdString();
    EXPECT_EQ(crashes().size(), 1);
    crashing.kill9();
    ASSERT_TRUE(crashing.wait());

    HostRun next(home_.path());
    ASSERT_TRUE(next.spawn("start", url()));
    ASSERT_TRUE(next.wait()) << next.output().toStdString();
    const QJsonArray reports = crashes();
    ASSERT_EQ(reports.size(), 2);
    for (const QJsonValue& r : reports) EXPECT_TRUE(r.toObject().value("log").toString().contains("nullWrite"));
    EXPECT_TRUE(queued(next).isEmpty());
}

TEST_F(CrashHostTest, PastTheTenthFailureTheSignalTakesItsDefaultActionAtOnce) {
    HostRun run(home_.path());
    ASSERT_TRUE(run.spawn("eleventh-segv", url()));
    // Returning from the handler would fault again forever; the process must end.
    ASSERT_TRUE(run.wait()) << run.output().toStdString();
    EXPECT_TRUE(WIFSIGNALED(run.status()) && WTERMSIG(run.status()) == SIGSEGV) << describe(run.status());
    EXPECT_TRUE(crashes().isEmpty());
    EXPECT_TRUE(crashFile(run).empty());
    EXPECT_EQ(exitCode(run), "1") << "no alert, no handling";
}

TEST_F(CrashHostTest, UnreachableServiceQueuesTheReportForTheNextSession) {
    HostRun crashing(home_.path());
    ASSERT_TRUE(crashing.spawn("segv", "http://127.0.0.1:1/", "1", 1500));
    ASSERT_TRUE(crashing.wait()) << crashing.output().toStdString();
    EXPECT_TRUE(WIFSIGNALED(crashing.status()) && WTERMSIG(crashing.status()) == SIGSEGV) << describe(crashing.status());
    EXPECT_TRUE(crashes().isEmpty());
    const QVariantList queue = queued(crashing);
    ASSERT_EQ(queue.size(), 1);
    EXPECT_TRUE(queue[0].toMap().value("crash").toString().contains("SIGSEGV"));
    ASSERT_EQ(crashFile(crashing).size(), 1u);
    EXPECT_TRUE(crashFile(crashing)[0].delivered) << "queued counts as handed over";

    // The next run: the queue goes out after authentication, and nothing twice.
    HostRun next(home_.path());
    ASSERT_TRUE(next.spawn("start", url(), "1", 15000));
    ASSERT_TRUE(next.wait()) << next.output().toStdString();
    EXPECT_TRUE(WIFEXITED(next.status()) && WEXITSTATUS(next.status()) == 0) << describe(next.status());
    const QJsonArray reports = crashes();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].toObject().value("log").toString().contains("SIGSEGV"));
    EXPECT_TRUE(queued(next).isEmpty());
    EXPECT_TRUE(crashFile(next).empty());
}

TEST_F(CrashHostTest, KilledWhileTheAlertShowsIsReportedOnce) {
    HostRun crashing(home_.path());
    ASSERT_TRUE(crashing.spawn("segv", url(), "0"));
    // Sent and marked: only then is the process killed.
    ASSERT_TRUE(eventually([&] {
        const auto left = crashFile(crashing);
        return !left.empty() && left[0].delivered;
    })) << crashing.output().toStdString();
    ASSERT_EQ(crashes().size(), 1);
    ASSERT_TRUE(eventually([&] { return exitCode(crashing) == "2"; }));
    crashing.kill9();
    ASSERT_TRUE(crashing.wait());
    EXPECT_TRUE(WIFSIGNALED(crashing.status()) && WTERMSIG(crashing.status()) == SIGKILL);

    HostRun next(home_.path());
    ASSERT_TRUE(next.spawn("start", url()));
    ASSERT_TRUE(next.wait()) << next.output().toStdString();
    EXPECT_EQ(crashes().size(), 1);
    EXPECT_TRUE(queued(next).isEmpty());
    EXPECT_TRUE(crashFile(next).empty());
}

TEST_F(CrashHostTest, KilledDuringTheSendIsQueuedFromTheCrashFileAtTheNextStart) {
    // A service that takes connections and never answers: the send hangs.
    const int silent = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(silent, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(silent, 64), 0);
    socklen_t length = sizeof address;
    ::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length);
    const QString silentUrl = QStringLiteral("http://127.0.0.1:%1/").arg(ntohs(address.sin_port));

    HostRun crashing(home_.path());
    ASSERT_TRUE(crashing.spawn("segv", silentUrl, "1", 1500));
    ASSERT_TRUE(eventually([&] { return !crashFile(crashing).empty(); })) << crashing.output().toStdString();
    ASSERT_FALSE(crashFile(crashing)[0].delivered);
    crashing.kill9();
    ASSERT_TRUE(crashing.wait());
    ::close(silent);

    HostRun next(home_.path());
    ASSERT_TRUE(next.spawn("start", url()));
    ASSERT_TRUE(next.wait()) << next.output().toStdString();
    EXPECT_TRUE(crashFile(next).empty());
    // Queued from the crash file, then sent after the authentication: once.
    const QJsonArray reports = crashes();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(queued(next).isEmpty());
    const QString log = reports[0].toObject().value("log").toString();
    EXPECT_TRUE(log.contains(QStringLiteral("\nSignal %1 was raised.").arg(SIGSEGV))) << log.toStdString();
    EXPECT_TRUE(log.contains("nullWrite")) << "made readable at the next start: " << log.toStdString();
}

TEST_F(CrashHostTest, KilledAfterTheServiceStoredTheReportIsNotStoredTwice) {
    // The service stores the report, then holds its answer: the host dies
    // before it hears that the report arrived, so its slot is not marked.
    client_->admin("/admin/faults", R"({"kind":"hold","count":1,"delay_ms":60000,"methods":["post_crash"]})");
    HostRun crashing(home_.path());
    ASSERT_TRUE(crashing.spawn("segv", url()));
    ASSERT_TRUE(eventually([&] { return crashes().size() == 1; })) << crashing.output().toStdString();
    crashing.kill9();
    ASSERT_TRUE(crashing.wait());
    const auto left = crashFile(crashing);
    ASSERT_EQ(left.size(), 1u);
    ASSERT_FALSE(left[0].delivered);

    // The next start sends it again, under the slot's identifier.
    HostRun next(home_.path());
    ASSERT_TRUE(next.spawn("start", url()));
    ASSERT_TRUE(next.wait()) << next.output().toStdString();
    int sent = 0;
    for (const QJsonValue& r : client_->records().value("requests").toArray())
        sent += r.toObject().value("method").toString() == "post_crash";
    EXPECT_EQ(sent, 2);
    EXPECT_EQ(crashes().size(), 1);
    EXPECT_TRUE(queued(next).isEmpty());
    EXPECT_TRUE(crashFile(next).empty()) << "no report left to send at a later start";
}

TEST_F(CrashHostTest, StackOverflowOnAPreparedThreadIsReported) {
    // A host thread that asked for a signal stack, and a thread of the library's pool.
    int expected = 0;
    for (const char* mode : {"thread-overflow", "pool-overflow"}) {
        SCOPED_TRACE(mode);
        HostRun run(home_.path());
        ASSERT_TRUE(run.spawn(mode, url()));
        ASSERT_TRUE(run.wait()) << run.output().toStdString();
        EXPECT_TRUE(WIFSIGNALED(run.status()) && WTERMSIG(run.status()) == SIGSEGV)
            << describe(run.status()) << "\n" << run.output().toStdString();
        const QJsonArray reports = crashes();
        ASSERT_EQ(reports.size(), ++expected) << run.output().toStdString();
        const QString log = reports.last().toObject().value("log").toString();
        EXPECT_TRUE(log.contains(QStringLiteral("\nSignal %1 was raised.").arg(SIGSEGV))) << log.toStdString();
        EXPECT_TRUE(log.contains("overflow(int)")) << log.toStdString();
        EXPECT_EQ(exitCode(run), "2");
    }
}

TEST_F(CrashHostTest, ARecoveredReportCarriesTheSessionAndRequirementOfTheRunThatCrashed) {
    // The crash report's send hangs; the host is killed before it is out.
    client_->admin("/admin/faults", R"({"kind":"delay","count":1,"delay_ms":60000,"methods":["post_crash"]})");
    HostRun crashing(home_.path());
    ASSERT_TRUE(crashing.spawn("segv-in-requirement", url()));
    // The send has begun once the service took the fault.
    ASSERT_TRUE(eventually([&] {
        const auto answer = client_->http().Get("/admin/faults");
        if (!answer || answer->status != 200) return false;
        return QJsonDocument::fromJson(QByteArray::fromStdString(answer->body)).object().value("faults").toArray().isEmpty();
    })) << crashing.output().toStdString();
    ASSERT_EQ(crashFile(crashing).size(), 1u);
    crashing.kill9();
    ASSERT_TRUE(crashing.wait());
    const QString output = crashing.output();
    const QRegularExpressionMatch running = QRegularExpression("requirement: (\\d+)").match(output);
    ASSERT_TRUE(running.hasMatch()) << output.toStdString();
    const QJsonArray sessions = client_->records().value("sessions").toArray();
    ASSERT_EQ(sessions.size(), 1);
    const qint64 crashingSession = sessions[0].toObject().value("id").toInteger();

    HostRun next(home_.path());
    ASSERT_TRUE(next.spawn("start", url()));
    ASSERT_TRUE(next.wait()) << next.output().toStdString();
    const QJsonArray reports = crashes();
    ASSERT_EQ(reports.size(), 1) << next.output().toStdString();
    const QJsonObject report = reports[0].toObject();
    EXPECT_EQ(report.value("rid").toString().toStdString(), running.captured(1).toStdString()) << "the requirement that was running";
    EXPECT_EQ(report.value("session_id").toInteger(), crashingSession) << "the session the crash happened in";
    EXPECT_FALSE(report.value("device_env").toObject().isEmpty());
}

TEST_F(CrashHostTest, AHandlingStepThatCannotRunEndsTheProcessAndTheNextStartSendsTheReport) {
    HostRun crashing(home_.path());
    ASSERT_TRUE(crashing.spawn("gui-blocked-segv", url()));
    // Without the watchdog the process would hang here for good.
    ASSERT_TRUE(crashing.wait(60s)) << crashing.output().toStdString();
    EXPECT_TRUE(WIFSIGNALED(crashing.status()) && WTERMSIG(crashing.status()) == SIGSEGV)
        << describe(crashing.status()) << "\n" << crashing.output().toStdString();
    EXPECT_TRUE(crashing.output().contains("could not be handled in time")) << crashing.output().toStdString();
    EXPECT_TRUE(crashes().isEmpty());
    const auto left = crashFile(crashing);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_FALSE(left[0].delivered);

    HostRun next(home_.path());
    ASSERT_TRUE(next.spawn("start", url()));
    ASSERT_TRUE(next.wait()) << next.output().toStdString();
    const QJsonArray reports = crashes();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].toObject().value("log").toString().contains("nullWrite"));
}
