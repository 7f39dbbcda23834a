// Message boxes of the pages and tool windows, with one place where tests
// take them over (a modal box would otherwise wait for a hand).
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

namespace qtr90x {

// Shows `text` with an OK button, modally, captioned with the application's title.
void ShowMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon);

// Replaces the box by `hook` (nullptr restores it).
using MessageBoxHook = std::function<void(QWidget*, const QString&, QMessageBox::Icon)>;
void SetMessageBoxHook(MessageBoxHook hook);

}  // namespace qtr90x
