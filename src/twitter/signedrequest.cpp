#include "twitter/signedrequest.h"

#include "twitter/signature.h"

bool startTokenSignature(Signature &signer)
{
    signer.loadCredentials();
    if (!signer.tokenValidate())
        return false;
    signer.newNonce();
    signer.newTimestamp();
    signer.clearParams();
    signer.setupOAuthParams();
    return true;
}

QNetworkReply *sendSigned(
    HttpTransport &transport, const Signature &signer, HttpTransport::Request request)
{
    request.verb = signer.http_method.toLatin1();
    request.authorization = signer.authorizationHeader.toLatin1();
    if (request.verb == "GET") {
        request.contentType = QByteArrayLiteral("text");
    } else if (!request.bodyDevice && request.body.isEmpty()) {
        request.contentType = QByteArrayLiteral("application/x-www-form-urlencoded");
        request.body = signer.postBody.toLatin1();
    }
    return transport.send(request);
}
