#include "composepage.h"

#include "controller/hostcontract.h"
#include "twitter/twittersettings.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTextBoundaryFinder>
#include <QVBoxLayout>

#include <algorithm>

using namespace HostContract;

namespace {
const QRegularExpression &linkPattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("https?://\\S+"), QRegularExpression::CaseInsensitiveOption);
    return pattern;
}

// Ranges of the service's published counting rules that weigh one.
bool lightCodePoint(char32_t c)
{
    return c < 0x1100 || (c >= 0x2000 && c <= 0x200D) || (c >= 0x2010 && c <= 0x201F)
        || (c >= 0x2032 && c <= 0x2037);
}

// Pictographs, and the selector and keycap that make an emoji of a character.
bool emojiCodePoint(char32_t c)
{
    return c >= 0x1F000 || (c >= 0x2600 && c <= 0x27BF) || c == 0xFE0F || c == 0x20E3;
}

int weight(QStringView text)
{
    const QString piece = text.toString();
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, piece);
    int length = 0;
    // Qt splits a flag (two regional indicators) that follows an emoji
    // sequence in two; the second half weighs nothing.
    bool halfFlag = false;
    for (qsizetype start = 0, end = graphemes.toNextBoundary(); end > 0;
         start = end, end = graphemes.toNextBoundary()) {
        const QList<uint> codePoints = QStringView(piece).mid(start, end - start).toUcs4();
        const bool regional = codePoints.size() == 1 && codePoints.first() >= 0x1F1E6
            && codePoints.first() <= 0x1F1FF;
        if (regional && halfFlag) {
            halfFlag = false;
            continue;
        }
        halfFlag = regional;
        const bool sequence = codePoints.size() > 1
            && std::any_of(codePoints.cbegin(), codePoints.cend(), emojiCodePoint);
        if (sequence) {
            length += 2;
            continue;
        }
        for (const uint c : codePoints)
            length += lightCodePoint(c) ? 1 : 2;
    }
    return length;
}

} // namespace

ComposePage::ComposePage(QWidget *parent)
    : WizardPage(tr("Write your tweet"), parent)
{
    m_weighted = TwitterSettings::xFlavor();
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("tweetText"));
    body()->addWidget(m_text, 1);
    m_counter = new QLabel(this);
    m_counter->setObjectName(QStringLiteral("counter"));
    m_counter->setAlignment(Qt::AlignRight);
    body()->addWidget(m_counter);
    m_link = new QLabel(tr("Waiting for the short link..."), this);
    m_link->setObjectName(QStringLiteral("shortLink"));
    body()->addWidget(m_link);
    connect(m_text, &QPlainTextEdit::textChanged, this, &ComposePage::updateCounter);
    connect(this, &WizardPage::nextClicked, this, [this] {
        m_sending = true;
        Q_EMIT buttonsChanged();
    });
    updateCounter();
}

int ComposePage::tweetLength(const QString &input, bool weighted)
{
    const QString text = weighted ? input.normalized(QString::NormalizationForm_C) : input;
    const auto measure = [weighted](QStringView piece) {
        return weighted ? weight(piece) : int(piece.toUcs4().size());
    };
    int length = 0;
    qsizetype from = 0;
    QRegularExpressionMatchIterator it = linkPattern().globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        length += measure(QStringView(text).mid(from, match.capturedStart() - from));
        length += linkLength;
        from = match.capturedEnd();
    }
    return length + measure(QStringView(text).mid(from));
}

void ComposePage::setUserText(const QString &text)
{
    m_text->setPlainText(text);
}

QString ComposePage::text() const
{
    return m_text->toPlainText();
}

bool ComposePage::canGoNext() const
{
    const QString current = text();
    return !m_sending && !current.trimmed().isEmpty()
        && tweetLength(current, m_weighted) <= maxLength && fitsRecord(current);
}

QString ComposePage::nextText() const
{
    return tr("Tweet");
}

void ComposePage::pageShown()
{
    m_sending = false;
    Q_EMIT buttonsChanged();
    // Without a link yet, ask for one; the plug-in ignores the request while
    // it is still waiting for the upload, whose end brings the link anyway.
    if (m_shortLink.isEmpty())
        Q_EMIT requestSendInfo(InfoKind::ShortUrlRequest);
}

void ComposePage::clearPage()
{
    m_sending = false;
    m_shortLink.clear();
    m_link->setText(tr("Waiting for the short link..."));
}

void ComposePage::updateCounter()
{
    const QString current = text();
    const int left = maxLength - tweetLength(current, m_weighted);
    if (!fitsRecord(current))
        m_counter->setText(tr("The text cannot contain \"||\" or \"<>\"."));
    else
        m_counter->setText(tr("%1 characters left").arg(left));
    Q_EMIT buttonsChanged();
}

void ComposePage::onSendInfo(const QString &info, unsigned long flags)
{
    if ((flags & InfoKind::ShortUrl) && !info.isEmpty() && info != m_shortLink) {
        const QString old = m_shortLink;
        m_shortLink = info;
        m_link->setText(tr("Link: %1").arg(info));
        QString current = text();
        if (!old.isEmpty() && current.contains(old))
            current.replace(old, info);
        else if (!current.contains(info))
            current = current.isEmpty() ? info : current + u' ' + info;
        m_text->setPlainText(current);
        Q_EMIT shortLinkArrived(info);
    }
    if (flags == InfoKind::ReportNow)
        Q_EMIT reportInfo(
            recordText({ { QStringLiteral("description"), text() } }), InfoKind::Tweet);
}
