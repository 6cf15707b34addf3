// The context file a crashed run leaves for the report sent at the next start.
#include "diagnostics/CrashContext.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace brelvo;

TEST(CrashContext, SavedContextLoadsWholeEvenWithTextsHoldingNul) {
    const QString nul(QChar(u'\0'));
    const CrashContext saved{QByteArray("{\"name\":\"a") + '\0' + QByteArray("b\"}"),
                             QStringLiteral("tok") + nul + QStringLiteral("en"), QStringLiteral("12"),
                             QStringLiteral("tester") + nul};
    const QString path = test::home() + QStringLiteral("/context.plist");
    ASSERT_TRUE(saved.save(path));
    CrashContext loaded;
    ASSERT_TRUE(CrashContext::load(path, &loaded));
    EXPECT_EQ(loaded.state, saved.state);
    EXPECT_EQ(loaded.token, saved.token);
    EXPECT_EQ(loaded.rid, saved.rid);
    EXPECT_EQ(loaded.uid, saved.uid);
}
