#ifndef FORMCODEC_H
#define FORMCODEC_H

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

using FormParams = QList<QPair<QByteArray, QByteArray>>;

// Strict percent-decoding: a "%" not followed by two hexadecimal digits is an
// error, never passed through, so two peers cannot read one text differently.
std::optional<QByteArray> percentDecode(const QByteArray &text, bool plusIsSpace);

// application/x-www-form-urlencoded (also used for query strings); names and
// values come back decoded.
std::optional<FormParams> parseForm(const QByteArray &text);

// The first value of the name, if any.
std::optional<QByteArray> formValue(const FormParams &params, const QByteArray &name);

// UTF-8 that must be valid: no replacement characters sneak into stored text.
std::optional<QString> strictUtf8(const QByteArray &bytes);

// Unreserved characters kept, everything else as %XX (upper case).
QByteArray formEncode(const FormParams &params);

#endif
