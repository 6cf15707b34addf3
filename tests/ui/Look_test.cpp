// Values behind the library's look: text contrast, the tester's initials.
#include "ui/common/Contrast.h"
#include "ui/common/InitialsPicture.h"
#include "ui/issue/FeedbackViewControllerBrelvo.h"
#include "ui/session/LockScreenViewControllerBrelvo.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace brelvo;

TEST(Contrast, RatiosOfKnownPairs) {
    EXPECT_DOUBLE_EQ(contrastRatio(Qt::black, Qt::white), 21.0);
    EXPECT_DOUBLE_EQ(contrastRatio(QColor(119, 119, 119), QColor(119, 119, 119)), 1.0);
    EXPECT_NEAR(contrastRatio(QColor(118, 118, 118), Qt::white), 4.54, 0.01);  // the lightest grey for body text
    EXPECT_DOUBLE_EQ(contrastRatio(Qt::red, Qt::blue), contrastRatio(Qt::blue, Qt::red));

    // Text pairs of the screens, read as body text.
    using Lock = LockScreenViewControllerBrelvo;
    using Form = FeedbackViewControllerBrelvo;
    EXPECT_GE(contrastRatio(Lock::kActionText, Lock::kActionBackground), 4.5) << "the lock screen's action";
    EXPECT_GE(contrastRatio(Form::kReadMoreText, Form::kOfflineBar), 4.5) << "\"Read more\" on the offline bar";
}

TEST(InitialsPicture, LettersAndAStableReadableColourFromTheName) {
    EXPECT_EQ(initials::of(QStringLiteral("Dana Ruiz")), QStringLiteral("DR"));
    EXPECT_EQ(initials::of(QStringLiteral("  ana maría  de la Cruz ")), QStringLiteral("AC"));
    EXPECT_EQ(initials::of(QStringLiteral("Émile")), QStringLiteral("É"));
    EXPECT_EQ(initials::of(QStringLiteral("(Al) -")), QStringLiteral("A"));
    EXPECT_EQ(initials::of(QStringLiteral("  ")), QString());

    EXPECT_EQ(initials::colourFor(QStringLiteral("Dana Ruiz")), initials::colourFor(QStringLiteral(" dana  ruiz")));
    QSet<QRgb> tones;
    for (const char* name : {"Dana Ruiz", "Al", "Bo", "Cy", "Ed", "Flo", "Gus", "Hal", "Ivy", "Jo", ""}) {
        const QColor tone = initials::colourFor(QString::fromLatin1(name));
        tones.insert(tone.rgb());
        EXPECT_GE(contrastRatio(tone, Qt::white), 4.5) << name;
    }
    EXPECT_GT(tones.size(), 3);  // names spread over the tones

    const QImage picture = initials::picture(QStringLiteral("Dana Ruiz"), 80);
    ASSERT_EQ(picture.size(), QSize(80, 80));
    EXPECT_EQ(picture.pixelColor(2, 2), initials::colourFor(QStringLiteral("Dana Ruiz")));
    int white = 0;  // the letters, in the middle
    for (int y = 20; y < 60; ++y)
        for (int x = 10; x < 70; ++x) white += picture.pixelColor(x, y).lightness() > 200;
    EXPECT_GT(white, 50);
    EXPECT_EQ(initials::picture(QString(), 8).pixelColor(4, 4), initials::colourFor(QString()));
}
