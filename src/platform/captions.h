#pragma once

#include <QWidget>

namespace kestrin {

// The window designs give every label and button the size its caption had
// in the design's font. The platform's default font, or a scaled display,
// can make a caption wider than that; a cut word helps nobody, so such a
// control grows to the right (a wrapped label downwards) into the free
// space the design leaves there. Left and top stay where the design put them.
class Captions final
{
public:
    // Controls end at the x `rightEdge` of root's coordinates at the most,
    // the edge of the window's design.
    static void showWhole(QWidget *root, int rightEdge);
};

} // namespace kestrin
