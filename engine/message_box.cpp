#include "engine/message_box.h"

#include <cstdio>

#include "engine/encoding.h"

namespace dovra {
namespace {

MessageBoxChannel& Channel() {
    static MessageBoxChannel channel;
    return channel;
}

} // namespace

void SetMessageBoxChannel(MessageBoxChannel channel) {
    Channel() = std::move(channel);
}

void ShowMessageBox(std::string_view text) {
    std::string owned(text);
    if (Channel()) {
        Channel()(owned);
        return;
    }
    std::string shown = Cp932ToUtf8Lossy(owned);
    std::fprintf(stderr, "%s\n", shown.c_str());
}

} // namespace dovra
