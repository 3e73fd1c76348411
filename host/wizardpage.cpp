#include "wizardpage.h"

#include <QLabel>
#include <QVBoxLayout>

namespace {
const QString pairSeparator = QStringLiteral("<>");
const QString valueSeparator = QStringLiteral("||");
} // namespace

WizardPage::WizardPage(const QString &title, QWidget *parent)
    : QWidget(parent)
    , m_title(title)
{
    auto *layout = new QVBoxLayout(this);
    auto *heading = new QLabel(title, this);
    heading->setObjectName(QStringLiteral("pageTitle"));
    QFont font = heading->font();
    font.setPointSizeF(font.pointSizeF() * 1.4);
    font.setBold(true);
    heading->setFont(font);
    layout->addWidget(heading);
    m_body = new QVBoxLayout;
    layout->addLayout(m_body, 1);
}

QString WizardPage::nextText() const
{
    return tr("Next >");
}

QHash<QString, QString> WizardPage::parseRecord(const QString &text)
{
    QHash<QString, QString> record;
    const QStringList pairs = text.split(pairSeparator, Qt::SkipEmptyParts);
    for (const QString &pair : pairs) {
        const QStringList parts = pair.split(valueSeparator);
        if (parts.size() != 2)
            break;
        record.insert(parts.at(0), parts.at(1));
    }
    return record;
}

QString WizardPage::recordText(const QList<QPair<QString, QString>> &pairs)
{
    QStringList joined;
    for (const auto &pair : pairs)
        joined.append(pair.first + valueSeparator + pair.second);
    return joined.join(pairSeparator);
}

bool WizardPage::fitsRecord(const QString &value)
{
    return !value.contains(pairSeparator) && !value.contains(valueSeparator);
}

void WizardPage::onSendInfo(const QString &, unsigned long) { }

void WizardPage::onSendInfo(const QString &, const QImage &, unsigned long) { }
