// Reads the JSON results of the benchmark programs and prints one line per
// goal in goals.txt:
//
//   ratio NAME VALUE goal OP GOAL
//
// so that a run shows at a glance which figures meet their goals. A goal line
// is "NAME A / B OP GOAL", "NAME A - B OP GOAL" or "NAME A OP GOAL", where A
// and B name a benchmark run with its arguments ("StoreOpenAndRead1K/0"),
// or are plain numbers, and may name a field after a colon: real_time (the
// default, in ns), cpu_time, or a counter such as items_per_second. Repeated
// runs count by their median. Exits 1 when a goal is missed or its figures
// are missing.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <vector>

namespace {

struct Samples {
    std::vector<double> runs;
    std::optional<double> median;
};

// "Png_LibraryEncoder:real_time" -> samples of that field
using Results = std::map<QString, Samples>;

double toNanoseconds(double value, const QString& unit) {
    if (unit == QLatin1String("us")) return value * 1e3;
    if (unit == QLatin1String("ms")) return value * 1e6;
    if (unit == QLatin1String("s")) return value * 1e9;
    return value;
}

// The run's name without the options that only say how it was run
// ("real_time", "iterations:1200", "repeats:20"), so that goals name runs as
// they are written: "Png_LibraryEncoder", "StoreOpenAndRead1K/0".
QString goalName(const QString& runName) {
    QStringList parts = runName.split(QLatin1Char('/'));
    parts.removeIf([](const QString& part) {
        return part.endsWith(QLatin1String("_time")) || part.startsWith(QLatin1String("iterations:")) ||
               part.startsWith(QLatin1String("repeats:")) || part.startsWith(QLatin1String("min_time:")) ||
               part.startsWith(QLatin1String("min_warmup_time:"));
    });
    return parts.join(QLatin1Char('/'));
}

void read(const QString& path, Results& results) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "bench_summary: cannot read %s\n", qPrintable(path));
        return;
    }
    // The programs write NaN and Infinity where a figure has none (the spread
    // of a counter that is always 0), which is not JSON.
    QString text = QString::fromUtf8(file.readAll());
    text.replace(QRegularExpression(QStringLiteral(R"(:\s*-?(NaN|nan|Infinity|inf)\b)")), QStringLiteral(": null"));
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (document.isNull()) {
        std::fprintf(stderr, "bench_summary: %s: %s\n", qPrintable(path), qPrintable(error.errorString()));
        return;
    }
    const QJsonArray benchmarks = document.object().value(QLatin1String("benchmarks")).toArray();
    for (const QJsonValue& value : benchmarks) {
        const QJsonObject run = value.toObject();
        const QString aggregate = run.value(QLatin1String("aggregate_name")).toString();
        const bool isMedian = aggregate == QLatin1String("median");
        if (!aggregate.isEmpty() && !isMedian) continue;
        const QString unit = run.value(QLatin1String("time_unit")).toString();
        const QString name = goalName(run.value(QLatin1String("run_name")).toString());
        for (auto it = run.constBegin(); it != run.constEnd(); ++it) {
            if (!it.value().isDouble()) continue;
            double figure = it.value().toDouble();
            if (it.key() == QLatin1String("real_time") || it.key() == QLatin1String("cpu_time"))
                figure = toNanoseconds(figure, unit);
            Samples& samples = results[name + QLatin1Char(':') + it.key()];
            if (isMedian) samples.median = figure;
            else samples.runs.push_back(figure);
        }
    }
}

std::optional<double> figure(const Results& results, const QString& operand) {
    bool isNumber = false;
    const double number = operand.toDouble(&isNumber);
    if (isNumber) return number;
    // A field follows the last colon, unless that colon is part of the run's
    // name ("threads:8").
    const QString afterColon = operand.section(QLatin1Char(':'), -1);
    bool isCount = false;
    afterColon.toInt(&isCount);
    const bool namesField = operand.contains(QLatin1Char(':')) && !isCount;
    const QString key = namesField ? operand : operand + QLatin1String(":real_time");
    const auto found = results.find(key);
    if (found == results.end()) return std::nullopt;
    const Samples& samples = found->second;
    if (samples.median) return samples.median;
    if (samples.runs.empty()) return std::nullopt;
    std::vector<double> sorted = samples.runs;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t middle = sorted.size() / 2;
    return sorted.size() % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

bool meets(double value, const QString& op, double goal) {
    if (op == QLatin1String("<=")) return value <= goal;
    if (op == QLatin1String(">=")) return value >= goal;
    if (op == QLatin1String("<")) return value < goal;
    if (op == QLatin1String(">")) return value > goal;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_summary GOALS RESULT.json...\n");
        return 2;
    }
    Results results;
    for (int i = 2; i < argc; ++i) read(QString::fromLocal8Bit(argv[i]), results);

    QFile goals(QString::fromLocal8Bit(argv[1]));
    if (!goals.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "bench_summary: cannot read %s\n", argv[1]);
        return 2;
    }
    int missed = 0, total = 0;
    while (!goals.atEnd()) {
        const QString line = QString::fromUtf8(goals.readLine()).section(QLatin1Char('#'), 0, 0).trimmed();
        if (line.isEmpty()) continue;
        ++total;
        const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const bool binary = words.size() == 6;
        if (words.size() != 4 && !binary) {
            std::fprintf(stderr, "bench_summary: cannot read the goal \"%s\"\n", qPrintable(line));
            ++missed;
            continue;
        }
        const QString& name = words[0];
        const QString& op = words[words.size() - 2];
        const double goal = words.last().toDouble();
        const std::optional<double> first = figure(results, words[1]);
        const std::optional<double> second = binary ? figure(results, words[3]) : std::optional<double>(0.0);
        const bool divides = binary && words[2] == QLatin1String("/");
        if (!first || !second || (divides && *second == 0)) {
            std::printf("ratio %s missing goal %s %s\n", qPrintable(name), qPrintable(op), qPrintable(words.last()));
            ++missed;
            continue;
        }
        const double value = divides ? *first / *second : *first - *second;
        if (!meets(value, op, goal)) ++missed;
        std::printf("ratio %s %.3g goal %s %s\n", qPrintable(name), value, qPrintable(op), qPrintable(words.last()));
    }
    std::printf("goals met: %d of %d\n", total - missed, total);
    return missed ? 1 : 0;
}
