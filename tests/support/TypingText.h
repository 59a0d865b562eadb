#pragma once

#include <QString>

// Texts for typing tests and benchmarks.
namespace TypingText {
// Dictated-looking text of the given length: Russian in both cases, Latin,
// digits, punctuation, «», —, № and line breaks; far more characters than a
// "us" keyboard has spare keys for.
QString mixed(int length);
} // namespace TypingText
