#ifndef SIGNEDREQUEST_H
#define SIGNEDREQUEST_H

#include "twitter/httptransport.h"

class QNetworkReply;
class Signature;

// Fresh nonce, timestamp and OAuth parameters over the stored access token;
// false when no complete token is stored.
bool startTokenSignature(Signature &signer);

// The one way a request signed with OAuth goes out. signer has signed it: its
// method and Authorization header are sent, with its form body unless request
// brings a body of its own (a GET carries the content type "text"). request
// gives the URL as sent, query included, and anything extra.
QNetworkReply *sendSigned(
    HttpTransport &transport, const Signature &signer, HttpTransport::Request request);

#endif
