#pragma once
// What screen readers (through AT-SPI) are told of the windows' own kinds of
// control: a picture button is a push button that can be pressed, and a
// picture that only decorates is no control at all but a filler, the role of
// space in a window.

class QProgressDialog;
class QString;
class QWidget;

namespace tavrin
{

// Marks a picture that only decorates (a background, a corner, an owl), a
// frame that only groups, or a label that repeats the name of the control
// beside it. Called before it is given its picture or text: a screen reader
// listening then already knows it.
void markDecoration(QWidget* picture);

// Names a progress window's bar, which screen readers otherwise find nameless.
void nameProgressBar(QProgressDialog& dialog, const QString& name);

// Makes the interfaces above known to Qt's accessibility; the controls that
// need them call it before anything asks.
void installAccessibleInterfaces();

} // namespace tavrin
