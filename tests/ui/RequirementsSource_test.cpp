// What the requirements source decides from values alone; its traffic with the
// service is tested in tests/integration/Requirements_test.cpp.
#include "platform/Defaults.h"
#include "state/SharedState.h"
#include "ui/requirements/RequirementReporter.h"
#include "ui/requirements/RequirementsSource.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

using namespace brelvo;

namespace {

TEST(RequirementsSource, NextPageOnlyWhenTheRowsFillWholePages) {
    const struct {
        qsizetype rows;
        QVariant pageSize;
        int page;
    } cases[] = {
        {20, 20, 1},         {19, 20, -1},  {40, 20, 2},  {0, 20, -1},         {20, QStringLiteral("20"), 1},
        {20, 0, -1},         {20, -5, -1},  {20, QVariant(), -1},              {20, QStringLiteral("abc"), -1},
        {20, QVariant::fromValue(nullptr), -1},
    };
    for (const auto& c : cases) EXPECT_EQ(RequirementsSource::nextPage(c.rows, c.pageSize), c.page) << c.rows;
}

TEST(RequirementsSource, ALockedSessionAsksAndReportsNothing) {
    const bool was = SharedState::shared().isInit();
    SharedState::shared().setIsInit(false);
    Defaults::standard().removeObject(RequirementReporter::kQueueKey);
    RequirementsSource source;
    QSignalSpy changed(&source, &RequirementsSource::rowsChanged);
    source.takeList({QVariantMap{{"rid", 1}}}, QVariant());
    EXPECT_FALSE(source.loadTab(RequirementsSource::kPassed));
    EXPECT_FALSE(source.isLoading());
    EXPECT_EQ(source.rows().size(), 1);
    EXPECT_EQ(changed.size(), 1);
    EXPECT_FALSE(RequirementReporter::shared().report(1, 2));
    EXPECT_TRUE(RequirementReporter::shared().pending().isEmpty());
    SharedState::shared().setIsInit(was);
}

}  // namespace
