#include "formcodec.h"

#include <QStringDecoder>

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

std::optional<QByteArray> percentDecode(const QByteArray &text, bool plusIsSpace)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '%') {
            if (i + 2 >= text.size())
                return std::nullopt;
            const int high = hexValue(text.at(i + 1));
            const int low = hexValue(text.at(i + 2));
            if (high < 0 || low < 0)
                return std::nullopt;
            out.append(char(high * 16 + low));
            i += 2;
        } else if (c == '+' && plusIsSpace) {
            out.append(' ');
        } else {
            out.append(c);
        }
    }
    return out;
}

std::optional<FormParams> parseForm(const QByteArray &text)
{
    FormParams params;
    const QList<QByteArray> parts = text.split('&');
    for (const QByteArray &part : parts) {
        if (part.isEmpty())
            continue;
        const qsizetype eq = part.indexOf('=');
        const auto name = percentDecode(eq < 0 ? part : part.left(eq), true);
        const auto value = percentDecode(eq < 0 ? QByteArray() : part.mid(eq + 1), true);
        if (!name || !value || name->isEmpty())
            return std::nullopt;
        params.append({ *name, *value });
    }
    return params;
}

std::optional<QByteArray> formValue(const FormParams &params, const QByteArray &name)
{
    for (const auto &param : params) {
        if (param.first == name)
            return param.second;
    }
    return std::nullopt;
}

std::optional<QString> strictUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QByteArray formEncode(const FormParams &params)
{
    QByteArray out;
    for (const auto &param : params) {
        if (!out.isEmpty())
            out.append('&');
        out.append(param.first.toPercentEncoding() + '=' + param.second.toPercentEncoding());
    }
    return out;
}
