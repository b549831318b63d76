// What a dialog asks of the application around it: look, font, idle notifications, the active
// modeless dialog, help, and a word before and after it runs a modal loop of its own. The default
// host does nothing; the application installs its own.
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
    // Around every modal dialog and message box (they nest).
    virtual void ModalStarted() {}
    virtual void ModalEnded() {}
};

IDialogHost& DialogHost();
// Installs `host` (null restores the default); the caller keeps ownership.
void SetDialogHost(IDialogHost* host);

// Tells the dialog host for as long as it lives that a modal loop runs.
class TModalScope {
public:
    TModalScope() : m_host(DialogHost()) { m_host.ModalStarted(); }
    ~TModalScope() { m_host.ModalEnded(); }
    TModalScope(const TModalScope&) = delete;
    TModalScope& operator=(const TModalScope&) = delete;

private:
    IDialogHost& m_host;
};
