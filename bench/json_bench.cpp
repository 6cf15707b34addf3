// Parsing an authentication answer (~100 KB) into the QVariant family,
// beside QJsonDocument::fromJson alone: the difference is the conversion.
#include "platform/Json.h"

#include <QByteArray>
#include <QJsonDocument>

#include <benchmark/benchmark.h>

namespace {

QByteArray objectList(const char* kind, int count) {
    QByteArray out = "[";
    for (int i = 0; i < count; ++i) {
        if (i) out += ',';
        out += "{\"id\":" + QByteArray::number(i + 1) + ",\"name\":\"" + kind + " " + QByteArray::number(i + 1) +
               " – läuft\",\"icon\":\"https://beta.example.test/static/icons/" + kind + "/" +
               QByteArray::number(i + 1) + ".png\"}";
    }
    return out + "]";
}

const QByteArray& answer() {
    static const QByteArray text = [] {
        QByteArray t = "{\"response_code\":200,\"ts\":1717171717,\"api_version\":\"2.1\",\"payload\":{"
                       "\"access_token\":\"3f9a7c1e5b2d4f6a8c0e1b3d5f7a9c2e4b6d8f0a1c3e5b7d9f2a4c6e8b0d2f4a\","
                       "\"revision\":{\"title\":\"Nightly\",\"build_number\":\"4711\",\"icon\":"
                       "\"https://beta.example.test/r.png\",\"project\":\"Demo\",\"organization\":\"Example\"},"
                       "\"user\":{\"full_name\":\"Zoë Tester\",\"image\":\"https://beta.example.test/u.png\","
                       "\"role\":\"tester\"},";
        t += "\"issue_types\":" + objectList("type", 330) + ',';
        t += "\"issue_priorities\":" + objectList("priority", 330) + ',';
        t += "\"requirement_priorities\":" + objectList("requirement", 330);
        t += "}}";
        return t;
    }();
    return text;
}

void JsonParseToVariant(benchmark::State& state) {
    for (auto _ : state) {
        const QVariant v = brelvo::json::parse(answer());
        benchmark::DoNotOptimize(v);
    }
    state.SetBytesProcessed(state.iterations() * answer().size());
    state.counters["bytes"] = static_cast<double>(answer().size());
}

void BaselineQJsonDocumentFromJson(benchmark::State& state) {
    for (auto _ : state) {
        const QJsonDocument d = QJsonDocument::fromJson(answer());
        benchmark::DoNotOptimize(d);
    }
    state.SetBytesProcessed(state.iterations() * answer().size());
}

BENCHMARK(JsonParseToVariant)->Unit(benchmark::kMicrosecond);
BENCHMARK(BaselineQJsonDocumentFromJson)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
