// Every message box of the game goes through here. The text and title are also
// written to standard error. Tests install a responder so no modal box can hang them.
#pragma once

#include <functional>
#include <string>

enum class MessageBoxButtons { Ok, YesNo };
enum class MessageBoxIcon { Error, Information, Exclamation };
enum class MessageBoxAnswer { Ok, Yes, No };

MessageBoxAnswer ShowMessageBox(const std::string& text, const std::string& title,
                                MessageBoxButtons buttons = MessageBoxButtons::Ok,
                                MessageBoxIcon icon = MessageBoxIcon::Error);

// A responder answers boxes instead of the user; pass an empty function to remove it.
using MessageBoxResponder = std::function<MessageBoxAnswer(
    const std::string& text, const std::string& title, MessageBoxButtons buttons)>;
void SetMessageBoxResponder(MessageBoxResponder responder);
