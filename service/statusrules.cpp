#include "statusrules.h"

#include <QRegularExpression>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace {
constexpr int LinkLength = 23;

const QRegularExpression &linkPattern()
{
    static const QRegularExpression link(
        QStringLiteral("https?://[^\\s]+"), QRegularExpression::CaseInsensitiveOption);
    return link;
}

// The text between links measured by textLength, each link counting LinkLength.
template<typename Measure>
int lengthWithLinks(const QString &text, Measure textLength)
{
    int length = 0;
    qsizetype from = 0;
    auto it = linkPattern().globalMatch(text);
    while (it.hasNext()) {
        const auto match = it.next();
        length += textLength(QStringView(text).mid(from, match.capturedStart() - from));
        length += LinkLength;
        from = match.capturedEnd();
    }
    return length + textLength(QStringView(text).mid(from));
}

// Code point ranges that weigh one; everything else weighs two.
bool weighsOne(char32_t c)
{
    return c <= 0x10FF || (c >= 0x2000 && c <= 0x200D) || (c >= 0x2010 && c <= 0x201F)
        || (c >= 0x2032 && c <= 0x2037);
}

// Marks a grapheme of several code points as an emoji sequence.
bool isEmojiPart(char32_t c)
{
    return c >= 0x1F000 || c == 0xFE0F || c == 0x20E3 || (c >= 0x2600 && c <= 0x27BF);
}

int weightedLength(QStringView text)
{
    int length = 0;
    const QString piece = text.toString();
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, piece);
    qsizetype start = 0;
    // Qt splits a flag (two regional indicators) that follows an emoji
    // sequence in two; the second half weighs nothing.
    bool halfFlag = false;
    for (qsizetype end = graphemes.toNextBoundary(); end > 0; end = graphemes.toNextBoundary()) {
        const QList<uint> points = QStringView(piece).mid(start, end - start).toUcs4();
        start = end;
        const bool regional
            = points.size() == 1 && points.first() >= 0x1F1E6 && points.first() <= 0x1F1FF;
        if (regional && halfFlag) {
            halfFlag = false;
            continue;
        }
        halfFlag = regional;
        if (points.size() > 1 && std::any_of(points.begin(), points.end(), isEmojiPart)) {
            length += 2;
            continue;
        }
        for (const uint c : points)
            length += weighsOne(c) ? 1 : 2;
    }
    return length;
}

} // namespace

int statusLength(const QString &text)
{
    return lengthWithLinks(text, [](QStringView piece) { return int(piece.toUcs4().size()); });
}

int weightedStatusLength(const QString &text)
{
    return lengthWithLinks(text.normalized(QString::NormalizationForm_C), weightedLength);
}

bool hasForbiddenControl(const QString &text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != '\t' && u != '\n' && u != '\r') || u == 0xFFFE || u == 0xFFFF)
            return true;
    }
    return false;
}
