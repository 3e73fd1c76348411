#ifndef AUTHORIZATIONHEADER_H
#define AUTHORIZATIONHEADER_H

#include "formcodec.h"

#include <optional>

// Decoded name/value pairs of an "OAuth ..." Authorization header; nullopt
// when it is not one.
std::optional<FormParams> parseAuthorizationHeader(const QByteArray &header);

#endif
