// Message boxes of the pages and tool windows, with one place where tests
// take them over (a modal box would otherwise wait for a hand).
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

namespace qtr90x {

// Shows `text` with an OK button, modally, captioned with the application's
// title; `details`, when given, goes below it as the informative text.
void ShowMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon,
                    const QString& details = QString());

// Replaces the box by `hook` (nullptr restores it).
// The hook gets the parent, the text, the icon and the informative text.
using MessageBoxHook =
    std::function<void(QWidget*, const QString&, QMessageBox::Icon, const QString&)>;
void SetMessageBoxHook(MessageBoxHook hook);

}  // namespace qtr90x
