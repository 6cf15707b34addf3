#pragma once

// A host application for the session screens: a 320 × 568 main window with a
// button of its own, made the screen, and one library window above it (the
// last window). Clicks go through the window system, so they land on
// whatever really lies on top.
#define QTEST_QPA_MOUSE_HANDLING
#include "platform/Screen.h"
#include "platform/WindowLayer.h"
#include "ui/session/BVAlert.h"

#include "support/LogCapture.h"

#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace brelvo::test {

class SessionHostTest : public ::testing::Test {
protected:
    void SetUp() override { makeHost(QSize(320, 568)); }
    void TearDown() override {
        layer.reset();
        screen::setWindow(nullptr);
        qApp->setProperty("brelvo_idiom", QVariant());
    }

    void makeHost(const QSize& size) {
        layer.reset();
        host = std::make_unique<QWidget>();
        host->resize(size);
        hostButton = new QPushButton(QStringLiteral("Host action"), host.get());
        hostButton->setGeometry(10, 10, 120, 40);
        host->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));
        screen::setWindow(host.get());
        layer = std::make_unique<WindowLayer>(QRect(QPoint(0, 0), size), host.get());
        layer->setWindowLevel(WindowLayer::kAlertLevel);
        layer->show();
    }

    // The alert showing over the host, if any.
    BVAlert* visibleAlert() const {
        for (BVAlert* alert : host->findChildren<BVAlert*>())
            if (alert->isVisible()) return alert;
        return nullptr;
    }

    std::unique_ptr<QWidget> host;
    QPushButton* hostButton = nullptr;
    std::unique_ptr<WindowLayer> layer;
};

}  // namespace brelvo::test
