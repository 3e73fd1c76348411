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
// "v1" (the XML API with the password sign-in) or "x" (today's JSON API with
// the browser sign-in), and the x flavour's consumer pair: each application
// registers its own with the service, so none is built in.
inline constexpr char apiFlavorKey[] = "api_flavor";
inline constexpr char consumerKeyKey[] = "consumer_key";
inline constexpr char consumerSecretKey[] = "consumer_secret";
inline constexpr char flavorV1[] = "v1";
inline constexpr char flavorX[] = "x";

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
// True when "api_flavor" says "x"; anything else is the default "v1".
bool xFlavor();
// The x flavour's consumer pair as entered; empty when not set.
QString consumerKey();
QString consumerSecret();
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
