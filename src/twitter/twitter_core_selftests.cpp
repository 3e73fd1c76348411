// The signer's known-answer self-tests: fixed vectors, no network, no
// settings store; a failure is the false result and its log lines.
#include "twitter/twitter_core.h"

#include "twitter/selftestvectors.h"
#include "twitter/signature.h"
#include "zpvlogging.h"

namespace {

// The signer of a vector, login or status update alike.
template<typename Vector>
Signature vectorSigner(const Vector &v)
{
    return Signature(QString::fromLatin1(v.method), QString::fromLatin1(v.consumerKey),
        QString::fromLatin1(v.consumerSecret), QString::fromLatin1(v.url));
}

void logResultAndExpected(const QString &result, const char *expected)
{
    qCDebug(lcTwitter, "Result...");
    qCDebug(lcTwitter, "%s", qUtf8Printable(result));
    qCDebug(lcTwitter, "Expected...");
    qCDebug(lcTwitter, "%s", expected);
}

// The log lines of one sign-in check; each check has always logged its own.
struct LoginCheckLines
{
    const char *signFailed;
    const char *baseMismatch; // null: the base string's mismatch has no line of its own
    const char *signatureMismatch;
    const char *passed;
};

// Signs the xAuth request of v and compares base string and signature.
bool checkLoginVector(const SelfTestVectors::LoginVector &v, const LoginCheckLines &lines)
{
    Signature signer = vectorSigner(v);
    signer.x_auth_username = QString::fromUtf8(v.userName);
    signer.x_auth_password = QString::fromUtf8(v.password);
    signer.oauth_nonce = QString::fromLatin1(v.nonce);
    signer.oauth_timestamp = QString::fromLatin1(v.timestamp);
    signer.urlString = QString::fromLatin1(v.url);
    signer.x_auth_mode = QString::fromLatin1(v.xAuthMode);
    signer.clearParams();
    signer.setupOAuthParams();
    signer.addParam(QStringLiteral("x_auth_mode"), QStringLiteral("client_auth"));
    signer.addParam(QStringLiteral("x_auth_password"), signer.x_auth_password);
    signer.addParam(QStringLiteral("x_auth_username"), signer.x_auth_username);
    if (!signer.createSignature(0)) {
        qCCritical(lcTwitter, "%s", lines.signFailed);
        return false;
    }
    if (signer.signatureBaseString != QLatin1String(v.baseString)) {
        if (lines.baseMismatch)
            qCCritical(lcTwitter, "%s", lines.baseMismatch);
        logResultAndExpected(signer.signatureBaseString, v.baseString);
        return false;
    }
    if (signer.oauth_signature != QLatin1String(v.signature)) {
        qCCritical(lcTwitter, "%s", lines.signatureMismatch);
        return false;
    }
    qCDebug(lcTwitter, "%s", lines.passed);
    return true;
}

} // namespace

bool Twitter_core::signatureTest(unsigned long flags)
{
    const bool first = signatureTest1(flags);
    const bool second = signatureTest2(flags);
    return first && second;
}

bool Twitter_core::signatureTest1(unsigned long)
{
    return checkLoginVector(SelfTestVectors::signatureTest1,
        { "Twitter_core::logIn() - failed to createSignature", nullptr,
            "Twitter_core::signatureTest1() - oauth signature result does not match expected",
            "Twitter_core::signatureTest1() - PASS" });
}

bool Twitter_core::signatureTest2(unsigned long)
{
    return checkLoginVector(SelfTestVectors::signatureTest2,
        { "Twitter_core::signatureTest2() - failed to createSignature",
            "Twitter_core::signatureTest2() - signature base result does not match expected",
            "Twitter_core::signatureTest2() - oauth signature result does not match expected",
            "Twitter_core::signatureTest2() - PASS" });
}

bool Twitter_core::signatureTweetTest(unsigned long)
{
    const SelfTestVectors::TweetVector &v = SelfTestVectors::signatureTweetTest;
    Signature signer = vectorSigner(v);
    signer.oauth_token = QString::fromLatin1(v.token);
    signer.oauth_token_secret = QString::fromLatin1(v.tokenSecret);
    signer.oauth_nonce = QString::fromLatin1(v.nonce);
    signer.oauth_timestamp = QString::fromLatin1(v.timestamp);
    signer.clearParams();
    signer.setupOAuthParams();
    signer.addParam(QStringLiteral("status"), QString::fromUtf8(v.status));
    if (!signer.createSignature(0)) {
        qCCritical(lcTwitter, "Twitter_core::tweetTest() - failed to createBasicSignature");
        return false;
    }
    const struct
    {
        const QString &result;
        const char *expected;
        const char *mismatch;
    } checks[] = {
        { signer.signatureBaseString, v.baseString,
            "Twitter_core::tweetTest() - base string mis-match" },
        { signer.oauth_signature, v.signature,
            "Twitter_core::tweetTest() - oauth_signature mis-match" },
        { signer.authorizationHeader, v.authorizationHeader,
            "Twitter_core::tweetTest() - oauth_header mis-match" },
        { signer.postBody, v.postBody, "Twitter_core::tweetTest() - post_body mis-match" },
    };
    for (const auto &check : checks) {
        if (check.result != QLatin1String(check.expected)) {
            qCCritical(lcTwitter, "%s", check.mismatch);
            qCDebug(lcTwitter, "RESULT: %s", qUtf8Printable(check.result));
            qCDebug(lcTwitter, "EXPECTED: %s", check.expected);
            return false;
        }
    }
    return true;
}
