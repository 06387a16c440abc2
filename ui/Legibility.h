#pragma once

#include <QColor>

class QWidget;

// The contrast of two colours as people with low vision need it: from 1 (the same) to 21
// (black on white); 4.5 is what a text needs to be legible.
double contrastRatio(const QColor &one, const QColor &other);
// The colour, made lighter on a dark background or darker on a light one until its contrast
// reaches 4.5, so that a colour chosen for a light palette stays legible on a dark one.
QColor legibleColour(const QColor &colour, const QColor &background);
// A disabled field keeps its greyed look but stays legible: its disabled text is given the
// contrast it needs on its disabled background.
void keepLegibleWhileDisabled(QWidget *field);
