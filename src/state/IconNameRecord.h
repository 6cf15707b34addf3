#pragma once

#include "state/RecordValues.h"

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace brelvo {

// The issue types and priorities of the service's answers: an "id" (taken
// when it is a number, else the number 0), an "icon" and a "name" (taken when
// they are strings, else the empty string).
template <typename Self>
class IconNameRecord {
public:
    // None unless given a dictionary.
    static std::optional<Self> modelFromDictionary(const QVariant& dictionary) {
        if (dictionary.typeId() != QMetaType::QVariantMap) return std::nullopt;
        const QVariantMap map = dictionary.toMap();
        Self record;
        const QVariant id = map.value(QStringLiteral("id"));
        record.id_ = records::isNumber(id) ? records::normalisedNumber(id) : QVariant::fromValue<qint64>(0);
        record.icon_ = records::stringOrEmpty(map.value(QStringLiteral("icon")));
        record.name_ = records::stringOrEmpty(map.value(QStringLiteral("name")));
        return record;
    }

    QVariant ID() const { return id_; }
    QString icon() const { return icon_; }
    QString name() const { return name_; }

    bool operator==(const IconNameRecord&) const = default;

protected:
    QVariant id_;
    QString icon_;
    QString name_;
};

// The same record kept in the authentication archive under Self::kArchivePrefix
// + "ID", "icon" and "name".
template <typename Self>
class ArchivedIconNameRecord : public IconNameRecord<Self> {
public:
    QVariantMap encodeWithCoder() const {
        QVariantMap archive;
        records::insertValue(archive, key("ID"), this->id_);
        records::insertText(archive, key("icon"), this->icon_);
        records::insertText(archive, key("name"), this->name_);
        return archive;
    }

    // None unless given a dictionary; a missing key leaves its field without value.
    static std::optional<Self> initWithCoder(const QVariant& archive) {
        if (archive.typeId() != QMetaType::QVariantMap) return std::nullopt;
        const QVariantMap map = archive.toMap();
        Self record;
        const QVariant id = map.value(key("ID"));
        if (records::isNumber(id)) record.id_ = records::normalisedNumber(id);
        record.icon_ = records::textOf(map.value(key("icon")));
        record.name_ = records::textOf(map.value(key("name")));
        return record;
    }

private:
    static QString key(const char* field) { return QLatin1String(Self::kArchivePrefix) + QLatin1String(field); }
};

}  // namespace brelvo
