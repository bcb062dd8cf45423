#pragma once

#include <functional>
#include <string>
#include <string_view>

// The application's modal message box: a text with an OK button; the caller waits until it is dismissed.
// The GUI and the CLI install their own presentation; tests capture the texts. Without a channel the text
// goes to standard error.
namespace dovra {

using MessageBoxChannel = std::function<void(const std::string& text)>;

void SetMessageBoxChannel(MessageBoxChannel channel);
void ShowMessageBox(std::string_view text);

} // namespace dovra
