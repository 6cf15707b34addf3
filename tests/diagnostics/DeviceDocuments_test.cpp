#include "diagnostics/DeviceDocuments.h"

#include "diagnostics/DiagnosticsTestUtil.h"
#include "protocol/JsonText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace brelvo;
using namespace brelvo::devicedocs;
using brelvo::test::jsonObject;

namespace {

General sampleGeneral() {
    return {QStringLiteral("tester-box"), QString(), QString(), QStringLiteral("Europe/Berlin"),
            QStringLiteral("DE"), QStringLiteral("de_DE")};
}

Hardware sampleHardware() {
    return {false, QStringLiteral("2160x3840"), QStringLiteral("512000000000"), QStringLiteral("16000000000"),
            QStringLiteral("2G,3G")};
}

}  // namespace

TEST(JsonText, EscapesOnlyWhatWouldBreakAString) {
    EXPECT_EQ(jsonEscapedText(QStringLiteral("plain ü text / 100%")), QStringLiteral("plain ü text / 100%"));
    EXPECT_EQ(jsonEscapedText(QStringLiteral("a\"b\\c")), QStringLiteral("a\\\"b\\\\c"));
    EXPECT_EQ(jsonEscapedText(QStringLiteral("1\n2\t3\r\b\f")), QStringLiteral("1\\n2\\t3\\r\\b\\f"));
    EXPECT_EQ(jsonEscapedText(QString(QChar(0x01))), QStringLiteral("\\u0001"));
    EXPECT_EQ(jsonEscaped(QStringLiteral("é\"")), QByteArray("\xc3\xa9\\\""));
    // A null text prints the text for no value; an empty one stays empty.
    EXPECT_EQ(jsonEscapedText(QString()), QStringLiteral("(null)"));
    EXPECT_EQ(jsonEscaped(QString()), QByteArray("(null)"));
    EXPECT_EQ(jsonEscapedText(QLatin1String("")), QString(QLatin1String("")));
}

TEST(DeviceDocuments, PhoneStateTemplateAndScreenSizesHeightByWidth) {
    const PhoneState state{QStringLiteral("WiFi"),      QStringLiteral("OFF"), 512, QStringLiteral("12.50  GB"), 50,
                           QStringLiteral("YES"), QStringLiteral("LandscapeLeft")};
    EXPECT_EQ(phoneState(state),
              QStringLiteral("{\"network\":\"WiFi\",\"location\":\"OFF\",\"free_ram\":\"512 Mb\","
                             "\"free_space\":\"12.50  GB\",\"battery_level\":\"50%\",\"external_power\":\"YES\","
                             "\"orientation\":\"LandscapeLeft\"}"));

    EXPECT_EQ(screenResolution(1920.7, 1080.2), QStringLiteral("1080x1920"));
    EXPECT_EQ(displaySize(2, 390, 844), QStringLiteral("1688x780"));
    // Points are cut to whole numbers first; a fractional scale keeps the real pixel count.
    EXPECT_EQ(displaySize(1.5, 1280.9, 720.5), QStringLiteral("1080x1920"));
}

TEST(DeviceDocuments, PropertiesTemplateWithItsOddBlanks) {
    EXPECT_EQ(deviceProperties(sampleGeneral(), sampleHardware()),
              QStringLiteral(
                  "{\"general\":{\"manufacturer\":\"Apple\", \"device_model\":\"-\", \"device_name\":\"tester-box\", "
                  "\"mcc\":\"(null)\",\"mnc\":\"(null)\", \"time_zone\":\"Europe/Berlin\", \"country_code\":\"DE\", "
                  "\"locale\":\"de_DE\"}, \"hardware\":{\"camera\":\"1\", \"microphone\":\"1\", \"wifi\":\"1\", "
                  "\"gps\":\"1\", \"jailbreak\":\"0\", \"display_size\":\"2160x3840\", \"rom\":\"512000000000\", "
                  "\"ram\":\"16000000000\", \"type_wwan\":\"2G,3G\"}, \"sensors\":{}}"));

    Hardware jailbroken = sampleHardware();
    jailbroken.jailbroken = true;
    EXPECT_TRUE(deviceProperties(sampleGeneral(), jailbroken).contains(QStringLiteral("\"jailbreak\":\"1\"")));
}

TEST(DeviceDocuments, ParamsTemplates) {
    const Identity id{QStringLiteral("6F1C-AB"), QStringLiteral("12"), QStringLiteral("x86_64"),
                      QStringLiteral("MTI")};
    EXPECT_EQ(deviceParams(id, QStringLiteral("{}")),
              QStringLiteral("{\"udid\":\"6F1C-AB\",\"system_version\":\"12\",\"system_name\":\"x86_64\", "
                             "\"system_fingerprint\":\"MTI\",\"properties\":{}}"));

    // Every quote of the document comes out behind a backslash.
    EXPECT_EQ(deviceParamsWithCheckSum(QStringLiteral("0123ABCD"), id, QStringLiteral("{\"a\":\"b\"}")),
              QString::fromUtf8(R"({\"properties_checksum\":\"0123ABCD\", \"udid\":\"6F1C-AB\",)"
                                R"(\"system_version\":\"12\", \"system_fingerprint\":\"MTI\", )"
                                R"(\"system_name\":\"x86_64\",\"properties\":{\"a\":\"b\"}})"));
}

TEST(DeviceDocuments, ParamsWithCheckSumDecodesBackWhenAValueHeldAQuote) {
    const Identity id{QStringLiteral("U"), QStringLiteral("12"), QStringLiteral("Pro \"Max\", rev\\2"),
                      QStringLiteral("MTI")};
    const QString properties = deviceProperties(sampleGeneral(), sampleHardware());
    const QString text = deviceParamsWithCheckSum(QStringLiteral("SUM"), id, properties);

    // As the value of a JSON string it decodes to a document that parses and
    // still carries the model name intact.
    const QJsonDocument wrapper = QJsonDocument::fromJson("[\"" + text.toUtf8() + "\"]");
    ASSERT_TRUE(wrapper.isArray()) << text.toStdString();
    const QJsonObject inner = jsonObject(wrapper.array().at(0).toString());
    EXPECT_EQ(inner.value("system_name").toString(), QStringLiteral("Pro \"Max\", rev\\2"));
    EXPECT_EQ(inner.value("properties").toObject().value("general").toObject().value("locale").toString(), "de_DE");
}

TEST(DeviceDocuments, OlderDeviceInformationAndSignInTemplates) {
    const LegacyProperties p{QStringLiteral("box"),       QString(),
                             QString(),                   QStringLiteral("NO"),
                             QStringLiteral("100.00  GB"), QStringLiteral("2024_01_02_03-04-05-006_"),
                             QStringLiteral("UTC"),       QStringLiteral("Etc/UTC"),
                             QStringLiteral("US"),        QStringLiteral("1080x1920")};
    const QString properties = legacyProperties(p);
    EXPECT_EQ(properties,
              QStringLiteral("{\"device_name\":\"box\",\"manufacturer\":\"Apple\",\"device_model\":\"-\","
                             "\"mcc\":\"(null)\",\"mnc\":\"(null)\",\"wifi\":\"1\",\"type_wwan\":\"NO\","
                             "\"total_disk_space\":\"100.00  GB\",\"current_time\":\"2024_01_02_03-04-05-006_\","
                             "\"system_time_zone\":\"UTC\",\"local_time_zone\":\"Etc/UTC\",\"country_code\":\"US\","
                             "\"screen_resolution\":\"1080x1920\"}"));

    EXPECT_EQ(deviceInfo(QStringLiteral("AA:BB"), QStringLiteral("12"), QStringLiteral("M"), QStringLiteral("{}")),
              QStringLiteral("{\"udid\":\"AA:BB\",\"system_version\":\"12\",\"system_name\":\"M\",\"properties\":{}}"));
    // A member, not an object, and name before version this time.
    EXPECT_EQ(infoFromDevice(QStringLiteral("AA:BB"), QStringLiteral("M"), QStringLiteral("12"), QStringLiteral("{}")),
              QStringLiteral("\"auth_data\":{\"udid\":\"AA:BB\",\"system_name\":\"M\",\"system_version\":\"12\","
                             "\"properties\":{}}"));

    // Sign-in info ends without its closing brace: the caller adds members.
    // Placeholders inside a value are not filled again, and a quote cannot end the string.
    const QString text = signInInfo(QStringLiteral("%2\"%3"), QStringLiteral("o"), QStringLiteral("%1"));
    EXPECT_EQ(text, QStringLiteral("{\"uid\":\"%2\\\"%3\",\"oid\":\"o\",\"udid\":\"%1\",\"token\":\"\""));
    EXPECT_EQ(jsonObject(text + "}").value("uid").toString(), QStringLiteral("%2\"%3"));
}

