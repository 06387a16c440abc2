#pragma once

#include <QString>

// The text with every character that could steer a terminal or reorder what a person reads
// written out instead: the C0 and C1 controls and DEL as \x1b or \u009b, the bidirectional
// overrides and isolates as \u202e, as a shell's $'...' writes them. Everything else, a
// backslash included, stays as it is.
QString visibleText(const QString &text);
