// The question asked before an existing item is overwritten (or a read-only file deleted).
#pragma once

#include "Dialog.h"

#include <QStringList>

class TStatusWindow;

// The names shown: each followed by two blanks, at most 11 and then " ...".
QString ReplaceNamesText(const QStringList& names);

class TConfirmReplaceDialog : public TDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 1034;
    static constexpr int kIconId = 515;
    static constexpr int kQuestionId = 1043;
    static constexpr int kNamesId = 9054;
    // Results.
    static constexpr int kYes = 1;
    static constexpr int kCancel = 2;
    static constexpr int kYesToAll = 6;
    static constexpr int kNo = 7;
    static constexpr int kMaxNames = 11;

    // `statusWindow`, when given, pauses its animation while the question is shown.
    TConfirmReplaceDialog(QWidget* owner, const QStringList& names, bool readOnlyMode,
                          TStatusWindow* statusWindow = nullptr);
    ~TConfirmReplaceDialog() override;

    bool YesToAllPressed() const { return m_yesToAll; }
    bool NoPressed() const { return m_no; }

private:
    TStatusWindow* m_statusWindow;
    bool m_yesToAll = false;
    bool m_no = false;
};
