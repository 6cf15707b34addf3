#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>

namespace brelvo {

// One line of text painted by the widget itself, in its own font and colour,
// elided at the right when it does not fit. A host's style sheet reaches
// neither its background nor its font, as it would a QLabel's.
class ProfileLabel : public QWidget {
    Q_OBJECT
public:
    explicit ProfileLabel(QWidget* parent = nullptr);

    QString text() const { return text_; }
    void setText(const QString& text);
    QFont textFont() const { return font_; }
    void setTextFont(const QFont& font);
    QColor textColor() const { return color_; }
    void setTextColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    QFont font_;
    QColor color_ = Qt::black;
};

// A row of the profile table: a grey bold title over a blue bold value, on a
// card 20 points in from either side, as the header's texts and picture are.
// Rows cannot be selected, so nothing ever highlights.
class UserProfileCell : public QWidget {
    Q_OBJECT
public:
    static constexpr int kInset = 20;

    explicit UserProfileCell(QWidget* parent = nullptr);

    void setupWithTitle(const QString& title, const QString& value);

    ProfileLabel* titleLbl() const { return titleLbl_; }
    ProfileLabel* valueLbl() const { return valueLbl_; }
    // The card behind the labels, in the cell's coordinates.
    QRect backgroundFrame() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    ProfileLabel* titleLbl_ = nullptr;
    ProfileLabel* valueLbl_ = nullptr;
};

}  // namespace brelvo
