#include "platform/messagebox.h"

#include <SDL.h>
#include <cstdio>

namespace {
MessageBoxResponder s_responder;
}

void SetMessageBoxResponder(MessageBoxResponder responder) { s_responder = std::move(responder); }

MessageBoxAnswer ShowMessageBox(const std::string& text, const std::string& title,
                                MessageBoxButtons buttons, MessageBoxIcon icon) {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    if (s_responder)
        return s_responder(text, title, buttons);

    Uint32 flags = SDL_MESSAGEBOX_ERROR;
    if (icon == MessageBoxIcon::Information)
        flags = SDL_MESSAGEBOX_INFORMATION;
    else if (icon == MessageBoxIcon::Exclamation)
        flags = SDL_MESSAGEBOX_WARNING;

    SDL_MessageBoxButtonData buttonData[2];
    int count = 0;
    if (buttons == MessageBoxButtons::YesNo) {
        // Yes is the default: Return answers it.
        buttonData[0] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"};
        buttonData[1] = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"};
        count = 2;
    } else {
        buttonData[0] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT |
                             SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT,
                         1, "OK"};
        count = 1;
    }
    SDL_MessageBoxData data{};
    data.flags = flags;
    data.window = nullptr;
    data.title = title.c_str();
    data.message = text.c_str();
    data.numbuttons = count;
    data.buttons = buttonData;
    int pressed = -1;
    if (SDL_ShowMessageBox(&data, &pressed) != 0) {
        // No display to ask on: take the default answer.
        std::fprintf(stderr, "(no message box could be shown: %s)\n", SDL_GetError());
        return buttons == MessageBoxButtons::YesNo ? MessageBoxAnswer::Yes : MessageBoxAnswer::Ok;
    }
    if (buttons == MessageBoxButtons::YesNo)
        return pressed == 1 ? MessageBoxAnswer::Yes : MessageBoxAnswer::No;
    return MessageBoxAnswer::Ok;
}
