#pragma once

#include <QImage>
#include <QString>
#include <QVariant>

class QWidget;

namespace brelvo {

// Small utilities several parts of the library share. Keeps no state; the
// string operations may run on any thread, the view operations on the GUI thread.
class CategoryHelper {
public:
    static constexpr int kActivityViewTag = 5678;

    static CategoryHelper& shared();

    // The JSON text parsed (objects as QVariantMap, arrays as QVariantList), or
    // none when it does not parse.
    QVariant dictionaryFromJSONString(const QString& text) const;

    // True only for a string that is not "" (false for none and for JSON null).
    bool isNotEmptyString(const QVariant& value) const;

    // Standard Base64 of the text's bytes with every "=" removed ("abc" → "YWJj", "ab" → "YWI").
    QString base64StringFromString(const QString& text) const;

    // MD5 of the UTF-8 bytes as 32 upper-case hexadecimal digits.
    QString getMD5HashFromString(const QString& text) const;

    // Covers the view with a touch-blocking overlay (tag 5678) holding a black
    // rounded box with a large white spinning indicator.
    void showSmallActivityViewOnView(QWidget* view) const;
    void removeActivityViewFromView(QWidget* view) const;

    int fullAutoresizing() const;
    void setFullAutoresizingView(QWidget* view) const;
    void setMarginAutoresizingView(QWidget* view) const;

    // A picture of the library's resource bundle; a null image when there is none.
    QImage getImageWithName(const QString& name) const;
};

}  // namespace brelvo
