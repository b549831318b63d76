// What a dialog asks of the application around it: look, font, idle notifications, the active
// modeless dialog and help. The default host does nothing; the application installs its own.
#pragma once

class QWidget;

class IDialogHost {
public:
    virtual ~IDialogHost() = default;
    virtual void ApplyLook(QWidget* /*dialog*/) {}
    virtual void UseNormalFont(QWidget* /*dialog*/) {}
    virtual void AddIdleNotifier(QWidget* /*dialog*/) {}
    virtual void RemoveIdleNotifier(QWidget* /*dialog*/) {}
    // The active modeless dialog, or null when none is active.
    virtual void RegisterActiveModeless(QWidget* /*dialog*/) {}
    virtual void ShowHelp(int /*context*/) {}
};

IDialogHost& DialogHost();
// Installs `host` (null restores the default); the caller keeps ownership.
void SetDialogHost(IDialogHost* host);
