// The analysis of the service's answers as the session flows run it: any
// answer text (an error envelope, a web page, damaged JSON) is read without
// failing, and the settings filled from it survive their store.

#include "FuzzSupport.h"

#include "platform/CategoryHelper.h"
#include "protocol/AnalizeResponseBrelvo.h"
#include "state/BrelAuthenticationDM.h"
#include "state/LibrarySettings.h"

using namespace brelvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static AnalizeResponseBrelvo& analyser = [] () -> AnalizeResponseBrelvo& {
        fuzz::prepare();
        AnalizeResponseBrelvo& shared = AnalizeResponseBrelvo::shared();
        shared.setPresenters([] {}, [](const QString&, const QString&, const QString&) {});
        return shared;
    }();
    const QString answer = QString::fromUtf8(fuzz::bytesOf(data, size));

    if (analyser.isErrorWithString(answer)) {
        analyser.handleErrorFromResponse(answer);
    } else {
        BrelAuthenticationDM::shared().initWithDictionary(CategoryHelper::shared().dictionaryFromJSONString(answer));
    }
    (void)analyser.isError();
    (void)analyser.getErrorMessage();
    (void)analyser.getUsers();
    (void)analyser.getToken();
    (void)analyser.detectIssueTypes();
    (void)analyser.detectIssuePriorities();
    (void)analyser.detectRuquirementProperties();

    (void)analyser.getRequirementsArray(answer);
    (void)analyser.getRid(analyser.detectInProgressRequirement(answer));
    (void)analyser.getRid(analyser.getRequirement(answer));
    (void)analyser.getUser(answer);
    (void)analyser.getResponseCode(answer);
    (void)analyser.getAppIconPath(answer);
    (void)analyser.getAppTitle(answer);
    (void)analyser.getCompanyTitle(answer);
    (void)analyser.getRevisionNumber(answer);

    LibrarySettings settings;
    settings.setupInfoFromAuthResponse();
    settings.setupInfoFromProfileResponse(answer);
    settings.setupInfoFromGetRequirementsResponse(answer);
    settings.saveSettings();
    fuzz::require(LibrarySettings().descriptionString() == settings.descriptionString(),
                  "the settings read back from the store as they were saved");
    return 0;
}
