#include "settingsdialog.h"

#include "twitter/twittersettings.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QUrl>

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
};

} // namespace

SettingsDialog::SettingsDialog(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Twitter settings"));
    auto *form = new QFormLayout(this);
    QSettings settings = QSettings(
        QLatin1String(TwitterSettings::organisation), QLatin1String(TwitterSettings::application));
    settings.beginGroup(QLatin1String(TwitterSettings::group));
    for (const Field &field : fields) {
        const QString key = QLatin1String(field.key);
        auto *edit = new QLineEdit(settings.value(key).toString(), this);
        edit->setObjectName(key);
        edit->setPlaceholderText(QLatin1String(field.fallback));
        form->addRow(tr(field.label), edit);
        m_fields.insert(key, edit);
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &SettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SettingsDialog::reject);
    form->addRow(buttons);
}

QString SettingsDialog::checkValue(const QString &key, const QString &value)
{
    if (value.isEmpty())
        return QString();
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
