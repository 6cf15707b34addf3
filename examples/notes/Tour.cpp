#include "Tour.h"

#include "state/UserHelperBrelvo.h"

#include "NotesWindow.h"

#include <brelvo/Brelvo.h>

#include "core/BrelvoComponents.h"
#include "diagnostics/LogHelper.h"
#include "platform/ImageButton.h"
#include "platform/NotificationCenter.h"
#include "platform/ViewTags.h"
#include "state/NotificationNames.h"
#include "ui/editor/BrelvoEditImageViewController.h"
#include "ui/editor/canvas/BrelvoEditView.h"
#include "ui/editor/crop/BrelvoCropView.h"
#include "ui/editor/text/BrelvoTextView.h"
#include "ui/issue/ScreenshotEditBrelvoVC.h"
#include "ui/issue/FeedbackViewControllerBrelvo.h"
#include "ui/issue/IssueOutbox.h"
#include "ui/issue/OXPickerViewBrelvo.h"
#include "protocol/BVReachability.h"
#include "protocol/NetworkClientBrelvo.h"
#include "ui/issue/ScreenshotStrip.h"
#include "ui/requirements/RequirementReporter.h"
#include "ui/requirements/RequirementViewController.h"
#include "ui/requirements/RequirementsSource.h"
#include "ui/requirements/RequirementsViewController.h"
#include "ui/session/BVAlert.h"
#include "ui/session/BrelvoWindow.h"
#include "ui/session/CustomViewBrelvo.h"
#include "ui/session/LockScreenViewControllerBrelvo.h"
#include "ui/session/UserProfileViewController.h"

#include <httplib.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <atomic>
#include <cstdio>
#include <thread>

using brelvo::Brelvo;
using brelvo::LockScreenViewControllerBrelvo;

namespace {

// Deadlines. Authentication goes to the service and back, on a sanitizer
// build of a busy machine too; the rest is local animation and layout.
constexpr int kSessionMs = 60000;
constexpr int kScreenMs = 20000;
constexpr int kMenuMs = 10000;

// What a locked build answers while the lock step runs.
const char* kLockFault =
    R"({"kind":"code","count":100,"code":3,"error":"This build is locked by the project owner",)"
    R"("title":"Contact QA","url":"mailto:qa@example.org","refresh":true,"methods":["auth"]})";

// Text the edit step types at the start of the note.
const QString kTyped = QStringLiteral("Checked: ");

const QStringList kNames{QStringLiteral("wait-session"), QStringLiteral("shot"),         QStringLiteral("open-menu"),
                         QStringLiteral("close-menu"),   QStringLiteral("open-profile"), QStringLiteral("close-profile"),
                         QStringLiteral("lock"),         QStringLiteral("unlock"),       QStringLiteral("edit-note"),
                         QStringLiteral("send-logs"),    QStringLiteral("screenshot"),   QStringLiteral("fill-issue"),
                         QStringLiteral("post-issue"),   QStringLiteral("annotate"),     QStringLiteral("open-requirements"),
                         QStringLiteral("start-test"),   QStringLiteral("open-running"), QStringLiteral("pass-test"),
                         QStringLiteral("fail-test"),    QStringLiteral("go-offline"),   QStringLiteral("go-online"),
                         QStringLiteral("check-update"), QStringLiteral("crash-child"),  QStringLiteral("quit")};

QWidget* visibleWithTag(QWidget* root, int tag) {
    if (!root) return nullptr;
    if (brelvo::tags::tag(root) == tag && root->isVisible()) return root;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (brelvo::tags::tag(w) == tag && w->isVisible()) return w;
    }
    return nullptr;
}

QWidget* profileScreen() {
    for (QWidget* w : QApplication::allWidgets()) {
        if (w->inherits("brelvo::UserProfileViewController") && w->isVisible()) return w;
    }
    return nullptr;
}

int sessionMode() {
    brelvo::CustomViewBrelvo* panel = brelvo::components().mainView();
    return panel ? panel->buttonMode() : -1;
}

bool loadingShown() {
    QWidget* overlay = brelvo::components().getBVLibWindow();
    QWidget* loading = overlay ? brelvo::tags::viewWithTag(overlay, LockScreenViewControllerBrelvo::kLoadingTag) : nullptr;
    return loading && !loading->isHidden();
}

Tour::Outcome pass(const QString& detail = {}) { return {true, detail}; }
Tour::Outcome fail(const QString& detail) { return {false, detail}; }

// A key goes where a typed one goes: to the focused widget, through its window.
void sendKey(QWidget* target, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    target->activateWindow();
    target->setFocus(Qt::OtherFocusReason);
    QKeyEvent event(type, key, modifiers, text);
    QWindow* window = target->window()->windowHandle();
    QCoreApplication::sendEvent(window ? static_cast<QObject*>(window) : target, &event);
}

void typeText(QWidget* target, const QString& text) {
    for (QChar c : text) {
        sendKey(target, QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        sendKey(target, QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
    }
}

void pressKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers) {
    sendKey(target, QEvent::KeyPress, key, modifiers, QString());
    sendKey(target, QEvent::KeyRelease, key, modifiers, QString());
}

void tap(QWidget* target, const QPoint& at) {
    const QPointF global = target->mapToGlobal(QPointF(at));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &release);
}

}  // namespace

Tour::Tour(NotesWindow* window, const QString& screensDir, const QUrl& adminUrl)
    : window_(window), screensDir_(screensDir), adminUrl_(adminUrl) {}

QList<Tour::Step> Tour::builtIn() {
    QList<Step> steps;
    QString error;
    parse(QStringLiteral("wait-session\nshot 01-host\nedit-note\nsend-logs\nshot 02-edited\nopen-menu\nshot 03-menu\n"
                         "open-profile\nshot 04-profile\nclose-profile\nclose-menu\nscreenshot 05-preview\nshot 06-issue-screenshot\n"
                         "screenshot\nannotate\nfill-issue\nshot 07-issue-filled\npost-issue\nlock\nshot 08-locked\n"
                         "unlock\nshot 09-unlocked\n"
                         // An issue sent while the service is out of reach waits on the
                         // device and goes when the network is back.
                         "screenshot\nfill-issue\ngo-offline\npost-issue\ngo-online\ncheck-update\n"
                         // The demo build has a test under way: its page opens first, and it is
                         // passed, so the list lets another one start.
                         "open-requirements\nshot 10-requirement\npass-test\nshot 11-requirements\n"
                         "start-test\nopen-running\nfail-test\nshot 12-issue-requirement\nfill-issue\npost-issue\n"
                         "open-requirements\nstart-test\nopen-requirements\npass-test\ncrash-child\nquit\n"),
          &steps, &error);
    for (Step& s : steps) s.line = 0;
    return steps;
}

bool Tour::parse(const QString& text, QList<Step>* steps, QString* error) {
    steps->clear();
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        const QStringList words = line.split(QRegularExpression(QStringLiteral("\\s+")));
        Step step{words[0], words.mid(1).join(QLatin1Char(' ')), i + 1};
        if (!kNames.contains(step.name)) {
            *error = QStringLiteral("line %1: unknown step \"%2\" (steps: %3)").arg(i + 1).arg(step.name, kNames.join(QStringLiteral(", ")));
            return false;
        }
        // "shot" names its picture; "screenshot" may name one of the preview it opens.
        const bool wantsName = step.name == QLatin1String("shot");
        const bool takesName = wantsName || step.name == QLatin1String("screenshot");
        if ((wantsName && step.argument.isEmpty()) || step.argument.contains(QLatin1Char('/'))) {
            *error = QStringLiteral("line %1: %2 needs a file name without folders").arg(i + 1).arg(step.name);
            return false;
        }
        if (!takesName && !step.argument.isEmpty()) {
            *error = QStringLiteral("line %1: %2 takes no argument").arg(i + 1).arg(step.name);
            return false;
        }
        steps->append(step);
    }
    if (steps->isEmpty()) {
        *error = QStringLiteral("no steps");
        return false;
    }
    return true;
}

bool Tour::run(const QList<Step>& steps) {
    int passed = 0;
    for (int i = 0; i < steps.size(); ++i) {
        const Step& step = steps[i];
        const QString label = step.argument.isEmpty() ? step.name : step.name + QLatin1Char(' ') + step.argument;
        const Outcome outcome = runStep(step);
        std::printf("[%2d/%d] %-22s %s%s%s\n", i + 1, int(steps.size()), qPrintable(label), outcome.ok ? "ok" : "FAILED",
                    outcome.detail.isEmpty() ? "" : ": ", qPrintable(outcome.detail));
        std::fflush(stdout);
        if (!outcome.ok) {
            // A picture of the moment the step gave up, then stop: later steps build on this one.
            if (!screensDir_.isEmpty() && QDir().mkpath(screensDir_)) {
                const QString path = QDir(screensDir_).filePath(QStringLiteral("failed-%1.png").arg(step.name));
                if (window_->grab().save(path)) std::printf("        the window at that moment: %s\n", qPrintable(path));
            }
            for (int j = i + 1; j < steps.size(); ++j) {
                std::printf("[%2d/%d] %-22s not run\n", j + 1, int(steps.size()),
                            qPrintable(steps[j].argument.isEmpty() ? steps[j].name
                                                                   : steps[j].name + QLatin1Char(' ') + steps[j].argument));
            }
            break;
        }
        ++passed;
        if (step.name == QLatin1String("quit")) break;
    }
    std::printf("%d of %d steps passed\n", passed, int(steps.size()));
    std::fflush(stdout);
    return passed == steps.size();
}

Tour::Outcome Tour::runStep(const Step& step) {
    const QString& n = step.name;
    if (n == QLatin1String("wait-session")) return waitSession();
    if (n == QLatin1String("shot")) return shot(step.argument);
    if (n == QLatin1String("open-menu")) return moveMenu(true);
    if (n == QLatin1String("close-menu")) return moveMenu(false);
    if (n == QLatin1String("open-profile")) return openProfile();
    if (n == QLatin1String("close-profile")) return closeProfile();
    if (n == QLatin1String("lock")) return lock();
    if (n == QLatin1String("unlock")) return unlock();
    if (n == QLatin1String("edit-note")) return editNote();
    if (n == QLatin1String("go-offline")) return goOffline();
    if (n == QLatin1String("go-online")) return goOnline();
    if (n == QLatin1String("check-update")) return checkUpdate();
    if (n == QLatin1String("crash-child")) return crashChild();
    if (n == QLatin1String("send-logs")) return sendLogs();
    if (n == QLatin1String("screenshot")) return takeScreenshot(step.argument);
    if (n == QLatin1String("fill-issue")) return fillIssue();
    if (n == QLatin1String("post-issue")) return postIssue();
    if (n == QLatin1String("annotate")) return annotate();
    if (n == QLatin1String("open-requirements")) return openRequirements();
    if (n == QLatin1String("start-test")) return startTest();
    if (n == QLatin1String("open-running")) return openRunning();
    if (n == QLatin1String("pass-test")) return passTest();
    if (n == QLatin1String("fail-test")) return failTest();
    if (n == QLatin1String("quit")) return pass();
    return fail(QStringLiteral("unknown step"));
}

bool Tour::waitFor(const std::function<bool()>& done, int timeoutMs) {
    if (done()) return true;
    QDeadlineTimer deadline(timeoutMs);
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(15);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || deadline.hasExpired()) loop.quit();
    });
    poll.start();
    loop.exec();
    return done();
}

QString Tour::sessionState() const {
    QStringList parts;
    const int mode = sessionMode();
    parts << (mode < 0 ? QStringLiteral("no menu panel") : QStringLiteral("button mode %1").arg(mode));
    if (const brelvo::BrelvoWindow* overlay = brelvo::components().getBVLibWindow()) {
        parts << QStringLiteral("overlay at x = %1").arg(overlay->frame().x());
    } else {
        parts << QStringLiteral("no overlay");
    }
    if (loadingShown()) parts << QStringLiteral("loading screen shown");
    if (auto* lock = qobject_cast<LockScreenViewControllerBrelvo*>(visibleWithTag(window_, LockScreenViewControllerBrelvo::kTag))) {
        const QString message = lock->errorMessageView() ? lock->errorMessageView()->toPlainText() : QString();
        parts << QStringLiteral("lock screen shown (\"%1\")").arg(message.simplified());
    }
    return parts.join(QStringLiteral(", "));
}

bool Tour::sessionReady() const {
    // Usable, nothing covering the host, and the overlay at rest where the
    // menu's state puts it: on screen when open, a width aside when closed.
    const brelvo::BrelvoWindow* overlay = brelvo::components().getBVLibWindow();
    const int rest = brelvo::UserHelperBrelvo::shared().isOpen() ? 0 : -window_->width();
    return sessionMode() == 1 && !loadingShown() && !visibleWithTag(window_, LockScreenViewControllerBrelvo::kTag) &&
           overlay && overlay->frame().x() == rest;
}

Tour::Outcome Tour::waitSession() {
    if (!waitFor([this] { return sessionReady(); }, kSessionMs)) {
        return fail(QStringLiteral("no usable session after %1 s: %2").arg(kSessionMs / 1000).arg(sessionState()));
    }
    return pass(QStringLiteral("session active"));
}

Tour::Outcome Tour::shot(const QString& name) {
    if (!QDir().mkpath(screensDir_)) return fail(QStringLiteral("cannot make %1").arg(screensDir_));
    QCoreApplication::processEvents();  // layout and paint what the last step changed
    const QString path = QDir(screensDir_).filePath(name + QStringLiteral(".png"));
    const QImage image = window_->grab().toImage();
    if (image.isNull() || !image.save(path)) return fail(QStringLiteral("could not write %1").arg(path));
    return pass(QStringLiteral("%1 (%2x%3)").arg(path).arg(image.width()).arg(image.height()));
}

Tour::Outcome Tour::moveMenu(bool open) {
    brelvo::BrelvoWindow* overlay = brelvo::components().getBVLibWindow();
    if (!overlay) return fail(QStringLiteral("the library has no overlay window"));
    const int target = open ? 0 : -window_->width();
    if (open) {
        Brelvo::shared().showMenu();
    } else {
        Brelvo::shared().hideMenu();
    }
    if (!waitFor([&] { return overlay->frame().x() == target; }, kMenuMs)) {
        return fail(QStringLiteral("the overlay stayed at x = %1 (expected %2)").arg(overlay->frame().x()).arg(target));
    }
    return pass(open ? QStringLiteral("menu open") : QStringLiteral("menu closed"));
}

Tour::Outcome Tour::openProfile() {
    brelvo::CustomViewBrelvo* panel = brelvo::components().mainView();
    if (!panel) return fail(QStringLiteral("the library has no menu panel"));
    panel->makeProfileRequest();
    if (!waitFor([] { return profileScreen() != nullptr; }, kScreenMs)) {
        return fail(QStringLiteral("no profile screen after %1 s: %2").arg(kScreenMs / 1000).arg(sessionState()));
    }
    return pass(QStringLiteral("profile screen shown"));
}

Tour::Outcome Tour::closeProfile() {
    auto* profile = qobject_cast<brelvo::UserProfileViewController*>(profileScreen());
    if (!profile) return fail(QStringLiteral("no profile screen to close"));
    QAbstractButton* back = profile->btnBack();
    if (!back || !back->isVisible() || !back->isEnabled()) return fail(QStringLiteral("the profile screen shows no back button"));
    back->click();
    if (!waitFor([] { return profileScreen() == nullptr; }, kScreenMs)) {
        return fail(QStringLiteral("the profile screen is still shown %1 s after its back button").arg(kScreenMs / 1000));
    }
    return pass(QStringLiteral("closed with its back button"));
}

bool Tour::admin(const QString& path, const QByteArray& body, QString* error) {
    if (!adminUrl_.isValid() || adminUrl_.host().isEmpty()) {
        *error = QStringLiteral("no admin address");
        return false;
    }
    httplib::Client client(adminUrl_.host().toStdString(), adminUrl_.port(80));
    client.set_connection_timeout(5);
    client.set_read_timeout(10);
    const std::string base = adminUrl_.path().endsWith(QLatin1Char('/')) ? adminUrl_.path().chopped(1).toStdString()
                                                                         : adminUrl_.path().toStdString();
    auto result = client.Post(base + path.toStdString(), body.toStdString(), "application/json");
    if (!result) {
        *error = QStringLiteral("%1%2: %3").arg(adminUrl_.toString(QUrl::StripTrailingSlash), path,
                                                QString::fromStdString(httplib::to_string(result.error())));
        return false;
    }
    if (result->status != 200) {
        *error = QStringLiteral("%1%2 answered %3: %4")
                     .arg(adminUrl_.toString(QUrl::StripTrailingSlash), path)
                     .arg(result->status)
                     .arg(QString::fromStdString(result->body).trimmed());
        return false;
    }
    return true;
}

Tour::Outcome Tour::lock() {
    QString error;
    if (!admin(QStringLiteral("/admin/faults"), kLockFault, &error)) return fail(error);
    // What the lock screen's refresh does: ask the service again.
    brelvo::NotificationCenter::defaultCenter().post(brelvo::notifications::kAuthentication);
    const auto locked = [this] { return visibleWithTag(window_, LockScreenViewControllerBrelvo::kTag) || sessionMode() == 2; };
    if (!waitFor(locked, kSessionMs)) {
        return fail(QStringLiteral("not locked after %1 s: %2").arg(kSessionMs / 1000).arg(sessionState()));
    }
    return pass(sessionState());
}

Tour::Outcome Tour::unlock() {
    QString error;
    if (!admin(QStringLiteral("/admin/reset-faults"), "{}", &error)) return fail(error);
    // The topmost lock screen that offers a refresh (one may lie over another).
    QList<LockScreenViewControllerBrelvo*> screens;
    for (auto* screen : window_->findChildren<LockScreenViewControllerBrelvo*>()) {
        if (screen->isVisible() && brelvo::tags::tag(screen) == LockScreenViewControllerBrelvo::kTag) screens << screen;
    }
    if (screens.isEmpty()) return fail(QStringLiteral("no lock screen shown: %1").arg(sessionState()));
    QAbstractButton* refresh = nullptr;
    for (auto* screen : screens) {
        QAbstractButton* button = screen->refreshButton();
        if (button && button->isVisible() && button->isEnabled()) refresh = button;
    }
    QString how;
    if (refresh) {
        refresh->click();
        how = QStringLiteral("refresh button");
    } else {
        // An error answer only replaces the record's message, so the refresh
        // button shows only when an earlier record offered it. The tester's
        // other way out is to come back to the application, which refreshes
        // the lock screen in the same way.
        screens.last()->refresh();
        how = QStringLiteral("lock screen's refresh, as on a return to the application (no refresh button shown)");
    }
    if (!waitFor([this] { return sessionReady(); }, kSessionMs)) {
        return fail(QStringLiteral("still locked %1 s after the %2: %3").arg(kSessionMs / 1000).arg(how, sessionState()));
    }
    return pass(QStringLiteral("session active again after the %1").arg(how));
}

Tour::Outcome Tour::sendLogs() {
    // What the app logged goes out with the next tick; this one comes now.
    const qsizetype queued = brelvo::LogHelper::shared().queuedCount();
    if (queued == 0) return fail(QStringLiteral("the app logged nothing to send"));
    brelvo::components().checkLogs();
    if (!waitFor([] { return brelvo::LogHelper::shared().queuedCount() == 0 && brelvo::LogHelper::storedBatches().isEmpty(); },
                 kScreenMs)) {
        return fail(QStringLiteral("%1 log lines still waiting").arg(brelvo::LogHelper::shared().queuedCount()));
    }
    return pass(QStringLiteral("sent the %1 queued log line(s) in one batch").arg(queued));
}

Tour::Outcome Tour::editNote() {
    window_->showList();
    QListWidget* list = window_->list();
    if (list->count() == 0) return fail(QStringLiteral("the notes list is empty"));
    int row = 0;
    for (int i = 0; i < window_->store().notes().size(); ++i) {
        if (window_->store().notes()[i].title == QLatin1String("Release checklist")) row = i;
    }
    QListWidgetItem* item = list->item(row);
    list->scrollToItem(item);
    QCoreApplication::processEvents();
    tap(list->viewport(), list->visualItemRect(item).center());
    if (!waitFor([this] { return window_->editorShown(); }, kScreenMs)) {
        return fail(QStringLiteral("a tap on \"%1\" did not open the editor").arg(window_->store().notes()[row].title));
    }

    QTextEdit* body = window_->bodyEdit();
    const QString before = body->toPlainText();
    pressKey(body, Qt::Key_Home, Qt::ControlModifier);
    typeText(body, kTyped);
    if (body->toPlainText() != kTyped + before) {
        return fail(QStringLiteral("typing left the note as \"%1\"").arg(body->toPlainText().left(60)));
    }
    window_->saveButton()->click();

    // What reached the file, read back on its own.
    QFile file(window_->store().path());
    if (!file.open(QIODevice::ReadOnly)) return fail(QStringLiteral("cannot read %1").arg(file.fileName()));
    const QJsonArray saved = QJsonDocument::fromJson(file.readAll()).array();
    if (row >= saved.size() || saved[row].toObject().value(QLatin1String("body")).toString() != kTyped + before) {
        return fail(QStringLiteral("%1 does not hold the edited note").arg(file.fileName()));
    }

    window_->backButton()->click();
    if (!waitFor([&] { return window_->listShown() && list->item(row) && list->item(row)->text().contains(kTyped); },
                 kScreenMs)) {
        return fail(QStringLiteral("the list does not show the edited note"));
    }
    return pass(QStringLiteral("\"%1\" edited and saved to %2").arg(window_->store().notes()[row].title, file.fileName()));
}

namespace {

brelvo::FeedbackViewControllerBrelvo* issueForm() {
    brelvo::CustomViewBrelvo* panel = brelvo::components().mainView();
    return panel ? panel->issueForm() : nullptr;
}

brelvo::BVAlert* shownAlert() {
    for (QWidget* w : QApplication::allWidgets()) {
        if (auto* alert = qobject_cast<brelvo::BVAlert*>(w); alert && alert->isVisible()) return alert;
    }
    return nullptr;
}

}  // namespace

Tour::Outcome Tour::takeScreenshot(const QString& previewShot) {
    // From the host, with the menu closed, through the floating button.
    brelvo::FeedbackViewControllerBrelvo* form = issueForm();
    if (form && form->isVisible()) form->btnBackPressed();
    if (brelvo::UserHelperBrelvo::shared().isOpen()) {
        if (const Outcome closed = moveMenu(false); !closed.ok) return closed;
    }
    const int before = form ? int(form->strip()->paths().size()) : 0;
    brelvo::BrelvoWindow* overlay = brelvo::components().getBVLibWindow();
    QAbstractButton* button = overlay ? overlay->brelvoMakeScreenshot() : nullptr;
    if (!button || !button->isVisible() || !button->isEnabled()) return fail(QStringLiteral("no screenshot button to tap"));
    tap(button, button->rect().center());
    // The new picture shows in the preview; its "Save" adds it to the issue.
    brelvo::ScreenshotEditBrelvoVC* preview = nullptr;
    const auto previewShown = [&preview] {
        for (QWidget* w : QApplication::allWidgets())
            if (auto* p = qobject_cast<brelvo::ScreenshotEditBrelvoVC*>(w); p && p->isVisible()) preview = p;
        return preview != nullptr;
    };
    if (!waitFor(previewShown, kScreenMs)) return fail(QStringLiteral("no preview of the new screenshot: %1").arg(sessionState()));
    if (!previewShot.isEmpty()) {
        if (const Outcome saved = shot(previewShot); !saved.ok) return saved;
    }
    preview->saveButton()->click();
    const auto added = [before, overlay] {
        brelvo::FeedbackViewControllerBrelvo* f = issueForm();
        return f && f->isVisible() && f->strip()->paths().size() == before + 1 && overlay->frame().x() == 0;
    };
    if (!waitFor(added, kScreenMs)) return fail(QStringLiteral("no new screenshot on the issue form: %1").arg(sessionState()));
    return pass(QStringLiteral("the issue form shows %1 screenshot(s)").arg(before + 1));
}

Tour::Outcome Tour::fillIssue() {
    brelvo::FeedbackViewControllerBrelvo* form = issueForm();
    if (!form || !form->isVisible()) return fail(QStringLiteral("the issue form is not shown"));
    // The pickers as a tester uses them: open, choose, close.
    form->setTypeIndex();
    form->chooseValueIndex(0);
    form->setPriorityIndex();
    form->chooseValueIndex(0);
    for (auto* picker : QApplication::allWidgets()) {
        if (auto* p = qobject_cast<brelvo::OXPickerViewBrelvo*>(picker)) p->hidePicker();
    }
    form->setSummaryText(QStringLiteral("Saving a note twice loses the first"));
    form->setDescriptionText(QStringLiteral("1. Open \"Release checklist\"\n2. Tap Save twice quickly\n\n"
                                            "Expected: one note. Actual: the first edit is gone."));
    const QString missing = brelvo::FeedbackViewControllerBrelvo::validationMessage(
        form->typeLabel()->text() != brelvo::FeedbackViewControllerBrelvo::kTypePlaceholder,
        form->severityLabel()->text() != brelvo::FeedbackViewControllerBrelvo::kSeverityPlaceholder, form->summaryText(),
        form->descriptionText());
    if (!missing.isEmpty()) return fail(QStringLiteral("the form is not complete: %1").arg(missing));
    return pass(QStringLiteral("%1, %2").arg(form->typeLabel()->text(), form->severityLabel()->text()));
}

Tour::Outcome Tour::postIssue() {
    brelvo::FeedbackViewControllerBrelvo* form = issueForm();
    if (!form || !form->isVisible()) return fail(QStringLiteral("the issue form is not shown"));
    const int screenshots = int(form->strip()->paths().size());
    form->sendButton()->click();
    if (!waitFor([] { return shownAlert() != nullptr; }, kSessionMs))
        return fail(QStringLiteral("no answer shown %1 s after \"Send\"").arg(kSessionMs / 1000));
    brelvo::BVAlert* alert = shownAlert();
    const QString said = alert->titleLabel()->text() + QStringLiteral(": ") + alert->messageView()->toPlainText().simplified();
    const bool kept = !brelvo::IssueOutbox::shared().pending().isEmpty();
    if (kept != !onlineUrl_.isEmpty())
        return fail(kept ? QStringLiteral("not delivered (%1)").arg(said) : QStringLiteral("delivered while offline"));
    alert->cancelButton()->click();
    if (!waitFor([this] { return sessionReady() && !brelvo::UserHelperBrelvo::shared().isOpen(); }, kMenuMs))
        return fail(QStringLiteral("the menu did not close after the answer: %1").arg(sessionState()));
    return pass(QStringLiteral("%1 with %2 screenshot(s); the form said \"%3\"")
                    .arg(kept ? QStringLiteral("kept on the device") : QStringLiteral("delivered"))
                    .arg(screenshots)
                    .arg(said));
}

namespace {

void drag(QWidget* target, const QList<QPoint>& points) {
    const auto send = [target](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)), Qt::LeftButton, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &event);
    };
    send(QEvent::MouseButtonPress, points.first(), Qt::LeftButton);
    for (const QPoint& p : points.mid(1)) send(QEvent::MouseMove, p, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, points.last(), Qt::NoButton);
}

}  // namespace

Tour::Outcome Tour::annotate() {
    // The newest screenshot, through its preview's Edit, with every tool.
    brelvo::FeedbackViewControllerBrelvo* form = issueForm();
    if (!form || !form->isVisible() || form->strip()->paths().isEmpty()) return fail(QStringLiteral("no screenshot on the issue form"));
    const int last = int(form->strip()->paths().size()) - 1;
    const QImage before = form->strip()->thumbnail(last)->grab().toImage();
    // The capture's own preview may still be fading out: wait until it is
    // gone, so that the preview found below is the one this tap opens.
    if (!waitFor([form] { return form->findChildren<brelvo::ScreenshotEditBrelvoVC*>().isEmpty(); }, kScreenMs))
        return fail(QStringLiteral("the capture's preview stayed open"));
    form->tapOnScreenshot(last);
    QPointer<brelvo::ScreenshotEditBrelvoVC> preview = form->findChild<brelvo::ScreenshotEditBrelvoVC*>();
    if (!preview || !waitFor([preview] { return preview && preview->isVisible(); }, kScreenMs))
        return fail(QStringLiteral("no preview"));
    preview->editButton()->click();
    QPointer<brelvo::BrelvoEditImageViewController> editor;
    if (!waitFor([&] { return preview && (editor = preview->editor()) && editor->isVisible(); }, kScreenMs))
        return fail(QStringLiteral("no editor"));
    brelvo::BrelvoEditView* canvas = editor->editorView();
    const QRect picture = canvas->pictureRect().toRect();
    const auto at = [&picture](double x, double y) {
        return picture.topLeft() + QPoint(int(picture.width() * x), int(picture.height() * y));
    };
    QStringList used;
    for (int tool : {0, 1, 2, 4, 3}) {  // pencil, marker, text, arrow, then crop
        editor->stripButton(tool)->click();
        if (tool == 0) drag(canvas, {at(0.2, 0.30), at(0.4, 0.28), at(0.6, 0.32), at(0.8, 0.30)});
        if (tool == 1) drag(canvas, {at(0.15, 0.45), at(0.85, 0.45)});
        if (tool == 4) drag(canvas, {at(0.7, 0.7), at(0.45, 0.55)});
        if (tool == 3) {
            // The frame's corners pulled out to just inside the picture's edges.
            brelvo::BrelvoCropView* crop = canvas->cropView();
            const QRectF r = crop->cropRect().translated(picture.topLeft());
            const QPoint offset = crop->pos();
            drag(crop, {r.topLeft().toPoint() - offset, at(0.05, 0.05) - offset});
            const QRectF grown = crop->cropRect().translated(picture.topLeft());
            drag(crop, {grown.bottomRight().toPoint() - offset, at(0.95, 0.9) - offset});
        }
        if (tool == 2) {
            brelvo::BrelvoTextView* text = canvas->textView();
            tap(text, QPoint(60, 60));
            for (QChar c : QStringLiteral(" here")) {
                QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
                QCoreApplication::sendEvent(text, &press);
            }
        }
        if (!editor->undoButton()) return fail(QStringLiteral("no undo button"));
        editor->saveButton()->click();  // "Apply"
        used << QString::number(tool);
        if (tool != 3 && !editor->undoButton()->isEnabled()) return fail(QStringLiteral("tool %1 changed nothing").arg(tool));
    }
    editor->saveButton()->click();  // "Save"
    if (!waitFor([&] { return !editor || !editor->isVisible(); }, kScreenMs))
        return fail(QStringLiteral("the editor stayed open after Save"));
    if (!waitFor([&] { return form->strip()->thumbnail(last) && form->strip()->thumbnail(last)->grab().toImage() != before; }, kScreenMs))
        return fail(QStringLiteral("the form still shows the screenshot as it was"));
    return pass(QStringLiteral("pencil, marker, text, arrow and crop applied and saved"));
}

namespace {

brelvo::RequirementsViewController* requirementsList() {
    brelvo::CustomViewBrelvo* panel = brelvo::components().mainView();
    brelvo::RequirementsViewController* list = panel ? panel->requirementsView() : nullptr;
    return list && list->isVisible() ? list : nullptr;
}

// The requirement page over the list, once its requirement is loaded.
brelvo::RequirementViewController* requirementPage() {
    brelvo::RequirementsViewController* list = requirementsList();
    brelvo::RequirementViewController* page = list ? list->controller() : nullptr;
    return page && page->isVisible() && !page->rid().isNull() && page->loadingView()->isHidden() ? page : nullptr;
}

// A closed page hides at once but goes only when the application's own
// event loop turns again, which it does not while a step runs.
bool pageOpen(const brelvo::RequirementsViewController* list) {
    return list->controller() && list->controller()->isVisible();
}

int runningTest() {
    return brelvo::NetworkClientBrelvo::shared().rrid().toInt();
}

bool resultsDelivered() {
    return brelvo::RequirementReporter::shared().pending().isEmpty();
}

// A tap where the tester can tap: on a shown, enabled button.
bool tapButton(QAbstractButton* button) {
    if (!button || !button->isVisible() || !button->isEnabled()) return false;
    tap(button, button->rect().center());
    return true;
}

// For failure messages: where the requirement screens and results stand.
QString requirementsState() {
    QStringList parts;
    brelvo::RequirementsViewController* list = requirementsList();
    parts << (list ? QStringLiteral("list shown") : QStringLiteral("no list shown"));
    if (list && pageOpen(list))
        parts << QStringLiteral("page of rid %1 %2").arg(list->controller()->rid().toString(),
                                                          requirementPage() ? QStringLiteral("shown") : QStringLiteral("loading"));
    parts << QStringLiteral("running test %1").arg(runningTest());
    parts << QStringLiteral("%1 result(s) waiting").arg(brelvo::RequirementReporter::shared().pending().size());
    return parts.join(QStringLiteral(", "));
}

QString pageName(const brelvo::RequirementViewController* page) {
    return page->lblCodeReq()->text() + QStringLiteral(" (rid ") + page->rid().toString() + QLatin1Char(')');
}

}  // namespace

Tour::Outcome Tour::openRequirements() {
    if (!brelvo::UserHelperBrelvo::shared().isOpen()) {
        if (const Outcome opened = moveMenu(true); !opened.ok) return opened;
    }
    brelvo::CustomViewBrelvo* panel = brelvo::components().mainView();
    // The menu's test box: with a test under way the whole box opens the list,
    // else its "CHOOSE TEST" button does.
    const bool running = runningTest() >= 1;
    const QString name = running ? QStringLiteral("btnRequirementChoose") : QStringLiteral("btnRequirements");
    if (!tapButton(panel->findChild<QAbstractButton*>(name)))
        return fail(QStringLiteral("the menu shows no %1 to tap").arg(running ? QStringLiteral("running test") : QStringLiteral("\"CHOOSE TEST\"")));
    const auto shown = [running] {
        brelvo::RequirementsViewController* list = requirementsList();
        return list && !list->source()->isLoading() && (!running || requirementPage());
    };
    if (!waitFor(shown, kScreenMs))
        return fail(QStringLiteral("no requirements list after %1 s: %2, %3").arg(kScreenMs / 1000).arg(requirementsState(), sessionState()));
    const int rows = int(requirementsList()->list().size());
    if (running) return pass(QStringLiteral("%1 pending row(s); the running test %2 opened over them").arg(rows).arg(pageName(requirementPage())));
    return pass(QStringLiteral("%1 pending row(s)").arg(rows));
}

Tour::Outcome Tour::startTest() {
    // The top row of the pending tab: the most important test not yet run.
    brelvo::RequirementsViewController* list = requirementsList();
    if (!list || pageOpen(list)) return fail(QStringLiteral("the requirements list is not in front"));
    if (list->index() != brelvo::RequirementsSource::kPending) {
        tapButton(list->tabButton(0));
        if (!waitFor([list] { return !list->source()->isLoading(); }, kScreenMs)) return fail(QStringLiteral("the pending tab did not load"));
    }
    QListWidget* table = list->tb();
    if (table->count() == 0) return fail(QStringLiteral("no pending test to start"));
    tap(table->viewport(), table->visualItemRect(table->item(0)).center());
    if (!waitFor([] { return requirementPage() != nullptr; }, kScreenMs)) return fail(QStringLiteral("the top row opened no requirement"));
    brelvo::RequirementViewController* page = requirementPage();
    const QString what = pageName(page);
    const QString rid = page->rid().toString();
    if (!tapButton(page->btnStartTesting())) return fail(QStringLiteral("%1 shows no \"Test\" button").arg(what));
    // Started, the test is the menu's; the list steps aside for it.
    const auto started = [list, &rid] {
        const brelvo::BrelvoWindow* overlay = brelvo::components().getBVLibWindow();
        return list->isHidden() && overlay && overlay->frame().x() == 0 && brelvo::NetworkClientBrelvo::shared().rrid() == rid &&
               resultsDelivered();
    };
    if (!waitFor(started, kScreenMs)) return fail(QStringLiteral("%1 did not start: %2, %3").arg(what, requirementsState(), sessionState()));
    return pass(QStringLiteral("%1 under way, back on the menu").arg(what));
}

Tour::Outcome Tour::openRunning() {
    // From the list's header. Opened through the menu, the list lays the
    // running test's page over itself: its back button uncovers the header.
    brelvo::RequirementsViewController* list = requirementsList();
    if (!list) {
        if (const Outcome opened = openRequirements(); !opened.ok) return opened;
        list = requirementsList();
    }
    if (brelvo::RequirementViewController* page = requirementPage()) {
        if (!tapButton(page->btnBack())) return fail(QStringLiteral("the page shows no back button"));
        if (!waitFor([list] { return !pageOpen(list); }, kScreenMs)) return fail(QStringLiteral("the page stayed after its back button"));
    }
    if (!tapButton(list->btnStartedRequirement())) return fail(QStringLiteral("the list's header offers no running test"));
    const auto opened = [] {
        brelvo::RequirementViewController* page = requirementPage();
        return page && page->rid().toInt() == runningTest() && page->btnTestFail()->isVisible();
    };
    if (!waitFor(opened, kScreenMs)) return fail(QStringLiteral("the header opened no running test: %1").arg(requirementsState()));
    return pass(QStringLiteral("%1 opened from the list's header").arg(pageName(requirementPage())));
}

Tour::Outcome Tour::passTest() {
    brelvo::RequirementViewController* page = requirementPage();
    if (!page) return fail(QStringLiteral("no requirement page shown"));
    const QString what = pageName(page);
    if (!tapButton(page->btnTestSuccess())) return fail(QStringLiteral("%1 shows no \"Passed\" button").arg(what));
    // The page closes onto the list, which no longer has a test under way.
    const auto done = [] {
        brelvo::RequirementsViewController* list = requirementsList();
        return list && !pageOpen(list) && runningTest() < 1 && resultsDelivered();
    };
    if (!waitFor(done, kScreenMs)) return fail(QStringLiteral("%1 not passed: %2").arg(what, requirementsState()));
    return pass(QStringLiteral("%1 passed, back on the list").arg(what));
}

Tour::Outcome Tour::failTest() {
    brelvo::RequirementViewController* page = requirementPage();
    if (!page) return fail(QStringLiteral("no requirement page shown"));
    const QString what = pageName(page);
    const QString number = page->currentRequirement().value(QStringLiteral("number")).toString();
    if (!tapButton(page->btnTestFail())) return fail(QStringLiteral("%1 shows no \"Failed\" button").arg(what));
    if (!waitFor([] { return shownAlert() != nullptr; }, kScreenMs)) return fail(QStringLiteral("no question after \"Failed\""));
    brelvo::BVAlert* alert = shownAlert();
    const QString asked = alert->messageView()->toPlainText().simplified();
    if (!tapButton(alert->otherButton())) return fail(QStringLiteral("the question \"%1\" has no \"YES\"").arg(asked));
    // "YES" posts an issue about the failed test: the form opens attached to it.
    // The question fades out after that; gone, it cannot be taken for the
    // form's answer by the next step.
    const auto attached = [&number] {
        brelvo::FeedbackViewControllerBrelvo* form = issueForm();
        return form && form->isVisible() && form->requirementLabel()->isVisible() &&
               form->requirementLabel()->text().contains(QStringLiteral("test %1:").arg(number)) && !requirementsList() &&
               runningTest() < 1 && resultsDelivered() && !shownAlert();
    };
    if (!waitFor(attached, kScreenMs))
        return fail(QStringLiteral("no issue form attached to %1: %2").arg(what, requirementsState()));
    return pass(QStringLiteral("%1 failed; \"%2\" - YES; the form says \"%3\"").arg(what, asked, issueForm()->requirementLabel()->text()));
}

Tour::Outcome Tour::goOffline() {
    if (!onlineUrl_.isEmpty()) return fail(QStringLiteral("already offline"));
    onlineUrl_ = qApp->property("brelvo_service_url").toString();
    // A closed port on this machine: every request fails at once, as without a network.
    qApp->setProperty("brelvo_service_url", QStringLiteral("http://127.0.0.1:1/"));
    return pass(QStringLiteral("the service is out of reach"));
}

Tour::Outcome Tour::goOnline() {
    if (onlineUrl_.isEmpty()) return fail(QStringLiteral("not offline"));
    qApp->setProperty("brelvo_service_url", onlineUrl_);
    onlineUrl_.clear();
    const int waiting = int(brelvo::IssueOutbox::shared().pending().size());
    const int before = recordCount(QStringLiteral("issues"));
    // The network is back: what the library's network watcher reports then.
    brelvo::IssueOutbox::shared().startWatchingNetwork();
    const auto probe = brelvo::BVReachability::reachabilityForInternetConnection();
    brelvo::NotificationCenter::defaultCenter().post(brelvo::kReachabilityChangedNotificationBrelvo,
                                                     QVariant::fromValue<QObject*>(probe.get()));
    if (!waitFor([] { return brelvo::IssueOutbox::shared().pending().isEmpty(); }, kSessionMs))
        return fail(QStringLiteral("%1 kept issue(s) still wait").arg(brelvo::IssueOutbox::shared().pending().size()));
    const int after = recordCount(QStringLiteral("issues"));
    if (after - before != waiting)
        return fail(QStringLiteral("the service holds %1 issue(s) more, not %2").arg(after - before).arg(waiting));
    return pass(QStringLiteral("back online: %1 kept issue(s) delivered, the service holds %2").arg(waiting).arg(after));
}

Tour::Outcome Tour::checkUpdate() {
    // Blocking, so off the GUI thread, as a host would call it.
    QString offered;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        offered = Brelvo::shared().checkForUpdate();
        done = true;
    });
    const bool answered = waitFor([&] { return done.load(); }, kSessionMs);
    worker.join();
    if (!answered) return fail(QStringLiteral("no answer within %1 s").arg(kSessionMs / 1000));
    if (offered.isEmpty()) return fail(QStringLiteral("no newer build offered"));
    return pass(QStringLiteral("a newer build is offered at %1").arg(offered));
}

Tour::Outcome Tour::crashChild() {
    // A second copy of the application, in a home of its own, crashes while
    // the service is out of reach: its report stays on the device. Its next
    // start, with the service back, delivers it.
    QTemporaryDir home;
    if (!home.isValid()) return fail(QStringLiteral("no folder for the child's home"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("BRELVO_HOME"), home.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // In a sanitizer build the library's handlers must see the fault first, as in a
    // release build; other builds ignore these.
    const QString handledByTheLibrary = QStringLiteral("handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_abort=0:handle_sigill=0");
    environment.insert(QStringLiteral("ASAN_OPTIONS"), handledByTheLibrary +
                       QStringLiteral(":detect_leaks=0:allow_user_segv_handler=1:use_sigaltstack=0"));
    environment.insert(QStringLiteral("UBSAN_OPTIONS"), handledByTheLibrary);
    const QString key = qApp->property("brelvo_project_id").toString();
    const auto run = [&](const QStringList& arguments, QProcess::ExitStatus* status, int* code) {
        QProcess child;
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), arguments + QStringList{QStringLiteral("--api-key"), key});
        if (!waitFor([&] { return child.state() == QProcess::NotRunning; }, 60000)) {
            child.kill();
            child.waitForFinished();
            return false;
        }
        *status = child.exitStatus();
        *code = child.exitCode();
        return true;
    };
    const int before = recordCount(QStringLiteral("crashes"));
    QProcess::ExitStatus status = QProcess::NormalExit;
    int code = 0;
    if (!run({QStringLiteral("--crash"), QStringLiteral("--service-url"), QStringLiteral("http://127.0.0.1:1/")}, &status,
             &code))
        return fail(QStringLiteral("the crashing child did not end within 60 s"));
    if (status != QProcess::CrashExit) return fail(QStringLiteral("the child did not crash (it exited with %1)").arg(code));
    if (recordCount(QStringLiteral("crashes")) != before) return fail(QStringLiteral("the crash reached the service at once"));
    if (!run({QStringLiteral("--deliver-kept-reports"), QStringLiteral("--service-url"),
              qApp->property("brelvo_service_url").toString()},
             &status, &code) ||
        status != QProcess::NormalExit || code != 0)
        return fail(QStringLiteral("the child's next start did not deliver its kept crash report"));
    const int after = recordCount(QStringLiteral("crashes"));
    if (after != before + 1) return fail(QStringLiteral("the service holds %1 crash(es) more, not 1").arg(after - before));
    return pass(QStringLiteral("a child crashed offline; its next start delivered the report (the service holds %1)").arg(after));
}

int Tour::recordCount(const QString& kind) {
    if (!adminUrl_.isValid() || adminUrl_.host().isEmpty()) return -1;
    httplib::Client client(adminUrl_.host().toStdString(), adminUrl_.port(80));
    client.set_connection_timeout(5);
    client.set_read_timeout(10);
    std::string path = adminUrl_.path().toStdString();
    if (!path.empty() && path.back() == '/') path.pop_back();
    const auto result = client.Get(path + "/admin/records");
    if (!result || result->status != 200) return -1;
    const QJsonObject records = QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object();
    const QJsonValue list = records.value(kind);
    return list.isArray() ? int(list.toArray().size()) : -1;
}
