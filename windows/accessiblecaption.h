#pragma once

#include <QString>

class QLabel;

// Names a label for screen readers by what it shows: "Seat 2 score: 15", or
// the caption alone while the label is empty. The name follows the label's
// text as it changes.
namespace AccessibleCaption {
void set(QLabel *label, const QString &caption);
}
