#include "settingsdialog.h"

#include "twitter/twittersettings.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QUrl>

#include <algorithm>

namespace {
struct Field
{
    const char *key;
    const char *label;
    const char *fallback;
};
const Field fields[] = {
    { TwitterSettings::apiUrlKey, QT_TRANSLATE_NOOP("SettingsDialog", "Twitter API:"),
        TwitterSettings::defaultApiUrl },
    { TwitterSettings::webUrlKey, QT_TRANSLATE_NOOP("SettingsDialog", "Twitter web site:"),
        TwitterSettings::defaultWebUrl },
    { TwitterSettings::shortenerUrlKey, QT_TRANSLATE_NOOP("SettingsDialog", "Link shortener:"),
        TwitterSettings::defaultShortenerUrl },
    { TwitterSettings::caCertificatesKey,
        QT_TRANSLATE_NOOP("SettingsDialog", "Extra CA certificates (PEM):"), "" },
    { TwitterSettings::consumerKeyKey, QT_TRANSLATE_NOOP("SettingsDialog", "Consumer key:"), "" },
    { TwitterSettings::consumerSecretKey, QT_TRANSLATE_NOOP("SettingsDialog", "Consumer secret:"),
        "" },
};

bool isConsumerKey(const QString &key)
{
    return key == QLatin1String(TwitterSettings::consumerKeyKey)
        || key == QLatin1String(TwitterSettings::consumerSecretKey);
}

} // namespace

SettingsDialog::SettingsDialog(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Twitter settings"));
    auto *form = new QFormLayout(this);
    QSettings settings = QSettings(
        QLatin1String(TwitterSettings::organisation), QLatin1String(TwitterSettings::application));
    settings.beginGroup(QLatin1String(TwitterSettings::group));
    m_flavor = new QComboBox(this);
    m_flavor->setObjectName(QLatin1String(TwitterSettings::apiFlavorKey));
    m_flavor->addItem(
        tr("v1: password sign-in (the local service)"), QLatin1String(TwitterSettings::flavorV1));
    m_flavor->addItem(
        tr("x: sign-in in the browser (today's Twitter)"), QLatin1String(TwitterSettings::flavorX));
    m_flavor->setCurrentIndex(TwitterSettings::xFlavor() ? 1 : 0);
    form->addRow(tr("API flavour:"), m_flavor);
    for (const Field &field : fields) {
        const QString key = QLatin1String(field.key);
        auto *edit = new QLineEdit(settings.value(key).toString(), this);
        edit->setObjectName(key);
        edit->setPlaceholderText(QLatin1String(field.fallback));
        if (key == QLatin1String(TwitterSettings::consumerSecretKey))
            edit->setEchoMode(QLineEdit::Password);
        form->addRow(tr(field.label), edit);
        m_fields.insert(key, edit);
    }
    auto *help = new QLabel(tr("The x flavour needs your application's own consumer key and "
                               "secret (\"API Key and Secret\"): register the application in the "
                               "developer portal, <a href=\"https://developer.x.com/en/portal/"
                               "dashboard\">developer.x.com</a>, and copy them from its "
                               "\"Keys and tokens\" page."),
        this);
    help->setObjectName(QStringLiteral("consumerHelp"));
    help->setWordWrap(true);
    help->setOpenExternalLinks(true);
    form->addRow(help);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &SettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SettingsDialog::reject);
    form->addRow(buttons);
}

QString SettingsDialog::checkValue(const QString &key, const QString &value)
{
    if (value.isEmpty())
        return QString();
    if (isConsumerKey(key)) {
        // Printable ASCII, as the portal shows them: they go into every request's header.
        const bool printable = std::all_of(value.cbegin(), value.cend(),
            [](QChar c) { return c.unicode() > 0x20 && c.unicode() < 0x7f; });
        return printable ? QString()
                         : tr("The consumer key and secret are letters and digits without "
                              "spaces, as the developer portal shows them.");
    }
    if (key == QLatin1String(TwitterSettings::caCertificatesKey)) {
        if (!QFileInfo(value).isFile())
            return tr("%1 is not a file.").arg(value);
        return QString();
    }
    const QUrl url(value, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()
        || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return tr("%1 is not an http or https address.").arg(value);
    if (url.hasQuery() || url.hasFragment() || !url.userInfo().isEmpty())
        return tr("%1 must name only scheme, host and port.").arg(value);
    return QString();
}

bool SettingsDialog::save(QString *error)
{
    for (auto it = m_fields.cbegin(); it != m_fields.cend(); ++it) {
        const QString problem = checkValue(it.key(), it.value()->text().trimmed());
        if (!problem.isEmpty()) {
            if (error)
                *error = problem;
            return false;
        }
    }
    // The same file holds the access token.
    TwitterSettings::restrictSettingsFile();
    QSettings settings = QSettings(
        QLatin1String(TwitterSettings::organisation), QLatin1String(TwitterSettings::application));
    settings.beginGroup(QLatin1String(TwitterSettings::group));
    for (auto it = m_fields.cbegin(); it != m_fields.cend(); ++it) {
        const QString value = it.value()->text().trimmed();
        // An empty field means the built-in default.
        if (value.isEmpty())
            settings.remove(it.key());
        else
            settings.setValue(it.key(), value);
    }
    const QString flavorKey = QLatin1String(TwitterSettings::apiFlavorKey);
    if (m_flavor->currentData().toString() == QLatin1String(TwitterSettings::flavorX))
        settings.setValue(flavorKey, m_flavor->currentData());
    else
        settings.remove(flavorKey);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

void SettingsDialog::accept()
{
    QString error;
    if (!save(&error)) {
        QMessageBox::warning(
            this, windowTitle(), error.isEmpty() ? tr("The settings could not be saved.") : error);
        return;
    }
    QDialog::accept();
}
