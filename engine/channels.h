#pragma once

#include <functional>
#include <string>

namespace dovra {

// One line of text for the log; the sink, not the engine, ends the line.
using LogSink = std::function<void(const std::string& line)>;
// A question (or a notice whose answer is ignored); true means yes.
using ConfirmPrompt = std::function<bool(const std::string& question)>;

} // namespace dovra
