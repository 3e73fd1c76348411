#include "catalog/capturestatus.h"

#include "platform/xmlguard.h"
#include "zpvlogging.h"

#include <QDomDocument>

#include <array>

namespace {

struct Rule
{
    const char *name;
    unsigned bit;
};

constexpr std::array<Rule, 4> knownRules { {
    { "VfxRes", 1 },
    { "VfxPhoto", 2 },
    { "ZoomRes", 4 },
    { "ZoomPhoto", 8 },
} };

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

QStringList splitRules(const QString &rules)
{
    QStringList parts;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= rules.size(); ++i) {
        const bool inName = i < rules.size() && isNameChar(rules.at(i));
        if (inName && start < 0)
            start = i;
        else if (!inName && start >= 0) {
            parts.append(rules.mid(start, i - start));
            start = -1;
        }
    }
    return parts;
}

} // namespace

void CaptureStatus::clear()
{
    mode = 0;
    xres = 0;
    yres = 0;
    format.clear();
    rules.clear();
    ruleMap.clear();
}

bool CaptureStatus::setRules(const char *text)
{
    rules = QString::fromUtf8(text);
    ruleMap.clear();
    return true;
}

bool CaptureStatus::addRule(const char *name)
{
    rules += u'|' + QString::fromUtf8(name);
    return true;
}

bool CaptureStatus::hasRule(unsigned bit) const
{
    if (ruleMap.isEmpty() && !rules.isEmpty()) {
        const QStringList parts = splitRules(rules);
        for (const QString &part : parts) {
            unsigned partBit = 0;
            if (getRuleId(part.toUtf8().constData(), partBit))
                ruleMap.insert(partBit, part);
        }
    }
    return ruleMap.contains(bit);
}

bool getRuleId(const char *name, unsigned &bit)
{
    const QString text = QString::fromUtf8(name);
    for (const Rule &rule : knownRules) {
        if (text.compare(QLatin1String(rule.name), Qt::CaseInsensitive) == 0) {
            bit = rule.bit;
            return true;
        }
    }
    qCCritical(lcCatalog, "::getRuleId() - failed to find name: %s", qUtf8Printable(text));
    return false;
}

bool captureStatusToXml(const CaptureStatus &status, QString &xml)
{
    QDomDocument doc(QStringLiteral("CaptureStatus"));
    doc.insertBefore(doc.createProcessingInstruction(
                         QStringLiteral("xml"), QStringLiteral("version='1.0' encoding='UTF-8'")),
        doc.firstChild());
    QDomElement root = doc.createElement(QStringLiteral("capture_status"));
    doc.appendChild(root);

    const auto append = [&](const QString &name, const QString &text) {
        QDomElement element = doc.createElement(name);
        if (!text.isEmpty())
            element.appendChild(doc.createTextNode(text));
        root.appendChild(element);
    };
    append(QStringLiteral("mode"), QString::number(status.mode));
    append(QStringLiteral("xres"), QString::number(status.xres));
    append(QStringLiteral("yres"), QString::number(status.yres));
    append(QStringLiteral("rules"), status.rules);
    append(QStringLiteral("format"), status.format);

    xml = doc.toString(1);
    return true;
}

bool xmlToCaptureStatus(const QString &xml, CaptureStatus &status)
{
    status.clear();
    QDomDocument doc(QStringLiteral("CaptureStatus"));
    if (!setGuardedContent(doc, xml))
        return false;

    const QDomElement root = doc.documentElement();
    const auto text = [&root](const QString &name) {
        return root.firstChildElement(name).text();
    };
    status.mode = text(QStringLiteral("mode")).toUInt();
    status.xres = text(QStringLiteral("xres")).toUInt();
    status.yres = text(QStringLiteral("yres")).toUInt();
    status.rules = text(QStringLiteral("rules"));
    status.format = text(QStringLiteral("format"));
    return true;
}
