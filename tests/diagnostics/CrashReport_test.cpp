// Crashes of a real host process (crashing_host) against a real brelvo-service:
// what reaches the service, how the process ends, and what the next start
// finds when the process was killed before the report was out.
#include "diagnostics/CrashFile.h"
#include "diagnostics/CrashReportText.h"
#include "diagnostics/HostRun.h"
#include "platform/Defaults.h"
#include "platform/PropertyList.h"
#include "service/ServiceHarness.h"
#include "support/TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace brelvo;
using namespace brelvo::service::test;
using brelvo::test::HostRun;
using namespace std::chrono_literals;

namespace {

bool eventually(const std::function<bool()>& condition) {
    return brelvo::test::waitFor(condition, 30s);
}

// The run ended by this signal, as the process would have ended without the
// library; signal 0: it exited with code 0.
::testing::AssertionResult killedBy(const HostRun& run, int signal) {
    const int status = run.status();
    if (signal ? WIFSIGNALED(status) && WTERMSIG(status) == signal : WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure();
    if (WIFSIGNALED(status)) failure << "killed by signal " << WTERMSIG(status);
    else if (WIFEXITED(status)) failure << "exit code " << WEXITSTATUS(status);
    else failure << "status " << status;
    return failure << ", wanted signal " << signal << "\n" << run.output().toStdString();
}

// Spawns the host in this mode and waits for its end.
::testing::AssertionResult ranToEnd(HostRun& run, const char* mode, const QString& url,
                                    const QByteArray& confirm = "1", int sessionMs = 15000) {
    if (!run.spawn(mode, url, confirm, sessionMs)) return ::testing::AssertionFailure() << "could not start " << mode;
    if (!run.wait()) return ::testing::AssertionFailure() << mode << " did not end\n" << run.output().toStdString();
    return ::testing::AssertionSuccess();
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
    ASSERT_TRUE(ranToEnd(run, f.mode, url()));
    const std::string output = run.output().toStdString();
    ASSERT_TRUE(run.output().contains("session: yes")) << output;
    EXPECT_TRUE(killedBy(run, f.signal));

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
    ASSERT_TRUE(ranToEnd(run, "host-pipe-handler", url()));
    EXPECT_TRUE(killedBy(run, 0));
    EXPECT_TRUE(crashes().isEmpty());
}

TEST_F(CrashHostTest, FaultOnAWorkerThreadIsHandledOnTheGuiThread) {
    HostRun run(home_.path());
    ASSERT_TRUE(ranToEnd(run, "thread-segv", url()));
    EXPECT_TRUE(killedBy(run, SIGSEGV));
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
    ASSERT_TRUE(ranToEnd(run, "segv", url(), QByteArray())) << "still waiting for a click no one can give";
    EXPECT_TRUE(killedBy(run, SIGSEGV));
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
    ASSERT_TRUE(ranToEnd(next, "start", url()));
    const QJsonArray reports = crashes();
    ASSERT_EQ(reports.size(), 2);
    for (const QJsonValue& r : reports) EXPECT_TRUE(r.toObject().value("log").toString().contains("nullWrite"));
    EXPECT_TRUE(queued(next).isEmpty());
}

TEST_F(CrashHostTest, PastTheTenthFailureTheSignalTakesItsDefaultActionAtOnce) {
    HostRun run(home_.path());
    // Returning from the handler would fault again forever; the process must end.
    ASSERT_TRUE(ranToEnd(run, "eleventh-segv", url()));
    EXPECT_TRUE(killedBy(run, SIGSEGV));
    EXPECT_TRUE(crashes().isEmpty());
    EXPECT_TRUE(crashFile(run).empty());
    EXPECT_EQ(exitCode(run), "1") << "no alert, no handling";
}

TEST_F(CrashHostTest, UnreachableServiceQueuesTheReportForTheNextSession) {
    HostRun crashing(home_.path());
    ASSERT_TRUE(ranToEnd(crashing, "segv", "http://127.0.0.1:1/", "1", 1500));
    EXPECT_TRUE(killedBy(crashing, SIGSEGV));
    EXPECT_TRUE(crashes().isEmpty());
    const QVariantList queue = queued(crashing);
    ASSERT_EQ(queue.size(), 1);
    EXPECT_TRUE(queue[0].toMap().value("crash").toString().contains("SIGSEGV"));
    ASSERT_EQ(crashFile(crashing).size(), 1u);
    EXPECT_TRUE(crashFile(crashing)[0].delivered) << "queued counts as handed over";

    // The next run: the queue goes out after authentication, and nothing twice.
    HostRun next(home_.path());
    ASSERT_TRUE(ranToEnd(next, "start", url()));
    EXPECT_TRUE(killedBy(next, 0));
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
    ASSERT_TRUE(ranToEnd(next, "start", url()));
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
    ASSERT_TRUE(ranToEnd(next, "start", url()));
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
    ASSERT_TRUE(ranToEnd(next, "start", url()));
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
        ASSERT_TRUE(ranToEnd(run, mode, url()));
        EXPECT_TRUE(killedBy(run, SIGSEGV));
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
    ASSERT_TRUE(ranToEnd(next, "start", url()));
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
    EXPECT_TRUE(killedBy(crashing, SIGSEGV));
    EXPECT_TRUE(crashing.output().contains("could not be handled in time")) << crashing.output().toStdString();
    EXPECT_TRUE(crashes().isEmpty());
    const auto left = crashFile(crashing);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_FALSE(left[0].delivered);

    HostRun next(home_.path());
    ASSERT_TRUE(ranToEnd(next, "start", url()));
    const QJsonArray reports = crashes();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].toObject().value("log").toString().contains("nullWrite"));
}
