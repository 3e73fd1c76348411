#ifndef INCOMINGREQUEST_H
#define INCOMINGREQUEST_H

#include "formcodec.h"
#include "oauthverifier.h"

#include <QByteArray>
#include <QHash>
#include <QStringList>

// One request as the routes see it: parameters already decoded.
class IncomingRequest
{
public:
    QByteArray method;
    QString path; // percent-encoded, as on the request line
    FormParams query;
    FormParams form; // empty unless the body is form-encoded
    QByteArray body;
    QHash<QByteArray, QByteArray> headers; // names in lower case
    QStringList signedUrls;

    QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }

    // Query and form parameters both enter the signature.
    OAuthVerifier::Request oauthRequest() const
    {
        return { method, signedUrls, header("authorization"), query + form };
    }
};

#endif
