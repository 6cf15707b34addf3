#include "platform/Dispatch.h"

#include "platform/Log.h"

#include <QCoreApplication>
#include <QThread>

#include <atomic>

namespace brelvo::dispatch {

namespace {
std::atomic<void (*)()> g_workerPreparation{nullptr};
}  // namespace

void setWorkerPreparation(void (*prepare)()) {
    g_workerPreparation.store(prepare);
}

QThreadPool& globalPool() {
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;  // lives until the process ends, like the queue it stands for
        p->setObjectName(QStringLiteral("brelvo.global"));
        // Service calls block for up to their time-out; leave room for several at once.
        p->setMaxThreadCount(qMax(8, QThread::idealThreadCount() * 2));
        return p;
    }();
    return *pool;
}

bool isMainThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void toMain(std::function<void()> work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        qCWarning(lcBrelvo) << "no application object: work for the GUI thread dropped";
        return;
    }
    QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
}

void toGlobal(std::function<void()> work) {
    globalPool().start([work = std::move(work)] {
        thread_local bool prepared = false;
        if (!prepared) {
            if (void (*prepare)() = g_workerPreparation.load()) {
                prepare();
                prepared = true;
            }
        }
        work();
    });
}

void toMainAndWait(const std::function<void()>& work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || isMainThread()) {
        work();
        return;
    }
    QMetaObject::invokeMethod(app, work, Qt::BlockingQueuedConnection);
}

}  // namespace brelvo::dispatch
