// One "auth" round trip to a local brelvo-service through the library's
// transport (reachability check, request, answer as text), beside a bare
// libcurl POST of the same body to the same address. And the same request
// over TLS to a local https server: through the library, which keeps the
// connection open between requests, beside a new connection (TCP and TLS
// handshakes) for each request, as every request made before it kept them.
#include <httplib.h>  // its pkg-config flags turn on TLS support

#include "protocol/JSONClientBrelvo.h"
#include "protocol/NetworkClientBrelvo.h"

#include <QApplication>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <QDir>
#include <QProcess>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

pid_t servicePid = -1;
int servicePort = 0;
QByteArray authBody;
QString httpsUrl;    // the local TLS server, with a trailing slash
std::string caFile;  // its self-signed certificate

// Makes a self-signed certificate for 127.0.0.1 in the folder and serves
// every POST with a short JSON answer over TLS on a free port, on a thread
// that lives as long as the program. Empty when it cannot.
QString startHttpsServer(const QString& folder) {
    const QString key = QDir(folder).filePath(QStringLiteral("key.pem"));
    const QString cert = QDir(folder).filePath(QStringLiteral("cert.pem"));
    if (QProcess::execute(QStringLiteral("openssl"),
                          {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                           QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                           QStringLiteral("-days"), QStringLiteral("1"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                           QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1"), QStringLiteral("-keyout"),
                           key, QStringLiteral("-out"), cert}) != 0)
        return QString();
    static httplib::SSLServer server(cert.toLocal8Bit().constData(), key.toLocal8Bit().constData());
    if (!server.is_valid()) return QString();
    // Headers and body go out as two TLS records: without this the second
    // waits for the client's delayed acknowledgement of the first.
    server.set_tcp_nodelay(true);
    server.Post(R"(/api/1_0/lib/.*)", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(R"({"status":"ok"})", "application/json");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0) return QString();
    std::thread([] { server.listen_after_bind(); }).detach();
    caFile = cert.toStdString();
    return QStringLiteral("https://127.0.0.1:%1/").arg(port);
}

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

// The auth body POSTed by a libcurl handle of its own, on a new connection;
// false when no answer comes.
bool bareCurlPost(const std::string& url, const char* caFile = nullptr) {
    CURL* curl = curl_easy_init();
    curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json");
    std::string answer;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, authBody.constData());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(authBody.size()));
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    if (caFile) curl_easy_setopt(curl, CURLOPT_CAINFO, caFile);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, discard);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer);
    const bool answered = curl_easy_perform(curl) == CURLE_OK && !answer.empty();
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return answered;
}

void Baseline_BareCurlPost(benchmark::State& state) {
    const std::string url = "http://127.0.0.1:" + std::to_string(servicePort) + "/api/1_0/lib/auth";
    for (auto _ : state)
        if (!bareCurlPost(url)) state.SkipWithError("no answer from the service");
}
BENCHMARK(Baseline_BareCurlPost)->Unit(benchmark::kMicrosecond);

// Repeated requests through the library: after the first, each one finds
// the connection the one before left open.
void Https_Library_Repeated(benchmark::State& state) {
    brelvo::NetworkClientBrelvo& client = brelvo::NetworkClientBrelvo::shared();
    const QVariant before = qApp->property("brelvo_service_url");
    qApp->setProperty("brelvo_service_url", httpsUrl);
    if (client.makePOSTRequestWithMethod(QStringLiteral("auth"), authBody).isEmpty())
        state.SkipWithError("no answer from the https server");
    for (auto _ : state) {
        const QString answer = client.makePOSTRequestWithMethod(QStringLiteral("auth"), authBody);
        if (answer.isEmpty()) state.SkipWithError("no answer from the https server");
    }
    qApp->setProperty("brelvo_service_url", before);
}
BENCHMARK(Https_Library_Repeated)->Unit(benchmark::kMicrosecond);

// A new connection for each request, with the same checks of the peer.
void Https_Baseline_FreshConnection(benchmark::State& state) {
    const std::string url = (httpsUrl + QStringLiteral("api/1_0/lib/auth")).toStdString();
    for (auto _ : state)
        if (!bareCurlPost(url, caFile.c_str())) state.SkipWithError("no answer from the https server");
}
BENCHMARK(Https_Baseline_FreshConnection)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.brelvo.notes"));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.4"));
    QTemporaryDir folder;
    qputenv("BRELVO_HOME", folder.path().toUtf8());
    httpsUrl = startHttpsServer(folder.path());
    if (httpsUrl.isEmpty()) {
        std::fprintf(stderr, "the local https server did not start\n");
        return 1;
    }
    // Read at the library's first request.
    qputenv("BRELVO_CA_BUNDLE", QByteArray::fromStdString(caFile));
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
