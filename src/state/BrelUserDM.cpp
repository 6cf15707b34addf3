#include "state/BrelUserDM.h"

#include "state/RecordValues.h"

namespace brelvo {

std::optional<BrelUserDM> BrelUserDM::modelFromDictionary(const QVariant& dictionary) {
    if (dictionary.typeId() != QMetaType::QVariantMap) return std::nullopt;
    const QVariantMap map = dictionary.toMap();
    BrelUserDM record;
    record.full_name_ = records::textOf(map.value(QStringLiteral("full_name")));
    record.image_ = records::textOf(map.value(QStringLiteral("image")));
    record.role_ = records::textOf(map.value(QStringLiteral("role")));
    return record;
}

QVariantMap BrelUserDM::encodeWithCoder() const {
    QVariantMap archive;
    records::insertText(archive, QStringLiteral("User_full_name"), full_name_);
    records::insertText(archive, QStringLiteral("User_image"), image_);
    records::insertText(archive, QStringLiteral("User_role"), role_);
    return archive;
}

std::optional<BrelUserDM> BrelUserDM::initWithCoder(const QVariant& archive) {
    if (archive.typeId() != QMetaType::QVariantMap) return std::nullopt;
    const QVariantMap map = archive.toMap();
    BrelUserDM record;
    record.full_name_ = records::textOf(map.value(QStringLiteral("User_full_name")));
    record.image_ = records::textOf(map.value(QStringLiteral("User_image")));
    record.role_ = records::textOf(map.value(QStringLiteral("User_role")));
    return record;
}

}  // namespace brelvo
