#include "platform/CategoryHelper.h"

#include "platform/ActivityIndicator.h"
#include "platform/ViewTags.h"
#include "support/TestSupport.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

using brelvo::CategoryHelper;

namespace {
CategoryHelper& helper() {
    return CategoryHelper::shared();
}
}  // namespace

TEST(CategoryHelperStrings, EmptyStringTestBase64WithoutPaddingAndUpperCaseMd5) {
    EXPECT_FALSE(helper().isNotEmptyString(QString()));
    EXPECT_FALSE(helper().isNotEmptyString(QStringLiteral("")));
    EXPECT_TRUE(helper().isNotEmptyString(QStringLiteral(" ")));
    EXPECT_FALSE(helper().isNotEmptyString(QVariant()));
    EXPECT_FALSE(helper().isNotEmptyString(QVariant::fromValue(nullptr)));  // JSON null
    EXPECT_FALSE(helper().isNotEmptyString(5));
    EXPECT_FALSE(helper().isNotEmptyString(QVariantList{QStringLiteral("a")}));

    EXPECT_EQ(helper().base64StringFromString(QString()), QString());
    EXPECT_EQ(helper().base64StringFromString(QStringLiteral("abc")), QStringLiteral("YWJj"));
    EXPECT_EQ(helper().base64StringFromString(QStringLiteral("ab")), QStringLiteral("YWI"));
    EXPECT_EQ(helper().base64StringFromString(QStringLiteral("a")), QStringLiteral("YQ"));
    EXPECT_EQ(helper().base64StringFromString(QStringLiteral("foobar")), QStringLiteral("Zm9vYmFy"));
    EXPECT_EQ(helper().base64StringFromString(QStringLiteral("fooba")), QStringLiteral("Zm9vYmE"));
    // Non-ASCII text is encoded from its UTF-8 bytes instead of vanishing.
    EXPECT_EQ(helper().base64StringFromString(QStringLiteral("é")), QStringLiteral("w6k"));
    EXPECT_EQ(helper().getMD5HashFromString(QString()), QStringLiteral("D41D8CD98F00B204E9800998ECF8427E"));
    EXPECT_EQ(helper().getMD5HashFromString(QStringLiteral("abc")), QStringLiteral("900150983CD24FB0D6963F7D28E17F72"));
}

TEST(CategoryHelperStrings, JsonTextGivesContainersOrNone) {
    const QVariant parsed =
        helper().dictionaryFromJSONString(QStringLiteral(R"({"a": {"b": [1, "two", null]}, "n": 12})"));
    ASSERT_EQ(parsed.typeId(), QMetaType::QVariantMap);
    const QVariantList list = parsed.toMap()[QStringLiteral("a")].toMap()[QStringLiteral("b")].toList();
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(list[0].typeId(), QMetaType::LongLong);
    EXPECT_EQ(list[1].toString(), QStringLiteral("two"));
    EXPECT_TRUE(list[2].isValid());
    EXPECT_EQ(parsed.toMap()[QStringLiteral("n")].toLongLong(), 12);

    EXPECT_FALSE(helper().dictionaryFromJSONString(QStringLiteral("<html>502 Bad Gateway</html>")).isValid());
    EXPECT_FALSE(helper().dictionaryFromJSONString(QString()).isValid());
    EXPECT_FALSE(helper().dictionaryFromJSONString(QStringLiteral(R"({"a": 1)")).isValid());
    // Members of none read as absent.
    EXPECT_FALSE(helper().dictionaryFromJSONString(QStringLiteral("nope")).toMap().value(QStringLiteral("payload")).isValid());
    // A missing picture is a null image, also one named outside the resources.
    EXPECT_TRUE(helper().getImageWithName(QStringLiteral("no-such-picture.png")).isNull());
    EXPECT_TRUE(helper().getImageWithName(QStringLiteral("../../etc/passwd")).isNull());
}

class ActivityViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        screen.resize(320, 480);
        button = new QPushButton(QStringLiteral("Host"), &screen);
        button->setGeometry(110, 215, 100, 50);
        screen.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
    }
    QWidget screen;
    QPushButton* button = nullptr;
};

TEST_F(ActivityViewTest, CoversTheViewWithACentredBoxThatFollowsItAndBlocksInput) {
    helper().showSmallActivityViewOnView(&screen);
    QWidget* overlay = brelvo::tags::viewWithTag(&screen, CategoryHelper::kActivityViewTag);
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(overlay->geometry(), screen.rect());
    EXPECT_TRUE(overlay->isVisible());

    auto* indicator = overlay->findChild<brelvo::ActivityIndicator*>();
    ASSERT_NE(indicator, nullptr);
    EXPECT_TRUE(indicator->isAnimating());
    const QWidget* box = indicator->parentWidget();
    EXPECT_EQ(box->geometry(), QRect(110, 190, 100, 100));
    EXPECT_EQ(indicator->geometry().center(), QPoint(50, 50));

    QSignalSpy clicked(button, &QPushButton::clicked);
    // A click where the host's button lies lands on the overlay, not on the button.
    QWidget* hit = screen.childAt(130, 240);
    EXPECT_TRUE(hit == overlay || overlay->isAncestorOf(hit));
    QTest::mouseClick(hit, Qt::LeftButton, {}, hit->mapFrom(&screen, QPoint(130, 240)));
    EXPECT_EQ(clicked.count(), 0);

    screen.resize(480, 320);  // turned
    EXPECT_EQ(overlay->geometry(), QRect(0, 0, 480, 320));
    EXPECT_EQ(box->size(), QSize(100, 100));
    EXPECT_EQ(box->geometry().center(), QRect(0, 0, 480, 320).center());
}

TEST_F(ActivityViewTest, RemovalGivesInputBackAndIsHarmlessWhenNothingShows) {
    helper().removeActivityViewFromView(&screen);  // nothing to remove
    helper().removeActivityViewFromView(nullptr);
    helper().showSmallActivityViewOnView(&screen);
    helper().removeActivityViewFromView(&screen);
    EXPECT_EQ(brelvo::tags::viewWithTag(&screen, CategoryHelper::kActivityViewTag), nullptr);
    helper().removeActivityViewFromView(&screen);

    QSignalSpy clicked(button, &QPushButton::clicked);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
}
