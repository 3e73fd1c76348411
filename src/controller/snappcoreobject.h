#ifndef SNAPPCOREOBJECT_H
#define SNAPPCOREOBJECT_H

#include "controller/hostcontract.h"
#include "zpvtwitter_export.h"

#include <QObject>
#include <QString>
#include <QStringList>

// Base of the plug-in controllers: the content limits a sharing target
// imposes, the check of a proposed selection against them, and the wiring of
// a wizard page's buttons. Slot names used by registerWizardPage are those of
// the derived controller.
class ZPVTWITTER_EXPORT SNAppCoreObject : public QObject
{
    Q_OBJECT
public:
    // Only movie files pass while this constraint flag is set.
    static constexpr unsigned long MovieFilesOnly = 0x4;

    // The second argument is not used.
    SNAppCoreObject(QObject *parent, unsigned long flags);
    ~SNAppCoreObject() override;

    void setConstraintFlags(unsigned long flags);
    void setMaxCount(unsigned long count);
    void setMaxSize(unsigned long size);
    void setMaxDuration(unsigned long seconds);
    unsigned long getMaxCount() const;
    unsigned long getMaxSize() const;
    unsigned long getMaxDuration() const;

    // Connects, queued, the page's backClicked, nextClicked and applyClicked
    // as flags (HostContract::PageButtons) say; the result is that of the
    // last connection.
    bool registerWizardPage(QObject *page, unsigned long flags);
    bool registerWizardPage(QObject *page, bool uploadNext, bool uploadBack);

Q_SIGNALS:
    void setReviewSelected(QStringList selected, unsigned long flags);
    void displayLimitsErrorMsg(QString ls, unsigned long flags);
    void reviewApproval(bool approved, unsigned long flags);

public Q_SLOTS:
    // flags: HostContract::SubmitForApproval.
    virtual void onSubmitForApproval(const QStringList &paths, unsigned long flags);

protected:
    // Sets every limit and the approved flag to 0.
    virtual void clear();

    bool isApproved() const { return m_approved; }

private:
    quint32 m_maxSize = 0;
    quint32 m_maxDuration = 0;
    quint32 m_maxCount = 0;
    quint32 m_constraintFlags = 0;
    bool m_approved = false;
};

#endif
