// Signs a sample status update the way the plug-in does and prints what
// would go on the wire, so a signing problem can be looked at without a
// network or an account.

#include "twitter/signature.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

// SAMPLE credentials for the demonstration only: no service knows them.
constexpr char sampleToken[] = "00000000-SampleTokenForTheZpvSignDemoOnly0000000000";
constexpr char sampleTokenSecret[] = "SampleTokenSecretForTheZpvSignDemoOnly0000";

void printLine(const char *label, const QString &value)
{
    std::printf("%s: %s\n", label, qUtf8Printable(value));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zpv-sign"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Signs a sample status update with OAuth 1.0a (HMAC-SHA1) and prints the "
                       "signature base string, the Authorization header and the body."));
    parser.addHelpOption();
    const QCommandLineOption status(QStringLiteral("status"),
        QStringLiteral("Status text to sign."), QStringLiteral("TEXT"),
        QStringLiteral("Hello from the ZPV gallery! Ünïcödé & friends"));
    const QCommandLineOption token(QStringLiteral("token"),
        QStringLiteral("Access token (default: a sample; empty for "
                       "none)."),
        QStringLiteral("TOKEN"), QString::fromLatin1(sampleToken));
    const QCommandLineOption tokenSecret(QStringLiteral("token-secret"),
        QStringLiteral("Access token secret (default: a sample)."), QStringLiteral("SECRET"),
        QString::fromLatin1(sampleTokenSecret));
    const QCommandLineOption url(QStringLiteral("url"), QStringLiteral("Request URL."),
        QStringLiteral("URL"), QStringLiteral("http://api.twitter.com/1/statuses/update.xml"));
    parser.addOptions({ status, token, tokenSecret, url });
    parser.process(app);

    Signature signature(QStringLiteral("POST"), Signature::defaultConsumerKey(),
        Signature::defaultConsumerSecret(), parser.value(url));
    signature.oauth_token = parser.value(token);
    signature.oauth_token_secret = parser.value(tokenSecret);
    signature.newNonce();
    signature.newTimestamp();
    signature.clearParams();
    signature.setupOAuthParams();
    signature.addParam(QStringLiteral("status"), parser.value(status));
    if (!signature.createSignature(0))
        return 1;

    printLine("Request", signature.http_method + u' ' + signature.urlString);
    printLine("Signature base string", signature.signatureBaseString);
    printLine("Authorization", signature.authorizationHeader);
    printLine("Content-Type", QStringLiteral("application/x-www-form-urlencoded"));
    printLine("Body", signature.postBody);
    return 0;
}
