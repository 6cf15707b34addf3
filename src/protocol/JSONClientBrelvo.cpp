#include "protocol/JSONClientBrelvo.h"

#include "platform/Log.h"
#include "platform/PropertyList.h"
#include "protocol/Base64Brelvo.h"
#include "protocol/JsonText.h"
#include "protocol/NetworkClientBrelvo.h"
#include "state/BrelAuthenticationDM.h"
#include "state/LibrarySettings.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <atomic>

namespace brelvo {
namespace {

// A small builder for the templates: literal pieces are appended as they
// stand, values escaped.
class Body {
public:
    explicit Body(qsizetype reserve = 256) { bytes_.reserve(reserve); }
    Body& raw(const char* literal) {
        bytes_.append(literal);
        return *this;
    }
    Body& raw(const QByteArray& bytes) {
        bytes_.append(bytes);
        return *this;
    }
    Body& text(const QString& value) {
        appendJsonEscaped(bytes_, value);
        return *this;
    }
    Body& number(qint64 value) {
        bytes_.append(QByteArray::number(value));
        return *this;
    }
    QByteArray& bytes() { return bytes_; }
    QByteArray take() { return std::move(bytes_); }

private:
    QByteArray bytes_;
};

QString locale() {
    return JSONClientBrelvo::shared().identity().locale;
}

QString transportToken() {
    return NetworkClientBrelvo::shared().access_token();
}

qint64 nowInSeconds() {
    return QDateTime::currentSecsSinceEpoch();
}

// A value written with "%@": a number as its decimal text, a string as it
// stands, anything else the formatter's text for no value.
QString describedValue(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::QString:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Bool:
        return value.toString();
    default:
        return QString();
    }
}

void appendIssueFields(Body& body, const QString& type, const QString& priority, const QString& subject,
                       const QString& description) {
    body.raw("{\"tracker\":\"").text(type).raw("\",\"priority\":\"").text(priority);
    body.raw("\",\"subject\":\"").text(subject).raw("\",\"description\":\"").text(description).raw("\"");
}

void appendPostIssueHead(Body& body, const QString& token, const QString& uid, const QString& rid,
                         const QString& draft) {
    body.raw("{\"locale\":\"").text(locale()).raw("\",\"access_token\":\"").text(token);
    body.raw("\",\"uid\":\"").text(uid).raw("\",\"rid\":\"").text(rid).raw("\",\"draft\":\"").text(draft);
    body.raw("\",\"issue\":");
}

// The issue object with its screenshots, appended to the body. Each file is
// read and encoded straight into the body, so that memory stays near the
// body's own size however many screenshots there are.
void appendIssueWithScreenshots(Body& body, const QString& type, const QString& priority, const QString& subject,
                                const QString& description, const QStringList& screens) {
    qsizetype expected = body.bytes().size() + 512 + subject.size() * 2 + description.size() * 2;
    for (const QString& path : screens) expected += (QFileInfo(path).size() + 2) / 3 * 4 + 64;
    body.bytes().reserve(expected);

    appendIssueFields(body, type, priority, subject, description);
    body.raw(",\"attachments\":[");
    for (qsizetype i = 0; i < screens.size(); ++i) {
        if (i > 0) body.raw(",");
        body.raw("{\"name\":\"Screenshot").number(i + 1).raw(".png\",\"file\":\"");
        QFile file(screens[i]);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = file.readAll();
            Base64Brelvo::encodeInto(body.bytes(), bytes.constData(), bytes.size());
        } else {
            qCWarning(lcBrelvo) << "screenshot" << screens[i] << "cannot be read; sent without its picture";
        }
        body.raw("\"}");
    }
    body.raw("]}");
}

}  // namespace

JSONClientBrelvo& JSONClientBrelvo::shared() {
    static JSONClientBrelvo client;
    return client;
}

void JSONClientBrelvo::configure(const StartContext& context) {
    QMutexLocker lock(&mutex_);
    identity_ = context.identity;
}

DeviceIdentity JSONClientBrelvo::identity() const {
    std::function<DeviceIdentity()> source;
    {
        QMutexLocker lock(&mutex_);
        source = identity_;
    }
    if (!source) {
        static std::atomic<bool> warned{false};
        if (!warned.exchange(true))
            qCWarning(lcBrelvo) << "request body built before the library was set up: it carries no device identity";
        return {};
    }
    return source();
}

QByteArray JSONClientBrelvo::getAuthData(const QString& apiKey, const QString& /*uid*/) const {
    const DeviceIdentity id = identity();  // read once: it touches the identifier file
    Body body;
    body.raw("{\"locale\":\"").text(id.locale).raw("\",\"udid\":\"").text(id.udid);
    body.raw("\",\"app_id\":\"").text(id.appId).raw("\",\"api_key\":\"").text(apiKey);
    body.raw("\", \"a_v\":\"").text(getLibInfoPlistString()).raw("\"}");
    return body.take();
}

QByteArray JSONClientBrelvo::getDataForProfileResponse() const {
    Body body;
    body.raw("{\"access_token\":\"").text(LibrarySettings::sharedInstance().accessToken());
    body.raw("\",\"ts\":\"").number(nowInSeconds()).raw("\"}");
    return body.take();
}

QByteArray JSONClientBrelvo::getRequirementsData(int page, int status) const {
    Body body;
    body.raw("{\"locale\":\"").text(locale()).raw("\",\"access_token\":\"").text(transportToken());
    body.raw("\",\"page\":\"").number(page).raw("\",\"uid\":\"").text(QStringLiteral(""));
    body.raw("\",\"status\":\"").number(status).raw("\"}");
    return body.take();
}

QByteArray JSONClientBrelvo::getRequirementData(int rid) const {
    Body body;
    body.raw("{\"locale\":\"").text(locale()).raw("\",\"access_token\":\"").text(transportToken());
    body.raw("\",\"rid\":\"").number(rid).raw("\",\"uid\":\"").text(QStringLiteral("")).raw("\"}");
    return body.take();
}

QByteArray JSONClientBrelvo::getRequirementResultDataWithRid(const QVariant& rid, int status) const {
    Body body;
    body.raw("{\"locale\":\"").text(locale()).raw("\",\"access_token\":\"").text(transportToken());
    body.raw("\",\"rid\":\"").text(describedValue(rid)).raw("\",\"uid\":\"").text(QStringLiteral(""));
    body.raw("\",\"status\":\"").number(status).raw("\"}");
    return body.take();
}

QByteArray JSONClientBrelvo::getPostIssueData(const QString& /*unused*/, QByteArray issue, const QString& token,
                                              const QString& uid, const QString& rid, const QString& draft) const {
    Body body(issue.size() + 256);
    appendPostIssueHead(body, token, uid, rid, draft);
    body.raw(issue).raw("}");
    return body.take();
}

QByteArray JSONClientBrelvo::buildPostIssueBody(const QString& type, const QString& priority, const QString& subject,
                                                const QString& description, const QStringList& screens,
                                                const QString& token, const QString& uid, const QString& rid,
                                                const QString& draft) const {
    Body body;
    appendPostIssueHead(body, token, uid, rid, draft);
    appendIssueWithScreenshots(body, type, priority, subject, description, screens);
    body.raw("}");
    return body.take();
}

QByteArray JSONClientBrelvo::getCrashData(const QString& apiKey, const QString& log, const QString& token,
                                          const QByteArray& deviceDocument, const QString& rid,
                                          const QString& uid) const {
    const QString encodedLog = encodeToBase64String(log);
    Body body(deviceDocument.size() + encodedLog.size() + 512);
    const DeviceIdentity id = identity();
    body.raw("{\"locale\":\"").text(id.locale);
    if (!token.isEmpty()) {
        body.raw("\",\"access_token\":\"").text(token);
    } else {
        body.raw("\",\"app_id\":\"").text(id.appId).raw("\",\"api_key\":\"").text(apiKey);
        body.raw("\",\"udid\":\"").text(id.udid);
    }
    body.raw("\",\"log\":\"").text(encodedLog).raw("\",\"uid\":\"").text(uid).raw("\",\"rid\":\"").text(rid);
    body.raw("\",\"device_env\":").raw(deviceDocument).raw("}");
    return body.take();
}

QByteArray JSONClientBrelvo::getLogsData(const QByteArray& joinedEntries, const QString& token) const {
    Body body(joinedEntries.size() + 256);
    body.raw("{\"locale\":\"").text(locale()).raw("\",\"access_token\":\"").text(token);
    body.raw("\",\"logs\":[").raw(joinedEntries).raw("]}");
    return body.take();
}

QByteArray JSONClientBrelvo::makejsonTrackState(const QString& action) const {
    const std::optional<BrelPayloadDM> payload = BrelAuthenticationDM::shared().payload();
    Body body;
    body.raw("{\"locale\":\"").text(locale()).raw("\",\"access_token\":\"");
    body.text(payload ? payload->access_token() : QString());
    body.raw("\",\"state_action\":\"").text(action).raw("\",\"state_action_at\":\"").number(nowInSeconds());
    body.raw("\"}");
    return body.take();
}

QByteArray JSONClientBrelvo::getUpdateJSON(const QString& apiKey) const {
    const DeviceIdentity id = identity();
    Body body;
    body.raw("{\"locale\":\"").text(id.locale).raw("\",\"udid\":\"").text(id.udid);
    body.raw("\",\"app_id\":\"").text(id.appId).raw("\",\"api_key\":\"").text(apiKey).raw("\"}");
    return body.take();
}

QByteArray JSONClientBrelvo::getIssue(const QString& type, const QString& priority, const QString& subject,
                                      const QString& description) const {
    Body body;
    appendIssueFields(body, type, priority, subject, description);
    body.raw("}");
    return body.take();
}

QByteArray JSONClientBrelvo::getIssueWithScreenshot(const QString& type, const QString& priority,
                                                    const QString& subject, const QString& description,
                                                    const QStringList& screens) const {
    Body body;
    appendIssueWithScreenshots(body, type, priority, subject, description, screens);
    return body.take();
}

QByteArray JSONClientBrelvo::getLogJSON(const QVariantMap& entry) const {
    QByteArray out;
    out.reserve(256);
    appendLogJSON(out, entry);
    return out;
}

void JSONClientBrelvo::appendLogJSON(QByteArray& out, const QVariantMap& entry) const {
    static const QString level = QStringLiteral("level"), log = QStringLiteral("log"), ts = QStringLiteral("ts");
    out.append("{\"log_level\":\"");
    appendJsonEscaped(out, describedValue(entry.value(level)));
    out.append("\",\"message\":\"");
    appendJsonEscaped(out, describedValue(entry.value(log)));
    out.append("\",\"created_at\":\"").append(QByteArray::number(entry.value(ts).toLongLong())).append("\"}");
}

QString JSONClientBrelvo::encodeToBase64String(const QString& text) const {
    return QString::fromLatin1(Base64Brelvo::encode(text.toUtf8()));
}

QString JSONClientBrelvo::encodeToBase64Data(const QByteArray& bytes) const {
    return QString::fromLatin1(Base64Brelvo::encode(bytes));
}

QString JSONClientBrelvo::cleanBase64String(const QString& text) const {
    QString clean = text;
    clean.remove(QLatin1Char('\n'));
    clean.remove(QLatin1Char('='));
    return clean;
}

QString JSONClientBrelvo::getLibInfoPlistString() const {
    static const QString joined = [] {
        QFile file(QStringLiteral(":/BrelvoSDKResources.bundle/libInfo.plist"));
        const QVariantMap info =
            file.open(QIODevice::ReadOnly) ? plist::fromData(file.readAll()).toMap() : QVariantMap();
        QStringList values;
        for (const char* key : {"Type", "Version", "Build", "API"})
            values.append(info.value(QString::fromLatin1(key)).toString());  // a missing key: an empty field
        return values.join(QLatin1Char(':'));
    }();
    return joined;
}

}  // namespace brelvo
