#pragma once

#include <QObject>
#include <QVariantMap>

namespace brelvo {

// Fetches one requirement for the detail screen ("requirement" call). Lives
// on the GUI thread; the request runs on the global pool and the answer
// arrives on the GUI thread. Only the answer to the latest load is
// delivered: an earlier one that arrives later is dropped.
class RequirementLoader : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Asks for the requirement with this id. False, and nothing sent, while
    // the session is locked.
    bool load(int rid);

signals:
    void loaded(const QVariantMap& requirement);
    // No usable answer; an error answer has already shown the lock screen.
    void failed(int rid);

private:
    quint64 generation_ = 0;
};

}  // namespace brelvo
