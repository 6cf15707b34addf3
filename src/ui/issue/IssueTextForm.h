#pragma once

#include <QString>

class QWidget;

namespace brelvo {

// What the summary and description editor needs of the issue form that
// presents it.
class IssueTextForm {
public:
    static inline const QString kDescriptionPlaceholder = QStringLiteral("Tap to edit description");

    virtual ~IssueTextForm() = default;
    virtual QString summaryText() const = 0;
    // Empty while the description shows its placeholder.
    virtual QString descriptionText() const = 0;
    virtual void setSummaryText(const QString& text) = 0;
    virtual void setDescriptionText(const QString& text) = 0;
    // The form's view, which the editor covers and gives back.
    virtual QWidget* formView() = 0;
};

}  // namespace brelvo
