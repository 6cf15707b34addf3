// brelvo-settings: shows what the library's settings singleton loads from the
// application's store. With --save-sample it first plays the part of a
// successful authentication: a sample answer updates the shared
// authentication record, the settings take it over and save themselves.
#include <brelvo/Brelvo.h>

#include "platform/CategoryHelper.h"
#include "platform/Defaults.h"
#include "state/BrelAuthenticationDM.h"
#include "state/BrelvoDataStore.h"
#include "state/LibrarySettings.h"

#include <QCoreApplication>
#include <QVariant>

#include <cstdio>

namespace {

const char* kSampleAnswer = R"({
  "response_code": 0,
  "ts": 1796554800,
  "api_version": "1.0",
  "payload": {
    "access_token": "c2FtcGxlLXRva2Vu",
    "revision": {"title": "Notes 2.4 beta", "build_number": "241", "icon": "http://127.0.0.1:8642/icons/notes.png",
                 "project": "Notes", "organization": "Brelvo Demo Team"},
    "user": {"full_name": "Ada Tester", "image": "http://127.0.0.1:8642/users/ada.png", "role": "tester"},
    "issue_types": [{"id": 1, "name": "Crash", "icon": "crash.png"}, {"id": 2, "name": "Layout", "icon": "layout.png"}],
    "issue_priorities": [{"id": 1, "name": "Low", "icon": "low.png"}, {"id": 3, "name": "High", "icon": "high.png"}],
    "requirement_priorities": [{"id": 1, "name": "normal"}, {"id": 2, "name": "high"}]
  }
})";

void print(const QString& text) {
    std::fputs(text.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brelvo-settings"));
    using namespace brelvo;

    if (app.arguments().contains(QStringLiteral("--save-sample"))) {
        BrelAuthenticationDM::shared().initWithDictionary(
            CategoryHelper::shared().dictionaryFromJSONString(QString::fromUtf8(kSampleAnswer)));
        LibrarySettings::sharedInstance().setupInfoFromAuthResponse();
        LibrarySettings::sharedInstance().saveSettings();
        print(QStringLiteral("saved the settings of a sample authentication answer"));
        return 0;
    }

    // A later start: restore the authentication from the store, as an offline start does.
    BrelAuthenticationDM::shared().initWithDictionary(QVariant());
    const auto auth = BrelAuthenticationDM::shared().payload();
    print(QStringLiteral("libbrelvo %1, store %2").arg(libraryVersion(), Defaults::standard().path()));
    print(QStringLiteral("cached authentication: response code %1, api version %2, ts %3, payload %4")
              .arg(BrelvoDataStore::shared().getResponseCode().toString(),
                   BrelvoDataStore::shared().getApiVersion().toString(),
                   BrelvoDataStore::shared().getTimeStamp().toString(),
                   auth ? QStringLiteral("restored (token %1)").arg(auth->access_token()) : QStringLiteral("none")));
    print(QString());
    print(LibrarySettings::sharedInstance().descriptionString());
    return 0;
}
