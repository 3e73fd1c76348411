#ifndef INCOMINGREQUEST_H
#define INCOMINGREQUEST_H

#include "formcodec.h"
#include "oauthverifier.h"

#include <QByteArray>
#include <QHash>
#include <QStringList>

#include <optional>

// One request as the routes see it: parameters already decoded.
class IncomingRequest
{
public:
    QByteArray method;
    QString path; // percent-encoded, as on the request line
    QByteArray queryString; // as on the request line, without the "?"
    FormParams query;
    FormParams form; // empty unless the body is form-encoded
    QByteArray body; // empty when the body went to bodyFile
    QString bodyFile; // the body as a file, for bodies streamed to disk
    qint64 bodySize = 0;
    qint64 declaredSize = -1; // Content-Length, -1 when none was given
    QHash<QByteArray, QByteArray> headers; // names in lower case
    QStringList signedUrls;
    // Set when the request was authenticated from its head alone (uploads,
    // whose signature does not cover the body).
    std::optional<StoredToken> token;

    QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }

    // Query and form parameters both enter the signature.
    OAuthVerifier::Request oauthRequest() const
    {
        return { method, signedUrls, header("authorization"), query + form };
    }
};

#endif
