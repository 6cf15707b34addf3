#pragma once

#include "state/StartContext.h"

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace brelvo {

// Builds the request bodies of the service's methods from their fixed
// templates (member order and spacing are part of the wire format). Inserted
// texts are JSON-escaped (quote, backslash, control characters), so a value
// can never break the body; the bytes are unchanged when nothing needs it.
// Bodies are UTF-8 bytes. Usable from any thread.
class JSONClientBrelvo {
public:
    static JSONClientBrelvo& shared();

    // Where the locale, udid and app id of the bodies come from (the facade
    // sets it); until then they are empty.
    void configure(const StartContext& context);
    DeviceIdentity identity() const;

    QByteArray getAuthData(const QString& apiKey, const QString& uid) const;
    QByteArray getDataForProfileResponse() const;
    QByteArray getRequirementsData(int page, int status) const;
    QByteArray getRequirementData(int rid) const;
    QByteArray getRequirementResultDataWithRid(const QVariant& rid, int status) const;
    // The issue object is inserted raw; taking it by value lets the body be
    // built inside its buffer when the caller hands it over with std::move.
    QByteArray getPostIssueData(const QString& unused, QByteArray issue, const QString& token, const QString& uid,
                                const QString& rid, const QString& draft) const;
    // The whole "post_issue" body of an issue with screenshots, built in one
    // buffer: the same bytes as getPostIssueData of getIssueWithScreenshot,
    // at about the memory of the body alone.
    QByteArray buildPostIssueBody(const QString& type, const QString& priority, const QString& subject,
                                  const QString& description, const QStringList& screens, const QString& token,
                                  const QString& uid, const QString& rid, const QString& draft) const;
    QByteArray getCrashData(const QString& apiKey, const QString& log, const QString& token,
                            const QByteArray& deviceDocument, const QString& rid, const QString& uid) const;
    QByteArray getLogsData(const QByteArray& joinedEntries, const QString& token) const;
    QByteArray makejsonTrackState(const QString& action) const;
    QByteArray getUpdateJSON(const QString& apiKey) const;

    QByteArray getIssue(const QString& type, const QString& priority, const QString& subject,
                        const QString& description) const;
    // Each file's bytes are encoded straight into the object; a file that
    // cannot be read is sent with an empty "file" and logged.
    QByteArray getIssueWithScreenshot(const QString& type, const QString& priority, const QString& subject,
                                      const QString& description, const QStringList& screens) const;
    // One entry of a "post_logs" batch from a stored entry ("log", "level", "ts").
    QByteArray getLogJSON(const QVariantMap& entry) const;
    // The same, appended to out (a batch is built in one buffer).
    void appendLogJSON(QByteArray& out, const QVariantMap& entry) const;

    QString encodeToBase64String(const QString& text) const;
    QString encodeToBase64Data(const QByteArray& bytes) const;
    QString cleanBase64String(const QString& text) const;

    // "Type:Version:Build:API" of the library's "libInfo" resource.
    QString getLibInfoPlistString() const;

private:
    mutable QMutex mutex_;
    std::function<DeviceIdentity()> identity_;
};

}  // namespace brelvo
