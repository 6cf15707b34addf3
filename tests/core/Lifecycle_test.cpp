// The lifecycle without a service: the log timer's on/off, the first
// activation rule without a session, and the platform services staying
// harmless where the desktop lacks them.
#include <brelvo/Brelvo.h>

#include "core/BrelvoComponents.h"
#include "core/Lifecycle.h"
#include "state/BrelAuthenticationDM.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTimer>

#include <gtest/gtest.h>

using namespace brelvo;

namespace {

int runningLogTimers() {
    int n = 0;
    for (QTimer* t : qApp->findChildren<QTimer*>(Qt::FindDirectChildrenOnly))
        if (t->isActive() && t->interval() == 5000) ++n;
    return n;
}

}  // namespace

TEST(Lifecycle, EnableTimerKeepsExactlyOneRunningLogTimerAndPlatformServicesAreHarmless) {
    BrelvoComponents& facade = components();
    const int before = runningLogTimers();
    facade.enableTimer(true);
    facade.enableTimer(true);
    EXPECT_EQ(runningLogTimers(), before + 1);
    facade.enableTimer(false);
    EXPECT_EQ(runningLogTimers(), before);
    facade.enableTimer(false);  // stopping a stopped timer is harmless
    facade.enableTimer(true);
    EXPECT_EQ(runningLogTimers(), before + 1);
    facade.enableTimer(false);

    facade.playSystemSound(1108);
    facade.playSystemSound(-1);
    // A date that has passed fires at once, on the GUI thread; with no
    // notification service (or no session bus) it is only logged.
    facade.registerLocalNotificationWithText(QStringLiteral("Test build 2.5 is ready"),
                                             QDateTime::currentDateTime().addSecs(-1));
    facade.registerLocalNotificationWithText(QStringLiteral("later"), QDateTime::currentDateTime().addDays(400));
    facade.registerLocalNotificationWithText(QStringLiteral("no date"), QDateTime());
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

TEST(Lifecycle, WithoutASessionNothingIsReportedAndTheLaunchIsUsedUp) {
    qApp->setProperty("brelvo_service_url", QStringLiteral("http://127.0.0.1:1/"));
    ASSERT_FALSE(BrelAuthenticationDM::shared().payload().has_value());
    Lifecycle& life = Lifecycle::shared();
    std::atomic<int> resumes{0};
    life.setResumeFinished([&](bool) { ++resumes; });
    life.applicationStateChanged(Qt::ApplicationActive);
    EXPECT_FALSE(life.isFirstTime());
    life.applicationStateChanged(Qt::ApplicationInactive);
    life.applicationStateChanged(Qt::ApplicationActive);
    QCoreApplication::processEvents();
    EXPECT_EQ(resumes, 0);  // no session: no resume was attempted
    life.setResumeFinished(nullptr);
}

