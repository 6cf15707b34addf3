// brelvo-screens: starts the library over a small host window and saves a PNG
// of each screen: the host alone, the overlay closed and open, the lock screen
// (refusal, connection problem, loading), the alerts, the read-me screen, the
// tester's profile and the issue form (empty, filled, with screenshots,
// offline, at its screenshot limit), the screenshot preview and the editor
// (each tool in use, crop, and the annotated screenshot it saved).
//
//   QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=2 brelvo-screens [--service URL] [folder]
//
// The folder is the argument, else BRELVO_SCREENS_DIR, else build/screens.
// The session is a real one: the program starts brelvo-service (BRELVO_SERVICE_BIN,
// else the one built beside it) with the demo seed on a free loopback port,
// unless --service names a running service. Each picture is checked for the
// screen it is named after; a picture that does not show it makes the exit
// status 1.
#include <brelvo/Brelvo.h>

#include "core/BrelvoComponents.h"
#include "platform/NotificationCenter.h"
#include "platform/Screen.h"
#include "platform/WindowLayer.h"
#include "state/ErrorInfo.h"
#include "state/NotificationNames.h"
#include "protocol/NetworkClientBrelvo.h"
#include "state/SharedState.h"
#include "state/UserHelperBrelvo.h"
#include "ui/issue/ScreenshotEditBrelvoVC.h"
#include "ui/editor/BrelvoEditImageViewController.h"
#include "ui/editor/ScreenshotMakerBrelvo.h"
#include "ui/editor/canvas/BrelvoEditView.h"
#include "ui/editor/text/BrelvoTextView.h"
#include "ui/requirements/EGORefreshTableHeaderViewBrelvo.h"
#include "ui/requirements/RequirementViewController.h"
#include "ui/requirements/RequirementsSource.h"
#include "ui/requirements/RequirementsViewController.h"
#include "ui/images/ImageCacheFiles.h"
#include "platform/Defaults.h"
#include "ui/issue/FeedbackViewControllerBrelvo.h"
#include "ui/issue/IssueTextForm.h"
#include "ui/issue/ScreenshotStore.h"
#include "ui/issue/ScreenshotStrip.h"
#include "ui/session/CustomViewBrelvo.h"
#include "ui/issue/ModalTextViewsBrelvoVC.h"
#include "ui/issue/OXPickerViewBrelvo.h"
#include "ui/session/BVAlert.h"
#include "ui/session/BrelReadMeVC.h"
#include "ui/session/BrelvoWindow.h"
#include "ui/session/LockScreenViewControllerBrelvo.h"
#include "ui/session/UserProfileViewController.h"

#include <QApplication>
#include <QBuffer>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QLinearGradient>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstdio>
#include <cstring>
#include <functional>
#include <tuple>

using namespace brelvo;

namespace {

// A small notes application standing in for the host.
QWidget* makeHost() {
    auto* host = new QWidget;
    host->setWindowTitle(QStringLiteral("Notes"));
    host->resize(320, 568);
    host->setObjectName(QStringLiteral("notesHost"));
    host->setStyleSheet(QStringLiteral("#notesHost { background: #f4f4f4; }"));
    auto* layout = new QVBoxLayout(host);
    layout->setContentsMargins(0, 0, 0, 12);
    auto* title = new QLabel(QStringLiteral("Notes"));
    title->setAlignment(Qt::AlignCenter);
    title->setFixedHeight(56);
    title->setStyleSheet(QStringLiteral("background: #3b6ea5; color: white; font-size: 20px; font-weight: bold;"));
    layout->addWidget(title);
    auto* list = new QListWidget;
    list->addItems({QStringLiteral("Groceries"), QStringLiteral("Release checklist"), QStringLiteral("Ideas"),
                    QStringLiteral("Meeting, Tuesday")});
    list->setStyleSheet(QStringLiteral("QListWidget { border: none; font-size: 16px; background: white; }"
                                       "QListWidget::item { padding: 12px; border-bottom: 1px solid #e2e2e2; }"));
    layout->addWidget(list);
    auto* add = new QPushButton(QStringLiteral("New note"));
    add->setFixedHeight(44);
    add->setStyleSheet(QStringLiteral("background: #3b6ea5; color: white; font-size: 16px; border-radius: 6px;"));
    auto* row = new QHBoxLayout;
    row->setContentsMargins(16, 0, 16, 0);
    row->addWidget(add);
    layout->addLayout(row);
    return host;
}

void settle(const std::function<bool()>& done = {}) {
    QDeadlineTimer deadline(10000);
    do {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    } while (!deadline.hasExpired() && done && !done());
    QApplication::processEvents();
}

bool save(QWidget* host, const QString& folder, const QString& name) {
    settle();
    const QString path = QDir(folder).filePath(name);
    const bool ok = host->grab().save(path);
    std::fprintf(ok ? stdout : stderr, "%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
    return ok;
}

// Saves the picture, and fails it when the screen it is named after is not
// what it shows (the picture is still written, to be looked at).
bool save(QWidget* host, const QString& folder, const QString& name, const char* screen,
          const std::function<bool()>& shows) {
    const bool saved = save(host, folder, name);
    const bool right = shows();
    if (!right) std::fprintf(stderr, "%s does not show %s\n", qPrintable(name), screen);
    return saved && right;
}

// Whether the widget is shown and lies on its top-level window, not pushed
// off it as the closed overlay is.
bool onScreen(const QWidget* w) {
    if (!w || !w->isVisible()) return false;
    const QRect inWindow(w->mapTo(w->window(), QPoint(0, 0)), w->size());
    const QRect visible = inWindow & w->window()->rect();
    return visible.width() * 2 >= w->width() && visible.height() * 2 >= w->height();
}

// brelvo-service on a free loopback port with the demo seed and a fresh
// database, stopped with the program.
class LocalService {
public:
    bool start() {
        QString bin = qEnvironmentVariable("BRELVO_SERVICE_BIN");
        if (bin.isEmpty()) bin = QStringLiteral(BRELVO_SCREENS_SERVICE_BIN);
        if (!dir_.isValid()) return false;
        process_.setProgram(bin);
        process_.setArguments({QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--db"),
                               dir_.filePath(QStringLiteral("service.sqlite")), QStringLiteral("--seed"),
                               QStringLiteral(BRELVO_SCREENS_SERVICE_SEED)});
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
        QDeadlineTimer deadline(30000);
        while (!process_.canReadLine() && process_.state() != QProcess::NotRunning && !deadline.hasExpired())
            process_.waitForReadyRead(500);
        const QString line = QString::fromUtf8(process_.readLine()).trimmed();
        if (!line.startsWith(QLatin1String("listening on "))) {
            std::fprintf(stderr, "brelvo-service (%s) did not start\n", qPrintable(bin));
            return false;
        }
        url_ = QStringLiteral("http://%1/").arg(line.mid(13));
        return true;
    }
    QString url() const { return url_; }
    ~LocalService() {
        process_.terminate();
        if (!process_.waitForFinished(5000)) process_.kill();
        process_.waitForFinished();
    }

private:
    QTemporaryDir dir_;
    QProcess process_;
    QString url_;
};

// An issue form with a description already written, for the text editor.
class SampleForm : public IssueTextForm {
public:
    explicit SampleForm(QWidget* window) : view_(new QWidget(window)) {
        view_->setGeometry(QRect(QPoint(0, 0), screen::bounds()));
        view_->show();
    }
    ~SampleForm() { delete view_; }
    QString summaryText() const override { return QStringLiteral("Saving a note twice loses the first"); }
    QString descriptionText() const override {
        return QStringLiteral("1. Write a note\n2. Tap Save twice quickly\n\nThe first version is gone from the list.");
    }
    void setSummaryText(const QString&) override {}
    void setDescriptionText(const QString&) override {}
    QWidget* formView() override { return view_; }

private:
    QWidget* view_;
};

QVariantMap choice(int id, const char* name) {
    return {{QStringLiteral("id"), id}, {QStringLiteral("name"), QString::fromLatin1(name)}};
}

// The host as the tester saw it, with a note open: the pictures on the form.
QImage sampleScreenshot(QWidget* host, int variant) {
    QImage picture = host->grab().toImage();
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(229, 57, 53), 4));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(24 + variant * 20, 120 + variant * 60, 200, 60), 10, 10);
    return picture;
}

// A drag of the tester's finger over the editor's canvas, in its coordinates.
void drag(QWidget* canvas, const QList<QPointF>& points) {
    const auto send = [canvas](QEvent::Type type, const QPointF& p, Qt::MouseButtons buttons) {
        QMouseEvent event(type, p, canvas->mapToGlobal(p), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(canvas, &event);
    };
    send(QEvent::MouseButtonPress, points.first(), Qt::LeftButton);
    for (const QPointF& p : points.mid(1)) send(QEvent::MouseMove, p, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, points.last(), Qt::NoButton);
}

ErrorInfo record(const QString& message, const QVariantMap& scheme) {
    return ErrorInfo(QVariantMap{{QStringLiteral("error"), message}, {QStringLiteral("url_scheme"), scheme}});
}

}  // namespace

int main(int argc, char** argv) {
    // Before QApplication, which needs a display: asking for help needs none.
    QString folder;
    QString serviceUrl;
    for (int i = 1; i < argc; ++i) {
        const bool help = std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0;
        if (std::strcmp(argv[i], "--service") == 0 && i + 1 < argc) {
            serviceUrl = QString::fromLocal8Bit(argv[++i]);
        } else if (argv[i][0] != '-' && folder.isEmpty()) {
            folder = QString::fromLocal8Bit(argv[i]);
        } else {
            if (!help) std::fprintf(stderr, "brelvo-screens: unknown option %s\n", argv[i]);
            std::fprintf(help ? stdout : stderr,
                         "usage: QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=2 brelvo-screens [--service URL] [folder]\n"
                         "Saves a PNG of each of the library's screens in the folder (else BRELVO_SCREENS_DIR,\n"
                         "else build/screens), signed in to the service at URL, else to a brelvo-service it\n"
                         "starts itself (BRELVO_SERVICE_BIN, else the one built with it). Exits 1 when a\n"
                         "picture does not show the screen it is named after.\n");
            return help ? 0 : 2;
        }
    }
    QApplication app(argc, argv);
    if (folder.isEmpty()) folder = qEnvironmentVariable("BRELVO_SCREENS_DIR");
    if (folder.isEmpty()) folder = QStringLiteral(BRELVO_SCREENS_DEFAULT_DIR);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot make %s\n", qPrintable(folder));
        return 1;
    }
    LocalService service;
    if (serviceUrl.isEmpty()) {
        if (!service.start()) return 1;
        serviceUrl = service.url();
    }

    QWidget* host = makeHost();
    host->show();
    settle();
    bool ok = save(host, folder, QStringLiteral("host.png"));
    QList<QImage> samples;  // the host as a tester would capture it, marked up
    for (int i = 0; i < 5; ++i) samples.append(sampleScreenshot(host, i));

    // The library started with one call, as a host does, as the demo's notes
    // application known to the service.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.brelvo.notes"));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.4"));
    app.setProperty("brelvo_project_id", QStringLiteral("demo-key-0001"));
    app.setProperty("brelvo_service_url", serviceUrl);
    Brelvo& brelvo = Brelvo::shared();
    brelvo.initializeWithOptions(Brelvo::SliderActivation);
    BrelvoWindow* window = components().getBVLibWindow();
    if (!window) {
        std::fprintf(stderr, "the library did not start\n");
        return 1;
    }
    const int width = host->width();
    const auto locked = [&] { return onScreen(components().lockScreen()); };
    const auto signedIn = [&] { return SharedState::shared().isInit() && !locked(); };
    settle([&] { return signedIn() && window->frame().x() == -width; });
    ok &= save(host, folder, QStringLiteral("overlay-closed.png"), "the closed overlay of a signed-in tester",
               [&] { return signedIn() && window->frame().x() == -width; });
    brelvo.showMenu();
    settle([&] { return window->frame().x() == 0; });
    const auto menuOpen = [&] { return signedIn() && onScreen(components().mainView()); };
    ok &= save(host, folder, QStringLiteral("overlay-open.png"), "the open menu", menuOpen);
    {
        // The same moment through the library's own screenshot, as a tester's report would carry it.
        const QString path = QDir(folder).filePath(QStringLiteral("capture-overlay-open.png"));
        const bool captured = ScreenshotMakerBrelvo::shared().screenshotMaking(window).save(path);
        std::fprintf(captured ? stdout : stderr, "%s %s\n", captured ? "wrote" : "could not write", qPrintable(path));
        if (!menuOpen()) std::fprintf(stderr, "capture-overlay-open.png does not show the open menu\n");
        ok &= captured && menuOpen();
    }
    brelvo.hideMenu();
    settle([&] { return window->frame().x() == -width; });

    UserHelperBrelvo::shared().setErrorInfo(
        record(QStringLiteral("Build 1.4 (212) of Notes is no longer open for testing."),
               {{QStringLiteral("title"), QStringLiteral("Open Brelvo")},
                {QStringLiteral("url"), QStringLiteral("brelvo://builds/notes")}}));
    components().showLockScreen();
    settle([&] { return components().lockScreen() && components().lockScreen()->isVisible(); });
    LockScreenViewControllerBrelvo* lock = components().lockScreen();
    ok &= save(host, folder, QStringLiteral("lock-refused.png"), "the lock screen", locked);

    // The identity alert over the lock screen.
    auto* alert = new BVAlert(QStringLiteral("Error"),
                              QStringLiteral("Seems like Brelvo for iOS is not installed. Do you want to install it?"),
                              QStringLiteral("NO"), QStringLiteral("YES"));
    alert->setBvAlertDelegate(lock);
    BVAlert::show(alert);
    settle([alert] {
        auto* effect = qobject_cast<QGraphicsOpacityEffect*>(alert->graphicsEffect());
        return effect && effect->opacity() >= 1.0;
    });
    ok &= save(host, folder, QStringLiteral("alert.png"), "an alert over the lock screen",
               [&] { return onScreen(alert) && locked(); });
    delete alert;

    UserHelperBrelvo::shared().setErrorInfo(
        record(QStringLiteral("No response from server"), {{QStringLiteral("refresh"), true}}));
    lock->setupWithErrorInfo();
    ok &= save(host, folder, QStringLiteral("lock-connection.png"), "the lock screen", locked);
    NotificationCenter::defaultCenter().post(notifications::kCloseLockScreen);
    settle([&] { return !lock->isVisible() && window->frame().x() == -width; });

    // The menu opened while the sign-in is under way.
    brelvo.showMenu();
    settle([&] { return window->frame().x() == 0; });
    auto* loading = LockScreenViewControllerBrelvo::showLoadingOver(components().mainView());
    ok &= save(host, folder, QStringLiteral("lock-loading.png"), "the loading lock screen",
               [&] { return onScreen(loading); });
    delete loading;
    brelvo.hideMenu();
    settle([&] { return window->frame().x() == -width; });

    // A one-button alert straight over the host.
    auto* notice = new BVAlert(QStringLiteral("Success"), QStringLiteral("Issue has been saved locally"),
                               QStringLiteral("OK"), QString());
    BVAlert::show(notice);
    settle([notice] {
        auto* effect = qobject_cast<QGraphicsOpacityEffect*>(notice->graphicsEffect());
        return effect && effect->opacity() >= 1.0;
    });
    ok &= save(host, folder, QStringLiteral("alert-one-button.png"), "an alert", [&] { return onScreen(notice); });
    delete notice;

    auto* readMe = new BrelReadMeVC;
    readMe->presentOver(host, false);
    ok &= save(host, folder, QStringLiteral("read-me.png"), "the read-me screen", [&] { return onScreen(readMe); });
    delete readMe;

    // The issue form's inputs, inside the open menu where the form lives.
    brelvo.showMenu();
    settle([&] { return window->frame().x() == 0; });
    OXPickerViewBrelvo* picker = OXPickerViewBrelvo::setupPickerViewWithContent(
        {QStringLiteral("Crash"), QStringLiteral("Bug"), QStringLiteral("Layout"), QStringLiteral("Text"),
         QStringLiteral("Suggestion")},
        QStringLiteral("Type:"), {});
    QPointer<OXPickerViewBrelvo> pickerShown(picker);
    picker->showPicker();
    settle([&] { return picker->geometry().bottom() == window->height() - 1; });
    ok &= save(host, folder, QStringLiteral("picker.png"), "the picker", [&] { return onScreen(picker); });
    picker->hidePicker();
    settle([&] { return pickerShown.isNull(); });

    {
        SampleForm form(window);
        auto* editor = new ModalTextViewsBrelvoVC(&form);
        editor->setSummOrDescr(false);
        editor->present();
        ok &= save(host, folder, QStringLiteral("text-entry.png"), "the text entry", [&] { return onScreen(editor); });
        editor->exitAction();
        settle();
    }
    brelvo.hideMenu();
    settle([&] { return window->frame().x() == -width; });

    // The signed-in tester's profile, shown by the facade over the last window.
    components().showUserProfileScreen();
    settle([&] {
        UserProfileViewController* profile = components().userProfileScreen();
        return profile && profile->isVisible() && !profile->userImage().isNull();
    });
    ok &= save(host, folder, QStringLiteral("profile.png"), "the profile",
               [&] { return onScreen(components().userProfileScreen()); });
    components().removeUserProfileScreen();

    // The requirements list and detail, as the menu's fetch hands them over:
    // the build's test cases, one of them under way.
    {
        UserHelperBrelvo::shared().setRequirementsProperties({choice(1, "Low"), choice(2, "Medium"), choice(3, "High")});
        const auto requirement = [](int rid, const char* code, const char* title, int priority, int status) {
            return QVariantMap{{QStringLiteral("rid"), rid}, {QStringLiteral("code"), QString::fromLatin1(code)},
                               {QStringLiteral("title"), QString::fromLatin1(title)}, {QStringLiteral("priority"), priority},
                               {QStringLiteral("status"), status}, {QStringLiteral("kind"), 1},
                               {QStringLiteral("description"),
                                QStringLiteral("Open the notes list, create a note with a title and two lines of text, "
                                               "then go back to the list.")},
                               {QStringLiteral("actor"), QStringLiteral("A signed-in tester")},
                               {QStringLiteral("action"), QStringLiteral("Create and save a note")},
                               {QStringLiteral("exp_result"),
                                QStringLiteral("The note is listed first, with its title, and opens with both lines.")}};
        };
        const QVariantMap running = requirement(108, "NT-8", "Sync notes between two devices", 3, 1);
        RequirementsSource source;
        source.takeList({requirement(101, "NT-1", "Create a note", 3, 0), requirement(103, "NT-3", "Delete a note", 3, 0),
                         requirement(102, "NT-2", "Rename a note", 2, 0), requirement(104, "NT-4", "Search the notes", 2, 0),
                         requirement(105, "NT-5", "Share a note by e-mail", 1, 0)},
                        running);
        NetworkClientBrelvo::shared().setRrid(QStringLiteral("108"));
        QWidget screen;
        screen.resize(host->size());
        screen.show();
        auto* list = new RequirementsViewController(&source, &screen);
        list->setGeometry(screen.rect());
        list->show();
        const auto listShown = [&] { return onScreen(list); };
        ok &= save(&screen, folder, QStringLiteral("requirements.png"), "the requirements", listShown);
        EGORefreshTableHeaderViewBrelvo* header = list->refreshHeaderView();
        header->egoRefreshScrollViewDidScroll(-45, true);
        ok &= save(&screen, folder, QStringLiteral("requirements-pull.png"), "the requirements", listShown);
        header->egoRefreshScrollViewDidScroll(-80, true);
        ok &= save(&screen, folder, QStringLiteral("requirements-release.png"), "the requirements", listShown);
        header->egoRefreshScrollViewDidEndDragging(-80);
        ok &= save(&screen, folder, QStringLiteral("requirements-loading.png"), "the requirements", listShown);
        header->egoRefreshScrollViewDataSourceDidFinishedLoading();

        RequirementViewController* detail = list->createRequirementView();
        detail->showRequirement(requirement(101, "NT-1", "Create a note", 3, 0));
        ok &= save(&screen, folder, QStringLiteral("requirement.png"), "a requirement", [&] { return onScreen(detail); });
        detail->showRequirement(running);
        ok &= save(&screen, folder, QStringLiteral("requirement-running.png"), "a requirement", [&] { return onScreen(detail); });
        detail->btnBackPressed();

        NetworkClientBrelvo::shared().setRrid(QStringLiteral("0"));
        source.takeList({}, QVariant());
        ok &= save(&screen, folder, QStringLiteral("requirements-empty.png"), "the requirements", listShown);
        // The failed tab, asked of a service that is not there: still empty.
        const bool wasInit = SharedState::shared().isInit();
        SharedState::shared().setIsInit(true);
        list->tabButton(2)->click();
        settle([&] { return !source.isLoading(); });
        ok &= save(&screen, folder, QStringLiteral("requirements-failed.png"), "the requirements", listShown);
        SharedState::shared().setIsInit(wasInit);
    }

    // The issue form, as "Post issue" in the open menu shows it.
    Defaults::standard().removeObject(ScreenshotStore::kListKey);
    CustomViewBrelvo* panel = components().mainView();
    NotificationCenter::defaultCenter().post(notifications::kCloseLockScreen);
    brelvo.showMenu();
    settle([&] { return window->frame().x() == 0; });
    panel->btnPostIssuePressed();
    FeedbackViewControllerBrelvo* issueForm = panel->issueForm();
    settle([&] { return issueForm && issueForm->isVisible(); });
    const auto formShown = [&] { return onScreen(issueForm); };
    ok &= save(host, folder, QStringLiteral("form-empty.png"), "the issue form", formShown);

    issueForm->setTypeIndex();
    issueForm->chooseValueIndex(1);
    issueForm->setPriorityIndex();
    issueForm->chooseValueIndex(2);
    for (OXPickerViewBrelvo* open : window->findChildren<OXPickerViewBrelvo*>()) open->hidePicker();
    settle([&] { return window->findChildren<OXPickerViewBrelvo*>().isEmpty(); });
    issueForm->setSummaryText(QStringLiteral("Saving a note twice loses the first"));
    issueForm->setDescriptionText(
        QStringLiteral("1. Write a note\n2. Tap Save twice quickly\n\nThe first version is gone from the list."));
    ok &= save(host, folder, QStringLiteral("form-filled.png"), "the issue form", formShown);

    for (int i = 0; i < 3; ++i) ScreenshotStore::shared().saveCapture(samples[i]);
    settle([&] { return issueForm->strip()->paths().size() == 3; });
    ok &= save(host, folder, QStringLiteral("form-screenshots.png"), "the issue form with three screenshots",
               [&] { return formShown() && issueForm->strip()->paths().size() == 3; });

    issueForm->tapOnScreenshot(1);
    ScreenshotEditBrelvoVC* preview = nullptr;
    settle([&] {
        preview = issueForm->findChild<ScreenshotEditBrelvoVC*>();
        return preview && preview->isVisible();
    });
    ok &= save(host, folder, QStringLiteral("preview.png"), "the screenshot preview", [&] { return onScreen(preview); });

    // The editor over that screenshot: each tool in use, then the result saved.
    if (preview) preview->editButton()->click();
    BrelvoEditImageViewController* editor = nullptr;
    settle([&] {
        editor = preview ? preview->editor() : nullptr;
        return editor && editor->isVisible();
    });
    if (editor) {
        BrelvoEditView* canvas = editor->editorView();
        const QPointF at = canvas->pictureRect().topLeft();
        const qreal k = canvas->pictureRect().width() / 320;  // the host's points to the fitted picture's
        const auto scene = [&](int button, int colour, const QList<QPointF>& points, const char* name, bool apply) {
            editor->instrumentsButtonsTapped(button);
            if (colour > 0) editor->instrumentsButtonsTapped(colour);
            QList<QPointF> onCanvas;
            for (const QPointF& p : points) onCanvas.append(at + p * k);
            if (!onCanvas.isEmpty()) drag(canvas, onCanvas);
            ok &= save(host, folder, QString::fromLatin1(name), "the editor", [&] { return onScreen(editor); });
            if (apply) editor->saveButtonTapped();
        };
        ok &= save(host, folder, QStringLiteral("editor.png"), "the editor", [&] { return onScreen(editor); });
        scene(0, 0, {{40, 300}, {70, 290}, {110, 310}, {150, 295}, {190, 305}, {230, 300}}, "editor-pencil.png", true);
        scene(1, 2, {{30, 150}, {290, 150}}, "editor-marker.png", true);
        scene(4, 0, {{280, 470}, {200, 380}}, "editor-arrow.png", true);
        // The text box: a tap on its placeholder, then typing, as a tester would.
        editor->instrumentsButtonsTapped(2);
        editor->instrumentsButtonsTapped(4);
        BrelvoTextView* text = canvas->textView();
        drag(text, {QPointF(60, 60)});
        const auto key = [text](int code, const QString& typed) {
            QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, typed);
            QApplication::sendEvent(text, &press);
        };
        for (int i = 0; i < 4; ++i) key(Qt::Key_Backspace, QString());  // the placeholder "text"
        for (QChar c : QStringLiteral("Overlap!")) key(0, QString(c));
        ok &= save(host, folder, QStringLiteral("editor-text.png"));
        editor->saveButtonTapped();
        ok &= save(host, folder, QStringLiteral("editor-applied.png"));
        scene(3, 0, {}, "editor-crop.png", false);
        editor->exitButtonTapped();  // "Back": the crop is dropped
        editor->saveButtonTapped();
        settle([&] { return !issueForm->findChild<ScreenshotEditBrelvoVC*>(); });
        const QString savedCopy = QDir(folder).filePath(QStringLiteral("editor-saved.png"));
        QFile::remove(savedCopy);
        ok &= QFile::copy(ScreenshotStore::shared().list().value(1), savedCopy);
        ok &= save(host, folder, QStringLiteral("form-edited.png"));
    } else {
        ok = false;
        if (preview) preview->backAction();
        settle([&] { return !issueForm->findChild<ScreenshotEditBrelvoVC*>(); });
    }

    issueForm->showOfflineModeMessage(true);
    ok &= save(host, folder, QStringLiteral("form-offline.png"), "the issue form", formShown);
    issueForm->showOfflineModeMessage(false);

    for (int i = 3; i < ScreenshotStore::kMaxScreenshots; ++i) ScreenshotStore::shared().saveCapture(samples[i]);
    settle([&] { return issueForm->strip()->paths().size() == ScreenshotStore::kMaxScreenshots; });
    issueForm->allowAnotherScreenshot();
    const auto limitAlert = [] {
        BVAlert* shown = nullptr;
        for (QWidget* w : windows::all())
            if (auto* a = w->findChild<BVAlert*>()) shown = a;
        auto* effect = shown ? qobject_cast<QGraphicsOpacityEffect*>(shown->graphicsEffect()) : nullptr;
        return effect && effect->opacity() >= 1.0 && onScreen(shown);
    };
    settle(limitAlert);
    ok &= save(host, folder, QStringLiteral("form-limit-alert.png"), "the screenshot limit's alert", limitAlert);

    // The editor held sideways on a phone (the strip moves into the top bar)
    // and on a tablet both ways, on a screen of that size.
    for (const auto& [size, tablet, name] : {std::tuple{QSize(568, 320), false, "editor-phone-sideways.png"},
                                             {QSize(480, 320), false, "editor-small-phone-sideways.png"},
                                             {QSize(768, 1024), true, "editor-tablet.png"},
                                             {QSize(1024, 768), true, "editor-tablet-sideways.png"}}) {
        app.setProperty("brelvo_idiom", tablet ? QStringLiteral("tablet") : QString());
        QWidget screen;
        screen.resize(size);
        screen.show();
        auto* editor = new BrelvoEditImageViewController(samples[2], QString(), -1);
        editor->presentOver(&screen, false);
        settle([&] { return editor->isVisible(); });
        ok &= save(&screen, folder, QStringLiteral("viewing-") + QString::fromLatin1(name));
        editor->instrumentsButtonsTapped(1);
        const QRectF picture = editor->editorView()->pictureRect();
        drag(editor->editorView(), {picture.topLeft() + QPointF(20, 60), picture.topLeft() + QPointF(picture.width() - 20, 60)});
        ok &= save(&screen, folder, QString::fromLatin1(name));
    }
    app.setProperty("brelvo_idiom", QVariant());
    for (const QString& path : ScreenshotStore::shared().list()) ScreenshotStore::shared().remove(path);

    delete host;
    return ok ? 0 : 1;
}
