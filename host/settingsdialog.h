#ifndef SETTINGSDIALOG_H
#define SETTINGSDIALOG_H

#include <QDialog>
#include <QHash>

class QComboBox;
class QLineEdit;

// The plug-in's endpoints in the per-user settings store, the API flavour
// and the x flavour's consumer pair.
class SettingsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit SettingsDialog(QWidget *parent = nullptr);

    // Checks and stores the fields; false (and nothing stored) when one of
    // them is not acceptable, with the reason in error.
    bool save(QString *error);
    QLineEdit *field(const QString &key) const { return m_fields.value(key); }
    QComboBox *flavor() const { return m_flavor; }

    // Why a value cannot be stored under key; empty when it can.
    static QString checkValue(const QString &key, const QString &value);

    void accept() override;

private:
    QHash<QString, QLineEdit *> m_fields;
    QComboBox *m_flavor = nullptr;
};

#endif
