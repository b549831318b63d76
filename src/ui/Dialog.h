// The base of every dialog of the window: modal or modeless, centred inside the screen, with a
// help context and the small operations on its controls by id.
#pragma once

#include <QDialog>
#include <QRect>

class QAbstractButton;

inline constexpr int kHelpButtonId = 57670;

// Where a dialog of `size` goes: centred over `owner` (or `screen` when the owner is empty),
// then moved so that it lies inside `screen` as far as it can.
QRect CentredInside(QSize size, const QRect& owner, const QRect& screen);

class TDialog : public QDialog {
    Q_OBJECT
public:
    explicit TDialog(QWidget* parent = nullptr);
    ~TDialog() override;

    // Shows the dialog without a modal loop.
    void CreateModeless();
    // Runs the modal loop and returns its result.
    int RunModal();
    bool IsModal() const { return m_modal; }

    int m_nIDHelp = 0;

    // Controls by id; each operation does nothing for an id without a control.
    void SetControlId(QWidget* control, int id);
    QWidget* Control(int id) const;
    int ControlTextLength(int id) const;
    void EnableControl(int id, bool enable);
    bool IsControlEnabled(int id) const;
    void ShowControl(int id, bool show);
    bool IsControlVisible(int id) const;
    void InvalidateControl(int id);
    QRect ControlRect(int id) const;
    void MoveControl(int id, const QRect& rect);
    void UpdateControl(int id);
    void MakeDefaultButton(int id);

    // Converts dialog units of the dialog's font to pixels.
    QRect DialogUnits(int x, int y, int width, int height) const;

    void accept() override;
    void reject() override;

signals:
    void helpRequested(int context);

protected:
    // Runs once before the dialog is first shown: look, centring, font, idle notification.
    virtual void InitDialog();
    // Checks the dialog's data before OK closes it.
    virtual bool Validate() { return true; }

    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Centre();
    void ShowHelp();

    bool m_modal = false;
    bool m_initialised = false;
};
