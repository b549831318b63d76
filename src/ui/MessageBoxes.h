// Message boxes shown by the window's dialogs, replaceable so that tests can answer them.
#pragma once

#include <QString>

#include <functional>

class QWidget;

enum class TMessageKind { Stop, Question };

// Shows `text`; for a question returns the answer's code (6 yes, 7 no), else 1.
using TMessagePresenter = std::function<int(QWidget* parent, const QString& text, TMessageKind kind)>;

// The one routine that shows a message box; an empty caption is the application's title.
int ShowMessage(QWidget* parent, const QString& text, TMessageKind kind, const QString& caption = {});
// Installs a presenter (an empty one restores the message box).
void SetMessagePresenter(TMessagePresenter presenter);

// The string-table text of `id` as a QString (empty when the table has none).
QString TableString(int id);
