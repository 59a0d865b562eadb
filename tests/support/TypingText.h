#pragma once

#include <QString>

// Texts for typing tests and benchmarks.
namespace TypingText {
// Dictated-looking text of the given length: Russian in both cases, Latin,
// digits, ASCII punctuation (much of it on the third level of layouts such as
// "de"), «», —, №, € and line breaks; more characters without a key on a "us"
// keyboard than it has spare keycodes.
QString mixed(int length);
// The same with Greek, typographic signs and more: more characters without a
// key on a "us" keyboard than its spare keycodes hold even at four levels, so
// lent keys must change their meaning in mid-text.
QString wide(int length);
} // namespace TypingText
