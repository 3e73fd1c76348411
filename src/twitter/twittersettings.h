#ifndef TWITTERSETTINGS_H
#define TWITTERSETTINGS_H

#include <QString>
#include <QUrl>

// The plug-in's keys in the per-user settings store (organisation "Nobridge",
// application "ZPV", group "Twitter"). Endpoints are configurable so the
// plug-in can talk to any service that speaks the same protocol, the bundled
// local one included.
namespace TwitterSettings {

inline constexpr char organisation[] = "Nobridge";
inline constexpr char application[] = "ZPV";
inline constexpr char group[] = "Twitter";
// Subgroup of group that holds the access token.
inline constexpr char oauthGroup[] = "OAuth";

inline constexpr char apiUrlKey[] = "api_url";
inline constexpr char webUrlKey[] = "web_url";
inline constexpr char shortenerUrlKey[] = "shortener_url";
inline constexpr char caCertificatesKey[] = "ca_certificates";
inline constexpr char timeoutKey[] = "timeout_ms";

inline constexpr char defaultApiUrl[] = "https://api.twitter.com";
inline constexpr char defaultWebUrl[] = "https://twitter.com";
inline constexpr char defaultShortenerUrl[] = "https://tinyurl.com";
inline constexpr int defaultTimeoutMs = 30000;

// Scheme and host (and port) of the Twitter API; paths are appended as given.
QUrl apiUrl();
// Scheme and host of the web pages (sign-up, home).
QUrl webUrl();
// Scheme and host of the URL-shortening service.
QUrl shortenerUrl();
// Idle transfer timeout of every request, in milliseconds (at least 1).
int timeoutMs();
// Optional PEM file with certificates trusted in addition to the system's.
QString caCertificatesFile();

// The store holds the access token and its secret: make sure its file
// exists and is readable by its owner only before anything is written.
// (QSettings creates it by the umask; its atomic saves keep the mode.)
void restrictSettingsFile();

// apiUrl(), webUrl() or shortenerUrl() followed by a path, e.g. "/1/statuses/update.xml".
QUrl endpoint(const QUrl &base, const QString &path);

} // namespace TwitterSettings

#endif
