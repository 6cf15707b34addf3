#include "ui/common/BVDelegateProxy.h"

#include "support/LogCapture.h"

#include <QObject>

#include <gtest/gtest.h>

namespace {

class TableDelegate : public QObject {
    Q_OBJECT
public:
    int selected = -1;
    QString lastTitle;
    Q_INVOKABLE void didSelectRowAtIndexPath(int section, int row) { selected = section * 100 + row; }
    Q_INVOKABLE void setTitle(const QString& title) { lastTitle = title; }
};

}  // namespace

TEST(BVDelegateProxy, ForwardsCallsByNameAndLogsThem) {
    TableDelegate delegate;
    brelvo::BVDelegateProxy* proxy = brelvo::BVDelegateProxy::registerProxyFor(&delegate);
    EXPECT_TRUE(proxy->respondsToSelector("setTitle"));
    EXPECT_FALSE(proxy->respondsToSelector("noSuchMethod"));

    const brelvo::test::LogCapture log;
    EXPECT_TRUE(proxy->forwardInvocation("didSelectRowAtIndexPath", 1, 7));
    EXPECT_TRUE(proxy->forwardInvocation("setTitle", QStringLiteral("Notes")));
    EXPECT_FALSE(proxy->forwardInvocation("noSuchMethod", 3));
    EXPECT_FALSE(proxy->forwardInvocation("setTitle", 42));  // wrong argument type: refused
    const QStringList captured = log.lines();

    EXPECT_EQ(delegate.selected, 107);
    EXPECT_EQ(delegate.lastTitle, QStringLiteral("Notes"));
    ASSERT_GE(captured.size(), 4);
    EXPECT_EQ(captured[0], QStringLiteral("============================   didSelectRowAtIndexPath"));
    EXPECT_EQ(captured[1], QStringLiteral("SELECTED ROW: 1"));
    EXPECT_EQ(captured[2], QStringLiteral("SELECTED ROW: 7"));
    EXPECT_EQ(captured[3], QStringLiteral("============================   setTitle"));
}

TEST(BVDelegateProxy, AGoneObjectIsNoLongerCalled) {
    auto* delegate = new TableDelegate;
    brelvo::BVDelegateProxy* proxy = brelvo::BVDelegateProxy::registerProxyFor(delegate);
    delete delegate;
    EXPECT_FALSE(proxy->respondsToSelector("setTitle"));
    EXPECT_FALSE(proxy->forwardInvocation("setTitle", QStringLiteral("x")));
}

#include "BVDelegateProxy_test.moc"
