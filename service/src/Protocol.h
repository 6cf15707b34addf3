#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace brelvo::service {

class Database;
class FileStore;

// Response codes of the service's answers. 0, 74 and 77 mean something to the
// library; the others only need to be non-zero and stable for its users.
enum ResponseCode : int {
  kOk = 0,
  kBadRequest = 1,         // body not JSON, member missing or of the wrong type
  kUnknownMethod = 2,      // no such method (or API version) under /api/<version>/lib/
  kUnknownApiKey = 3,      // api_key names no project
  kUnknownSession = 4,     // access_token missing or unknown: authenticate again
  kUnknownApp = 5,         // app_id undecodable, or its bundle identifier is not in the project
  kNotFound = 6,           // no requirement with that rid in the session's revision
  kTooLarge = 7,           // body above the size limit
  kNotPost = 8,            // the library's methods are POST only
  kInternal = 9,           // the service could not store what it received
  kRevisionDisabled = 74,  // the build is known but no longer accepted
  kUnknownRevision = 77,   // the app is known but this bundle version is not
};

// The request header in which the library names a report it may send more
// than once (a crash, a log batch, an issue). The service keeps one report per
// identifier: a repeat is answered as the first one was and stores nothing.
inline constexpr const char* kDeliveryIdHeader = "Brelvo-Delivery-Id";

struct Answer {
  QByteArray body;
  int responseCode = kOk;
  std::optional<std::int64_t> sessionId;
};

// The library's ten methods: validates a request body, stores what it carries
// and builds the answer. Never throws.
class Protocol {
 public:
  // files: where the bytes of attachments and crash logs go.
  Protocol(Database& db, FileStore& files);
  FileStore& files() { return files_; }

  // baseUrl: how the device reaches this service ("http://host:port"); it
  // replaces "{service}" in addresses taken from the seed. deliveryId: the
  // kDeliveryIdHeader value as it came (empty when absent).
  Answer handle(const QString& method, const QByteArray& body, const QString& baseUrl,
                const QString& deliveryId = QString());

  // An error envelope.
  static QByteArray errorBody(int code, const QString& error, bool refresh = false, const QString& url = {},
                              const QString& title = {});

  // "1_<bundle identifier>__<bundle version>__" from the Base64 of the app_id
  // (padding removed by the library); false when it is not such a text.
  static bool decodeAppId(const QString& appId, QString* bundleId, QString* bundleVersion);

  // The identifier of a kDeliveryIdHeader value (32 hexadecimal digits, or a
  // UUID), in one form: lowercase digits without dashes. Null when it is not one.
  static QString normalDeliveryId(const QString& header);

  // True for the XML property list of an empty array, the body of the
  // library's periodic empty log batch.
  static bool isEmptyArrayPropertyList(const QByteArray& body);

 private:
  Database& db_;
  FileStore& files_;
};

}  // namespace brelvo::service
