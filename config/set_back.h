// Background colour of a read-out label, for the configuration window and
// the main window alike.
#pragma once

class QLabel;
class QColor;

// Does nothing when the label already has the colour (the live refresh sets
// colours five times a second).
void setBack(QLabel *label, const QColor &colour);
