// One "auth" round trip to a local brelvo-service through the library's
// transport (reachability check, request, answer as text), beside a bare
// libcurl POST of the same body to the same address.
#include "protocol/JSONClientBrelvo.h"
#include "protocol/NetworkClientBrelvo.h"

#include <QApplication>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

pid_t servicePid = -1;
int servicePort = 0;
QByteArray authBody;

// Starts brelvo-service on a free port with the demo seed; returns its port.
int startService(const QString& folder) {
    int fds[2];
    if (pipe(fds) != 0) return 0;
    const std::string db = (folder + QStringLiteral("/bench.sqlite")).toStdString();
    servicePid = fork();
    if (servicePid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(fds[1], STDOUT_FILENO);
        execl(BRELVO_SERVICE_BIN, BRELVO_SERVICE_BIN, "--port", "0", "--db", db.c_str(), "--seed", BRELVO_DEMO_SEED,
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    FILE* out = fdopen(fds[0], "r");
    char line[256] = {};
    int port = 0;
    if (out && std::fgets(line, sizeof line, out)) std::sscanf(line, "listening on 127.0.0.1:%d", &port);
    return port;
}

size_t discard(char*, size_t size, size_t count, void* sink) {
    static_cast<std::string*>(sink)->append(size * count, ' ');
    return size * count;
}

void AuthThroughTransport(benchmark::State& state) {
    brelvo::NetworkClientBrelvo& client = brelvo::NetworkClientBrelvo::shared();
    for (auto _ : state) {
        const QString answer = client.makePOSTRequestWithMethod(QStringLiteral("auth"), authBody);
        if (answer.isEmpty()) state.SkipWithError("no answer from the service");
        benchmark::DoNotOptimize(answer.constData());
    }
}
BENCHMARK(AuthThroughTransport)->Unit(benchmark::kMicrosecond);

void Baseline_BareCurlPost(benchmark::State& state) {
    const std::string url = "http://127.0.0.1:" + std::to_string(servicePort) + "/api/1_0/lib/auth";
    for (auto _ : state) {
        CURL* curl = curl_easy_init();
        curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json");
        std::string answer;
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, authBody.constData());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(authBody.size()));
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, discard);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer);
        if (curl_easy_perform(curl) != CURLE_OK || answer.empty()) state.SkipWithError("no answer from the service");
        curl_slist_free_all(headers);
        curl_easy_cleanup(curl);
    }
}
BENCHMARK(Baseline_BareCurlPost)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.brelvo.notes"));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.4"));
    QTemporaryDir folder;
    qputenv("BRELVO_HOME", folder.path().toUtf8());
    servicePort = startService(folder.path());
    if (servicePort == 0) {
        std::fprintf(stderr, "brelvo-service did not start\n");
        return 1;
    }
    qApp->setProperty("brelvo_service_url", QStringLiteral("http://127.0.0.1:%1/").arg(servicePort));
    authBody = brelvo::JSONClientBrelvo::shared().getAuthData(QStringLiteral("demo-key-0001"), QString());

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    kill(servicePid, SIGTERM);
    waitpid(servicePid, nullptr, 0);
    return 0;
}
