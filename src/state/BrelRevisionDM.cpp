#include "state/BrelRevisionDM.h"

#include "state/RecordValues.h"

namespace brelvo {

std::optional<BrelRevisionDM> BrelRevisionDM::modelFromDictionary(const QVariant& dictionary) {
    if (dictionary.typeId() != QMetaType::QVariantMap) return std::nullopt;
    const QVariantMap map = dictionary.toMap();
    BrelRevisionDM record;
    record.title_ = records::textOf(map.value(QStringLiteral("title")));
    record.build_number_ = records::textOf(map.value(QStringLiteral("build_number")));
    record.icon_ = records::textOf(map.value(QStringLiteral("icon")));
    record.project_ = records::textOf(map.value(QStringLiteral("project")));
    record.organization_ = records::textOf(map.value(QStringLiteral("organization")));
    return record;
}

QVariantMap BrelRevisionDM::encodeWithCoder() const {
    QVariantMap archive;
    records::insertText(archive, QStringLiteral("Revision_title"), title_);
    records::insertText(archive, QStringLiteral("Revision_build_number"), build_number_);
    records::insertText(archive, QStringLiteral("Revision_icon"), icon_);
    records::insertText(archive, QStringLiteral("Revision_project"), project_);
    records::insertText(archive, QStringLiteral("Revision_organization"), organization_);
    return archive;
}

std::optional<BrelRevisionDM> BrelRevisionDM::initWithCoder(const QVariant& archive) {
    if (archive.typeId() != QMetaType::QVariantMap) return std::nullopt;
    const QVariantMap map = archive.toMap();
    BrelRevisionDM record;
    record.title_ = records::textOf(map.value(QStringLiteral("Revision_title")));
    record.build_number_ = records::textOf(map.value(QStringLiteral("Revision_build_number")));
    record.icon_ = records::textOf(map.value(QStringLiteral("Revision_icon")));
    record.project_ = records::textOf(map.value(QStringLiteral("Revision_project")));
    record.organization_ = records::textOf(map.value(QStringLiteral("Revision_organization")));
    return record;
}

}  // namespace brelvo
