// The two modeless waiting dialogs: waiting to be admitted by the host's user, and waiting
// while the remote side's volumes are scanned. Cancel is reported to the owner.
#pragma once

#include "Dialog.h"

class QLabel;

class TWaitDialog : public TDialog {
    Q_OBJECT
public:
    static constexpr int kNameId = 9;

    void SetHostName(const QString& name);
    QString HostName() const;

signals:
    void cancelled();

protected:
    TWaitDialog(const QString& caption, const QString& before, const QString& after, QWidget* parent);
    void reject() override;

private:
    QLabel* m_name;
};

// Template 1033: shown while the host's user has not yet admitted the guest.
class TAdmitWaitDialog : public TWaitDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 1033;
    explicit TAdmitWaitDialog(QWidget* parent = nullptr);
};

// Template 1300: shown while the remote volumes and first folder are listed.
class TScanWaitDialog : public TWaitDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 1300;
    explicit TScanWaitDialog(QWidget* parent = nullptr);
};
