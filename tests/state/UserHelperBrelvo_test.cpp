#include "state/UserHelperBrelvo.h"

#include <QThread>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using brelvo::UserHelperBrelvo;

TEST(UserHelperBrelvoState, StartsWithEmptyTextsAndAnEmptyErrorRecord) {
    UserHelperBrelvo& h = UserHelperBrelvo::shared();
    EXPECT_FALSE(h.name().isNull());
    EXPECT_TRUE(h.name().isEmpty());
    EXPECT_FALSE(h.role().isNull());
    EXPECT_FALSE(h.iconPath().isNull());
    EXPECT_TRUE(h.titleCompany().isNull());
    EXPECT_TRUE(h.errorInfo().errorMessage().isNull());
    EXPECT_FALSE(h.errorInfo().showRefreshButton());
    EXPECT_TRUE(h.activeRequirement().isEmpty());
    EXPECT_EQ(h.typeIndex(), 0u);
    EXPECT_FALSE(h.isOpen());
    EXPECT_TRUE(h.lastImage().isNull());
    EXPECT_EQ(h.sliderButton(), nullptr);
}

TEST(UserHelperBrelvoPriorities, ColourAndNameOfAPriorityNumber) {
    const QColor grey = UserHelperBrelvo::getColorForActivePriorityByPriorityNumber(0);
    ASSERT_TRUE(grey.isValid());
    EXPECT_NEAR(grey.redF(), 2.0 / 3.0, 0.002);
    EXPECT_EQ(grey.red(), grey.green());
    EXPECT_EQ(grey.green(), grey.blue());
    EXPECT_EQ(UserHelperBrelvo::getColorForActivePriorityByPriorityNumber(1), QColor(110, 158, 64));
    EXPECT_EQ(UserHelperBrelvo::getColorForActivePriorityByPriorityNumber(2), QColor(254, 116, 72));
    EXPECT_EQ(UserHelperBrelvo::getColorForActivePriorityByPriorityNumber(3), QColor(253, 91, 54));
    EXPECT_EQ(UserHelperBrelvo::getColorForActivePriorityByPriorityNumber(qint64(3)).alphaF(), 1.0);
    EXPECT_FALSE(UserHelperBrelvo::getColorForActivePriorityByPriorityNumber(4).isValid());
    EXPECT_FALSE(UserHelperBrelvo::getColorForActivePriorityByPriorityNumber(-1).isValid());

    UserHelperBrelvo h;
    EXPECT_EQ(h.getPriorityByPriorityNumber(2), QStringLiteral(""));
    EXPECT_FALSE(h.getPriorityByPriorityNumber(2).isNull());

    h.setRequirementsProperties({QVariantMap{{QStringLiteral("id"), 1}, {QStringLiteral("name"), QStringLiteral("low")}},
                                 QVariantMap{{QStringLiteral("id"), qint64(2)}, {QStringLiteral("name"), QStringLiteral("high")}},
                                 QVariantMap{{QStringLiteral("id"), 2}, {QStringLiteral("name"), QStringLiteral("second")}},
                                 QStringLiteral("not a dictionary")});
    EXPECT_EQ(h.getPriorityByPriorityNumber(2), QStringLiteral("HIGH"));
    EXPECT_EQ(h.getPriorityByPriorityNumber(2.0), QStringLiteral("HIGH"));  // numeric equality
    EXPECT_EQ(h.getPriorityByPriorityNumber(1), QStringLiteral("LOW"));
    EXPECT_EQ(h.getPriorityByPriorityNumber(7), QStringLiteral(""));
    EXPECT_EQ(h.getPriorityByPriorityNumber(QVariant()), QStringLiteral(""));
}

TEST(UserHelperBrelvoState, ErrorRecordChangesInPlaceAcrossThreads) {
    UserHelperBrelvo h;
    // Service answers write the error on pool threads while the GUI thread reads it.
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([&h, t] {
            for (int i = 0; i < 500; ++i)
                h.updateErrorInfo([&](brelvo::ErrorInfo& e) { e.setErrorMessage(QStringLiteral("w%1-%2").arg(t).arg(i)); });
        });
    for (int i = 0; i < 2000; ++i) (void)h.errorInfo().errorMessage().size();
    for (auto& w : writers) w.join();
    EXPECT_TRUE(h.errorInfo().errorMessage().endsWith(QStringLiteral("-499")));
}
